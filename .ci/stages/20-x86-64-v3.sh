# The same tests at -O3 -march=x86-64-v3, where the compiler could use FMA if it were allowed to
# contract; the tests fail if any result bit changes.
source "$(dirname "$0")/../common.sh"
# The dynamic loader says whether this CPU and kernel run x86-64-v3 code (AVX2, FMA and the rest).
if ! /lib64/ld-linux-x86-64.so.2 --help | grep -q 'x86-64-v3 (supported'; then
  echo "this machine does not run x86-64-v3 code: skipping the x86-64-v3 run"
  exit 0
fi
apt_install "${BASE_PACKAGES[@]}"
cmake --workflow --preset x86-64-v3
