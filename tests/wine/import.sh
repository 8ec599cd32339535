#!/usr/bin/env bash
# import.sh FFTEXT-IMPORT.EXE NATIVE-FFTEXT-IMPORT: fftext-import.exe under
# wine. Every export kind of tests/e2e/import_exports.py converted with both
# paths given: the same bytes as the native program's, and no box. Then the
# boxes, read from the relay log of MessageBoxW: a dropped file (one
# argument) converted beside itself with the summary shown; dropped again, the
# Yes/No question (no display: it answers at once, and the file is kept); a
# bad cell and the export named as the data file, each one box with the
# native program's message and exit code.
set -u
if [ $# -ne 2 ] || [ ! -f "$1" ]; then
    echo "usage: import.sh FFTEXT-IMPORT.EXE NATIVE-FFTEXT-IMPORT" >&2
    exit 2
fi
[ -x "$2" ] || { echo "SKIP: no native fftext-import at $2 (build the release preset first)"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
native=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
. "$here/wine_env.sh"
wine_session_begin || exit 1
work=$(mktemp -d)
trap 'wine_session_end; rm -rf "$work"' EXIT
passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL $1: $2"; }

# run_exe ARG...: in $work; sets RC and BOXES (each box "STYLE TEXT", one a line).
run_exe() {
    (cd "$work" && wine_cli "$work/relay.log" "$exe" "$@")
    RC=$?
    BOXES=$(relay_calls "$work/relay.log" user32.MessageBoxW |
        sed -E 's/.*Call user32\.MessageBoxW\(00000000,[0-9a-f]{8} L"(.*)",[0-9a-f]{8} L"fftext-import",([0-9a-f]{8})\) ret=.*/\2 \1/' |
        sed -e 's/\\"/"/g' -e 's/\\\\/\\/g')  # relay writes " as \" and \ as \\
}
# The native program's message for the same arguments, without its name.
native_message() { (cd "$work" && "$native" "$@" 2>&1 >/dev/null | sed -e 's/^fftext-import: //'); }

python3 "$here/../e2e/import_exports.py" "$work" || { echo "FAIL: import_exports.py"; exit 1; }
for args_file in "$work"/*.args; do
    name=$(basename "$args_file" .args)
    mapfile -t args <"$args_file"
    (cd "$work" && "$native" "${args[@]}" "$name.export" "$name.native" 2>/dev/null)
    run_exe "${args[@]}" "$name.export" "$name.windows"
    if [ "$RC" != 0 ] || [ -n "$BOXES" ]; then
        fail "$name" "exit code $RC, boxes: $BOXES"
    elif [ ! -s "$work/$name.native" ] || ! cmp -s "$work/$name.native" "$work/$name.windows"; then
        fail "$name" "not the native program's bytes"
    else
        pass
    fi
done

# Dropped: converted beside itself, the summary in an information box.
cp "$work/english_header.export" "$work/drop.csv"
want="00000040 $(cd "$work" && "$native" drop.csv native-drop.txt 2>&1 | sed -e 's/^fftext-import: //; s/native-drop.txt/drop.txt/')"
run_exe drop.csv
if [ "$RC" = 0 ] && [ "$BOXES" = "$want" ] && cmp -s "$work/drop.txt" "$work/native-drop.txt"; then
    pass
else
    fail drop "exit code $RC, boxes: $BOXES; want $want"
fi
# Dropped again: asked before replacing; no answer possible here, so kept.
echo precious >"$work/drop.txt"
run_exe drop.csv
if [ "$RC" = 1 ] && [ "$BOXES" = "00000124 drop.txt exists. Replace it?" ] && [ "$(cat "$work/drop.txt")" = precious ]; then
    pass
else
    fail drop_again "exit code $RC, boxes: $BOXES"
fi

# Failures with both paths: one box, the native message and exit code.
printf 'x,y\n0,1\n1,2\n2,NaN\n' >"$work/bad.csv"
run_exe bad.csv bad.txt
want="00000030 $(native_message bad.csv bad.txt)"
if [ "$RC" = 1 ] && [ "$BOXES" = "$want" ] && [ ! -e "$work/bad.txt" ]; then pass; else fail bad_cell "exit code $RC, boxes: $BOXES; want $want"; fi
run_exe drop.csv DROP.CSV
if [ "$RC" = 2 ] && [ "$BOXES" = "00000030 DROP.CSV: this is the export itself, which is never replaced" ] &&
    cmp -s "$work/drop.csv" "$work/english_header.export"; then
    pass
else
    fail self "exit code $RC, boxes: $BOXES"
fi

echo "wine import: $passed passed, $failed failed"
[ "$failed" = 0 ]
