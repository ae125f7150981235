#!/usr/bin/env bash
# Instructions per operation for every MathBench benchmark, counted by callgrind: each benchmark
# runs twice with a fixed iteration count, and the difference of the two totals divided by the
# extra operations cancels start-up and set-up. The count includes the benchmark loop's own few
# instructions per iteration (the same for every contender; see the floor rows).
#
# Usage: bench/callgrind.sh <MathBench executable> <output.json> [benchmark filter regex]
set -euo pipefail
bench=$1
output=$2
filter=${3:-.}
work=$(mktemp -d)
trap 'rm -rf "${work}"' EXIT

# Total instructions of one run of benchmark $1 at $2 iterations.
count() {
  ORVEL_BENCH_ITERATIONS=$2 valgrind --tool=callgrind --callgrind-out-file=/dev/null \
    "${bench}" --benchmark_filter="^$1/iterations:$2\$" 2>&1 >/dev/null | awk '/Collected :/ { print $4 }'
}

measure() {
  local name=$1 low=1000 high=3000 ops=1
  if [[ ${name} == HostLoop/* ]]; then
    low=1 high=2 ops=1000000
  fi
  local first second
  first=$(count "${name}" "${low}")
  second=$(count "${name}" "${high}")
  echo "${name} $(((second - first) * 10 / ((high - low) * ops)))"
}
export -f count measure
export bench

"${bench}" --benchmark_list_tests --benchmark_filter="${filter}" | xargs -P 2 -I{} bash -c 'measure "$@"' _ {} > "${work}/counts"

# Tenths of an instruction, as JSON: {"name": instructions per operation, ...}.
sort "${work}/counts" | awk 'BEGIN { print "{" } { printf "%s  \"%s\": %.1f", (NR > 1 ? ",\n" : ""), $1, $2 / 10 } END { print "\n}" }' > "${output}"
echo "wrote ${output}"
