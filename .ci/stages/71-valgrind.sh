# The test binaries of the test preset once under Valgrind's memcheck: any invalid access, use of
# uninitialised memory or leak exits non-zero.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" valgrind
cmake --workflow --preset test
for tests in OrvelLibTests OrvelLibHostTests; do
  valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect,possible \
    --track-origins=yes "build/test/tests/${tests}"
done
