#!/usr/bin/env bash
# Runs the math benchmarks (medians of interleaved repetitions) in one host state and writes the
# table for docs/performance.md. In the default state it also counts instructions per operation
# under callgrind (valgrind models no floating-point state, so only there do counts mean
# anything), runs the ReadFromFile benchmark and draws the bar chart.
#
# Usage, from a fresh clone:   cmake --workflow --preset bench && bench/run.sh
#                              STATE=ftz-daz bench/run.sh      (the states: bench/host-state.sh)
# Results land in build/bench/results/<state>; the chart in docs/performance.svg.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/host-state.sh
build=${1:-build/bench}
results=${build}/results/${state}
mkdir -p "${results}"

"${build}/bench/MathBench" \
  --benchmark_repetitions=15 \
  --benchmark_min_time=0.05 \
  --benchmark_enable_random_interleaving=true \
  --benchmark_out="${results}/math.json" \
  --benchmark_out_format=json >/dev/null
if [[ ${state} != default ]]; then
  python3 bench/report.py "${results}/math.json" | tee "${results}/table.md"
  exit 0
fi
bench/callgrind.sh "${build}/bench/MathBench" "${results}/instructions.json"
"${build}/bench/ReadFromFileBench" \
  --benchmark_repetitions=9 \
  --benchmark_enable_random_interleaving=true \
  --benchmark_out="${results}/files.json" \
  --benchmark_out_format=json >/dev/null
python3 bench/report.py "${results}/math.json" --instructions "${results}/instructions.json" \
  --files "${results}/files.json" --svg docs/performance.svg | tee "${results}/table.md"
