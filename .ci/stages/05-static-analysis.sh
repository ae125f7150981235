# clang-tidy (.clang-tidy) and cppcheck over the library, from the compile database of the
# static-analysis preset, and the clang-format check over every C++ source in the repository.
# Any finding fails the stage.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" git clang-14 clang-tidy-14 clang-format-14 cppcheck
cmake --preset static-analysis

mapfile -t library_sources < <(git ls-files 'lib/*.cpp')
clang-tidy-14 --quiet -p build/static-analysis "${library_sources[@]}"
echo "clang-tidy: ${#library_sources[@]} library sources clean"

# The preset builds no tests, so the database holds the library alone.
cppcheck --project=build/static-analysis/compile_commands.json --std=c++17 --quiet \
  --enable=warning,style,performance,portability --inline-suppr --error-exitcode=1
echo "cppcheck: library clean"

mapfile -t cxx_sources < <(git ls-files '*.cpp' '*.h')
clang-format-14 --dry-run -Werror "${cxx_sources[@]}"
echo "clang-format: ${#cxx_sources[@]} files formatted"
