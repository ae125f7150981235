#!/usr/bin/env bash
# Runs the math benchmarks (medians of interleaved repetitions), counts instructions per operation
# under callgrind, runs the ReadFromFile benchmark, and writes the tables and the bar chart for
# docs/performance.md.
#
# Usage, from a fresh clone:   cmake --workflow --preset bench && bench/run.sh
# Results land in build/bench/results; the chart in docs/performance.svg.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
results=${build}/results
mkdir -p "${results}"

"${build}/bench/MathBench" \
  --benchmark_repetitions=15 \
  --benchmark_min_time=0.05 \
  --benchmark_enable_random_interleaving=true \
  --benchmark_out="${results}/math.json" \
  --benchmark_out_format=json >/dev/null
bench/callgrind.sh "${build}/bench/MathBench" "${results}/instructions.json"
"${build}/bench/ReadFromFileBench" \
  --benchmark_repetitions=9 \
  --benchmark_enable_random_interleaving=true \
  --benchmark_out="${results}/files.json" \
  --benchmark_out_format=json >/dev/null
python3 bench/report.py "${results}/math.json" "${results}/instructions.json" \
  --files "${results}/files.json" --svg docs/performance.svg | tee "${results}/table.md"
