# libFuzzer under ASan and UBSan (Clang 14): the fuzz workflow replays every seed corpus, then each
# target is fuzzed on a copy of its corpus, so the repository is left as it was. A crash, leak,
# sanitizer report or differential mismatch fails the stage; the input that caused it is printed.
# Each target runs a fixed number of inputs, so a loaded machine does the same work, only slower
# (FUZZ_RUNS_PERCENT scales the counts); FUZZ_MAX_SECONDS (600) only bounds a run that hangs, and
# an input gets a minute before it counts as a hang.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" clang-14 libclang-rt-14-dev
cmake --workflow --preset fuzz

# About 20 s each on an idle core of 2026.
declare -A runs=([MathDifferentialFuzzer]=15000000 [ReadFromFileFuzzer]=150000)
percent=${FUZZ_RUNS_PERCENT:-100}
max_seconds=${FUZZ_MAX_SECONDS:-600}
scratch=$(mktemp -d)
trap 'rm -rf "${scratch}"' EXIT
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

for seeds in fuzz/corpus/*/; do
  target=$(basename "${seeds}")
  corpus="${scratch}/${target}"
  cp -r "${seeds}" "${corpus}"
  mkdir "${corpus}-findings"
  log="${scratch}/${target}.log"
  target_runs=$((runs[${target}] * percent / 100))
  started=${SECONDS}
  if ! "build/fuzz/fuzz/${target}" -runs="${target_runs}" -max_total_time="${max_seconds}" \
    -timeout=60 -print_final_stats=1 -artifact_prefix="${corpus}-findings/" "${corpus}" \
    >"${log}" 2>&1; then
    tail -n 60 "${log}"
    for finding in "${corpus}-findings"/*; do
      [[ -e "${finding}" ]] && echo "finding ${finding##*/}:" && od -A d -t x1 "${finding}" | head -20
    done
    echo "${target}: FAILED"
    exit 1
  fi
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "${log}")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "${log}")
  if ((executions < target_runs)); then
    echo "${target}: only ${executions} of ${target_runs} inputs in ${max_seconds} s" >&2
    exit 1
  fi
  echo "${target}: ${executions} executions in $((SECONDS - started)) s (${speed}/s)," \
    "corpus $(ls "${seeds}" | wc -l) seeds -> $(ls "${corpus}" | wc -l) inputs, no findings"
done
