#!/usr/bin/env bash
# check_package.sh ZIP FFTEXT.EXE SOURCE-DIR: the release zip made by the
# package target. One folder named after the zip, holding exactly fftext.exe,
# README.md and LICENSE as plain files; the two texts are the source tree's,
# byte for byte, and the packed program (stripped on the way) still runs and
# writes a golden spectrum under wine.
#
# Exit status 77 (skip) when the zip is missing or older than FFTEXT.EXE: the
# package target has not been built since the program was.
set -u
if [ $# -ne 3 ] || [ ! -f "$2" ] || [ ! -d "$3" ]; then
    echo "usage: check_package.sh ZIP FFTEXT.EXE SOURCE-DIR" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
zip=$1
exe=$2
source=$3
if [ ! -f "$zip" ] || [ "$zip" -ot "$exe" ]; then
    echo "SKIP: no package as new as $exe (cmake --build --preset mingw --target package)"
    echo "0 passed, 0 failed"
    exit 77
fi
. "$here/wine_env.sh"
work=$(mktemp -d)
trap 'wine_session_end; rm -rf "$work"' EXIT

passed=0
failed=0
check() {  # NAME CONDITION-STATUS DETAIL
    if [ "$2" = 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $1: $3"; fi
}

# Entries as "name kind", kind file, link or folder; unpacked into $work/unpacked.
entries=$(python3 - "$zip" "$work/unpacked" <<'PYTHON'
import stat, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as archive:
    for info in archive.infolist():
        mode = info.external_attr >> 16
        kind = 'folder' if info.is_dir() else 'link' if stat.S_ISLNK(mode) else 'file'
        print(info.filename, kind)
    archive.extractall(sys.argv[2])
PYTHON
) || { echo "FAIL: $zip is not a readable zip"; echo "0 passed, 1 failed"; exit 1; }
top=$(basename "$zip" .zip)
files=$(echo "$entries" | awk '$2 != "folder"' | sort | tr '\n' ' ')
want="$top/LICENSE file $top/README.md file $top/fftext.exe file "
[ "$files" = "$want" ]
check contents $? "holds: $files; want: $want"

for text in README.md LICENSE; do
    cmp -s "$work/unpacked/$top/$text" "$source/$text"
    check "same_$text" $? "$text in the zip differs from the source tree's"
done

packed=$work/unpacked/$top/fftext.exe
if [ -f "$packed" ]; then
    bash "$here/check_pe.sh" "$packed" >"$work/pe" 2>&1
    check packed_pe $? "$(grep FAIL "$work/pe")"
    wine_session_begin || exit 1
    golden=$here/../golden
    (cd "$work" && wine_cli "$work/run.log" "$packed" "$golden/impulse.txt" "$work/impulse.out")
    rc=$?
    [ "$rc" = 1 ] && cmp -s "$work/impulse.out" "$golden/impulse.out"
    check packed_runs $? "exit $rc, message '$(relay_message "$work/run.log")', output $(cmp "$work/impulse.out" "$golden/impulse.out" 2>&1)"
else
    check packed_runs 1 "no fftext.exe to run"
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
