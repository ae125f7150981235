#!/usr/bin/env bash
# OrvelLib's operations as built from several commits, measured in one run: the library of each
# commit is built on its own (bench preset) under build/compare/<commit>, and one MathBench, built
# from the working tree, runs against each library in turn through LD_LIBRARY_PATH (every version
# exports the same names with the same layouts). Each round runs every library once, so a busy
# machine slows them alike; the table gives the median over the rounds of each operation's CPU
# time, and each later commit's change against the first, with the budget of at most +0.5 ns or
# +10 %, whichever is larger.
#
# Usage:  bench/compare.sh <commit> <commit>...      e.g. bench/compare.sh 15ecd61 main HEAD
#         ROUNDS=n (default 15); INSTRUCTIONS=1 also counts instructions per operation with
#         bench/callgrind.sh; FILTER=regex picks other benchmarks (default: OrvelLib and floor);
#         STATE=... runs them in a host state (bench/host-state.sh).
# The working tree's MathBench is built first (`cmake --workflow --preset bench`). Within a round
# the libraries take turns in alternating order. The table is printed and written to
# build/compare/table.md.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/host-state.sh
(($# >= 2)) || { echo "usage: $0 <commit> <commit>..." >&2; exit 2; }
rounds=${ROUNDS:-15}
filter=${FILTER:-/(OrvelLib|floor)\$}
out=build/compare
bench=build/bench/bench/MathBench
cmake --workflow --preset bench >/dev/null
mkdir -p "${out}"

libraries=()
for commit in "$@"; do
  sha=$(git rev-parse --short "${commit}^{commit}")
  dir=${out}/${sha}
  if [[ ! -e ${dir}/build/bench/lib/libOrvelLib.so.1 ]]; then
    rm -rf "${dir}"
    mkdir -p "${dir}"
    git archive "${sha}" | tar -x -C "${dir}"
    (cd "${dir}" && cmake --preset bench >/dev/null && cmake --build build/bench --target OrvelLib >/dev/null)
  fi
  loaded=$(LD_LIBRARY_PATH=${dir}/build/bench/lib ldd "${bench}" | awk '/libOrvelLib/ { print $3 }')
  [[ ${loaded} == "${dir}/build/bench/lib/"* ]] || { echo "${commit}: MathBench loads ${loaded}" >&2; exit 1; }
  echo "${commit} (${sha}): ${loaded}" >&2
  libraries+=("${commit}=${dir}")
  rm -f "${dir}"/round-*.json "${dir}/instructions.json"
done

for ((round = 1; round <= rounds; ++round)); do
  order=("${libraries[@]}")
  if ((round % 2 == 0)); then
    order=()
    for ((i = ${#libraries[@]} - 1; i >= 0; --i)); do order+=("${libraries[i]}"); done
  fi
  for library in "${order[@]}"; do
    dir=${library#*=}
    LD_LIBRARY_PATH=${dir}/build/bench/lib "${bench}" --benchmark_filter="${filter}" \
      --benchmark_min_time=0.05 --benchmark_enable_random_interleaving=true \
      --benchmark_out="${dir}/round-${round}.json" --benchmark_out_format=json >/dev/null 2>&1
  done
done

if [[ ${INSTRUCTIONS:-0} == 1 ]]; then
  for library in "${libraries[@]}"; do
    dir=${library#*=}
    LD_LIBRARY_PATH=${dir}/build/bench/lib bench/callgrind.sh "${bench}" \
      "${dir}/instructions.json" "${filter}" >/dev/null
  done
fi

python3 - "${libraries[@]}" <<'EOF' | tee "${out}/table.md"
import glob, json, os, statistics, sys

libraries = [arg.split("=", 1) for arg in sys.argv[1:]]
times, counts = {}, {}
for name, path in libraries:
    for run_file in glob.glob(f"{path}/round-*.json"):
        with open(run_file) as f:
            for run in json.load(f)["benchmarks"]:
                scale = {"ns": 1.0, "us": 1e3, "ms": 1e6}[run["time_unit"]]
                ns = run["cpu_time"] * scale / run.get("ops", 1.0)
                times.setdefault((name, run["run_name"]), []).append(ns)
    instructions = f"{path}/instructions.json"
    if os.path.exists(instructions):
        with open(instructions) as f:
            counts[name] = json.load(f)

rows = sorted({key[1] for key in times})
base = libraries[0][0]
header = ["Benchmark"] + [name for name, _ in libraries]
header += [f"{name} vs {base}" for name, _ in libraries[1:]]
if counts:
    header.append("instructions: " + " / ".join(name for name, _ in libraries))
print(f"Median CPU ns per operation over {len(times[(base, rows[0])])} rounds, host state "
      f"{os.environ.get('STATE', 'default')}; change within budget (+0.5 ns or +10 %, whichever is "
      "larger) marked ok.\n")
print("| " + " | ".join(header) + " |")
print("|---" * len(header) + "|")
for row in rows:
    medians = [statistics.median(times[(name, row)]) for name, _ in libraries]
    cells = [row] + [f"{m:.2f}" for m in medians]
    for m in medians[1:]:
        delta = m - medians[0]
        verdict = "ok" if delta <= max(0.5, 0.1 * medians[0]) else "over"
        cells.append(f"{delta:+.2f} ({100 * delta / medians[0]:+.0f} %) {verdict}")
    if counts:
        cells.append(" / ".join(f"{counts[name].get(row, float('nan')):.0f}"
                                for name, _ in libraries))
    print("| " + " | ".join(cells) + " |")
EOF
