# The benchmarks build with the bench preset and each runs once (no timing: that is
# bench/run.sh's job on a quiet machine).
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" libbenchmark-dev libglm-dev libeigen3-dev
cmake --workflow --preset bench
ORVEL_BENCH_ITERATIONS=1 build/bench/bench/MathBench >/dev/null
echo "benchmarks built and ran once"
