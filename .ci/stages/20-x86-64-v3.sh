# The same tests at -O3 -march=x86-64-v3, where the compiler could use FMA if it were allowed to
# contract; the tests fail if any result bit changes.
source "$(dirname "$0")/../common.sh"
if ! grep -qw fma /proc/cpuinfo; then
  echo "this CPU has no FMA: skipping the x86-64-v3 run"
  exit 0
fi
apt_install "${BASE_PACKAGES[@]}"
cmake --workflow --preset x86-64-v3
