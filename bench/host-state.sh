# Sourced by run.sh and compare.sh: puts the benchmarks, OrvelLib and its peers alike, in the host
# state named by STATE:
#   default         the IEEE-754 default state
#   ftz-daz         flush-to-zero and denormals-are-zero, as -ffast-math start-up code and many
#                   engines set them
#   upward          a directed rounding mode
#   avx512-masked   the default state on a CPU taken as having no AVX-512 (glibc's tunables), as
#                   every x86 CPU without it runs
state=${STATE:-default}
case ${state} in
  default | ftz-daz | upward) export ORVEL_BENCH_HOST_STATE=${state} ;;
  avx512-masked)
    export ORVEL_BENCH_HOST_STATE=default
    export GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F
    ;;
  *)
    echo "STATE=${state}: not one of default, ftz-daz, upward, avx512-masked" >&2
    exit 2
    ;;
esac
