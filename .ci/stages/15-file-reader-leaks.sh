# ReadFromFile's ownership rule under valgrind: a small host reads regular files, streams and
# files that can't be opened, releases what the rule says it owns, and must leak nothing. The
# test is only registered where valgrind is installed, so this stage installs it and reconfigures.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" valgrind
cmake --preset test
cmake --build --preset test
ctest --preset test -R '^OrvelLib\.ReadFromFileLeaks$'
