#!/usr/bin/env bash
# The build cannot pass empty: a test preset that runs no test fails, and
# the Windows build's configure fails when its tests are asked for and wine
# is missing (here: named where there is none).
#
#   build_guards.sh SOURCE-DIR BINARY-DIR
source_dir=$1
binary_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

# The preset of this build directory (build/NAME), asked to run a test that does not exist.
preset=$(basename "$binary_dir")
if [ "$binary_dir" = "$source_dir/build/$preset" ]; then
    (cd "$source_dir" && ctest --preset "$preset" -R '^no test has this name$') >"$work/ctest.log" 2>&1
    rc=$?
    [ "$rc" != 0 ] && grep -q "No tests were found" "$work/ctest.log"
    check "preset_${preset}_without_tests" $? "ctest exit $rc: $(tail -n 3 "$work/ctest.log")"
else
    echo "note: $binary_dir is no preset's build directory; the preset check is left out"
fi

if command -v i686-w64-mingw32-g++ >/dev/null 2>&1; then
    cmake -S "$source_dir" -B "$work/mingw" -G Ninja --toolchain "$source_dir/cmake/i686-w64-mingw32.cmake" \
        -DFFTEXT_TESTS=ON -DFFTEXT_WINE_TESTS=ON -DFFTEXT_WINE="$work/no-wine-here" >"$work/configure.log" 2>&1
    rc=$?
    [ "$rc" != 0 ] && grep -q "which was not found" "$work/configure.log"
    check windows_configure_without_wine $? "configure exit $rc: $(grep -A3 'Error' "$work/configure.log" | head -n 5)"
else
    echo "note: no mingw-w64 cross compiler; the Windows configure is left out"
fi
checks_end
