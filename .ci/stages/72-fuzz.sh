# libFuzzer under ASan and UBSan (Clang 14): the fuzz workflow replays every seed corpus, then each
# target is fuzzed for FUZZ_SECONDS (60 by default) on a copy of its corpus, so the repository is
# left as it was. A crash, leak, sanitizer report or differential mismatch fails the stage; the
# input that caused it is printed.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" clang-14 libclang-rt-14-dev
cmake --workflow --preset fuzz

seconds=${FUZZ_SECONDS:-60}
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
  if ! "build/fuzz/fuzz/${target}" -max_total_time="${seconds}" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="${corpus}-findings/" "${corpus}" >"${log}" 2>&1; then
    tail -n 60 "${log}"
    for finding in "${corpus}-findings"/*; do
      [[ -e "${finding}" ]] && echo "finding ${finding##*/}:" && od -A d -t x1 "${finding}" | head -20
    done
    echo "${target}: FAILED"
    exit 1
  fi
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "${log}")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "${log}")
  echo "${target}: ${executions} executions in ${seconds} s (${speed}/s)," \
    "corpus $(ls "${seeds}" | wc -l) seeds -> $(ls "${corpus}" | wc -l) inputs, no findings"
done
