# The tests in Release builds with the other compilers Debian 12 ships: GCC 11 and Clang 13, 15
# and 16. Compiler releases change their floating-point defaults, such as which contractions they
# allow; the digests, the reference sweeps and the fused multiply-add audit fail on any change.
# Clang 16 builds in ISO C++ without GNU extensions, as a parent project may ask, and also
# builds the tests and the demo as -ffast-math hosts.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" g++-11 clang-13 clang-15 clang-16

for preset in gcc-11 clang-13 clang-15 clang-16 clang-16-fast-math-host; do
  started=${SECONDS}
  CTEST_PARALLEL_LEVEL=2 cmake --workflow --preset "${preset}"
  echo "--- ${preset}: $((SECONDS - started)) s"
done

# Every source of the ISO build was compiled with -std=c++NN: none was left in the compiler's
# default GNU dialect, which would have hidden a GNU-only construct.
commands=build/clang-16/compile_commands.json
test "$(grep -c '"command"' "${commands}")" = "$(grep -c -- '-std=c++' "${commands}")"
echo "clang-16: all $(grep -c '"command"' "${commands}") sources compiled as ISO C++"
