# Windows x86-64: the OrvelLib DLL and the tests built with MinGW-w64 and run under Wine, in a
# private prefix that is thrown away afterwards.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" "${CROSS_PACKAGES[@]}"

scratch="$(mktemp -d)"
export WINEPREFIX="${scratch}/prefix" WINEDEBUG=-all
wine64=/usr/lib/wine/wine64  # not on the PATH in Debian 12
stop_wine() {
  timeout 60 wineserver -k || true
  rm -rf "${scratch}"
}
trap stop_wine EXIT

# Start the server and initialise the prefix once, before ctest: otherwise every test pays for
# the set-up, and a server started by the first test can keep ctest waiting on its output.
mkdir -p "${WINEPREFIX}"
timeout 60 wineserver -p
# Creating a prefix complains about missing directories and 32-bit parts on the way; show that
# only when it fails.
timeout 300 "${wine64}" wineboot -i 2>"${scratch}/wineboot.log" || {
  cat "${scratch}/wineboot.log"
  exit 1
}

timeout 900 cmake --workflow --preset windows
