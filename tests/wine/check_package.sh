#!/usr/bin/env bash
# check_package.sh ZIP FFTEXT.EXE SOURCE-DIR [NATIVE-FFTEXT]: the release zip
# made by the package target. One folder named after the zip, holding exactly
# the programs, README.txt, LICENSE.txt and examples/signal.txt as plain
# files; the texts and the example are the source tree's with CR LF line
# ends (README.txt plain ASCII, naming every message the program can show),
# and the packed program (stripped on the way) passes the PE checks and
# still runs under wine: a golden spectrum, and the CR LF example's spectrum
# the same bytes as the native program's of the LF source when given.
#
# Exit status 77 (skip) when the zip is missing or older than FFTEXT.EXE: the
# package target has not been built since the program was.
set -u
if [ $# -lt 3 ] || [ ! -f "$2" ] || [ ! -d "$3" ]; then
    echo "usage: check_package.sh ZIP FFTEXT.EXE SOURCE-DIR [NATIVE-FFTEXT]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
zip=$1
exe=$2
source=$3
native=${4:-}
# The programs the zip ships, each as NAME.exe.
programs="fftext fftext-plot fftext-import"
if [ ! -f "$zip" ] || [ "$zip" -ot "$exe" ]; then
    echo "SKIP: no package as new as $exe (cmake --build --preset mingw --target package)"
    echo "0 passed, 0 failed"
    exit 77
fi
. "$here/wine_env.sh"
work=$(mktemp -d)
trap 'wine_session_end; rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

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
want=$( { for program in $programs; do echo "$top/$program.exe file"; done
          printf '%s\n' "$top/LICENSE.txt file" "$top/README.txt file" "$top/examples/signal.txt file"; } |
        sort | tr '\n' ' ')
[ "$files" = "$want" ]
check contents $? "holds: $files; want: $want"

# CR LF everywhere: as many CR as LF, each CR before an LF, and without the
# CRs the source's text.
crlf_of() {  # NAME SOURCE-FILE
    local packed=$work/unpacked/$top/$1
    [ -f "$packed" ] || return 1
    [ "$(tr -cd '\r' <"$packed" | wc -c)" = "$(tr -cd '\n' <"$packed" | wc -c)" ] &&
        [ "$(grep -c $'\r$' "$packed")" = "$(wc -l <"$packed")" ] &&
        tr -d '\r' <"$packed" | cmp -s - "$2"
}
crlf_of README.txt "$source/data/windows/README.txt"
check readme_crlf $? "README.txt is not data/windows/README.txt with CR LF line ends"
crlf_of LICENSE.txt "$source/LICENSE"
check license_crlf $? "LICENSE.txt is not LICENSE with CR LF line ends"
readme=$work/unpacked/$top/README.txt
! LC_ALL=C grep -q $'[^\t\r -~]' "$readme" 2>/dev/null && [ -s "$readme" ]
check readme_ascii $? "README.txt holds bytes other than printable ASCII, tab, CR and LF"
# Every message of the program's table (README.md) is explained to Windows users too.
missing=""
while IFS= read -r message; do
    grep -qF -- "$message" "$readme" || missing="$missing '$message'"
done < <(sed -n 's/^| \([A-Z][^|]*[a-z)N]\) | \(Error\|Warning\) |.*/\1/p' "$source/README.md" | sed 's/ at line N$/ at line/')
[ -z "$missing" ] && [ "$(sed -n 's/^| \([A-Z][^|]*\) | \(Error\|Warning\) |.*/x/p' "$source/README.md" | wc -l)" -ge 14 ]
check readme_messages $? "README.txt does not explain:$missing"
crlf_of examples/signal.txt "$source/examples/signal.txt"
check example_crlf $? "examples/signal.txt is not the source tree's with CR LF line ends"

packed=$work/unpacked/$top/fftext.exe
if [ -f "$packed" ]; then
    for program in $programs; do
        bash "$here/check_pe.sh" "$work/unpacked/$top/$program.exe" >"$work/pe" 2>&1
        check "packed_pe_$program" $? "$(grep FAIL "$work/pe")"
    done
    wine_session_begin || exit 1
    golden=$here/../golden
    (cd "$work" && wine_cli "$work/run.log" "$packed" "$golden/impulse.txt" "$work/impulse.out")
    rc=$?
    [ "$rc" = 1 ] && cmp -s "$work/impulse.out" "$golden/impulse.out"
    check packed_runs $? "exit $rc, message '$(relay_message "$work/run.log")', output $(cmp "$work/impulse.out" "$golden/impulse.out" 2>&1)"
    if [ -n "$native" ] && [ -x "$native" ]; then
        example=$work/unpacked/$top/examples/signal.txt
        (cd "$work" && wine_cli "$work/example.log" "$packed" "$example" "$work/example.out")
        rc=$?
        "$native" "$source/examples/signal.txt" "$work/example.native" </dev/null >/dev/null 2>&1
        [ "$rc" = 1 ] && cmp -s "$work/example.out" "$work/example.native"
        check packed_example $? "exit $rc, output $(cmp "$work/example.out" "$work/example.native" 2>&1)"
    fi
else
    check packed_runs 1 "no fftext.exe to run"
fi

checks_end
