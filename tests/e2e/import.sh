#!/usr/bin/env bash
# import.sh FFTEXT-IMPORT FFTEXT: end-to-end runs of fftext-import.
# Each export kind of import_exports.py is converted and transformed by
# fftext; the spectrum must be byte for byte that of the clean two-column file
# of the same doubles. Bad cells, the export named as the data file and an
# existing data file must give their message and exit code, and leave the
# folder as it was. IMPORT_HOOK may name a bash file that redefines
# run_import (the Windows program under wine).
set -u
if [ $# -lt 2 ] || [ ! -f "$1" ] || [ ! -f "$2" ]; then
    echo "usage: import.sh FFTEXT-IMPORT FFTEXT" >&2
    exit 2
fi
PROGRAM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
FFTEXT=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
logs=$(mktemp -d)
trap 'rm -rf "$work" "$logs"' EXIT

# run_import ARG...: runs the program in $work; sets RC and MESSAGE (standard
# error, the program's name taken off each line).
run_import() {
    (cd "$work" && timeout 60 "$PROGRAM" "$@" </dev/null >"$logs/stdout" 2>"$logs/stderr")
    RC=$?
    MESSAGE=$(sed -e 's/^fftext-import: //' "$logs/stderr")
}
if [ -n "${IMPORT_HOOK:-}" ]; then
    # shellcheck source=/dev/null
    . "$IMPORT_HOOK"
fi

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL $1: $2"; }

# The spectrum of a file as fftext writes it.
spectrum() { "$FFTEXT" "$1" "$2" </dev/null >/dev/null 2>&1; [ -s "$2" ]; }

# --- Export kinds: the spectrum of the conversion is that of the clean file.
python3 "$here/import_exports.py" "$work" || { echo "FAIL: import_exports.py"; exit 1; }
for args_file in "$work"/*.args; do
    name=$(basename "$args_file" .args)
    mapfile -t args <"$args_file"
    run_import "${args[@]}" "$name.export" "$name.data"
    if [ "$RC" != 0 ] || [ ! -f "$work/$name.data" ]; then fail "$name" "exit code $RC: $MESSAGE"; continue; fi
    if ! spectrum "$work/$name.clean" "$work/$name.want" || ! spectrum "$work/$name.data" "$work/$name.got"; then
        fail "$name" "fftext wrote no spectrum"
        continue
    fi
    if cmp -s "$work/$name.want" "$work/$name.got"; then pass; else fail "$name" "the spectra differ"; fi
    [ -n "${KEEP_DATA:-}" ] && cp "$work/$name.data" "$KEEP_DATA/$name.data"
done

# The summary of one of them, word for word.
run_import --dt 1e-6 scope_metadata_dt.export scope.txt
want="scope_metadata_dt.export -> scope.txt: comma-separated, decimal point, header at line 7; x from --dt, y column 2; 128 rows written (a power of two), 7 lines before the data; mean step 1e-06, from 0 to 0.000127"
if [ "$RC" = 0 ] && [ "$MESSAGE" = "$want" ]; then pass; else fail summary "exit code $RC: $MESSAGE"; fi

# --- Bad cells: the message names line, column and cell; nothing is written.
# expect_refused NAME RC MESSAGE ARG...: that exit code and message, and the
# folder afterwards as it was before.
expect_refused() {
    local name=$1 code=$2 message=$3
    shift 3
    ls -la --time-style=full-iso "$work" | grep -v ' \.\.\?$' >"$logs/before"
    run_import "$@"
    ls -la --time-style=full-iso "$work" | grep -v ' \.\.\?$' >"$logs/after"
    if [ "$RC" != "$code" ] || [ "$MESSAGE" != "$message" ]; then
        fail "$name" "exit code $RC, message '$MESSAGE'; want $code, '$message'"
    elif ! cmp -s "$logs/before" "$logs/after"; then
        fail "$name" "the folder changed: $(diff "$logs/before" "$logs/after" | tail -n +2 | head -n 3)"
    else
        pass
    fi
    rm -f "$logs/before" "$logs/after"
}

bad_cell() {  # NAME CELL [DELIMITER]: the cell on line 4, column 2
    local d=${3:-,}
    printf 'time%svalue\n0%s1\n1%s2\n2%s%s\n3%s4\n' "$d" "$d" "$d" "$d" "$2" "$d" >"$work/$1.csv"
}
bad_cell empty ''
expect_refused empty 1 'empty.csv:4: column 2: empty cell' empty.csv
bad_cell nan NaN
expect_refused nan 1 'nan.csv:4: column 2: "NaN" is not a number' nan.csv
bad_cell na '#N/A'
expect_refused na 1 'na.csv:4: column 2: "#N/A" is not a number' na.csv
bad_cell text 'overload'
expect_refused text 1 'text.csv:4: column 2: "overload" is not a number' text.csv
bad_cell quoted_empty '""' ';'
expect_refused quoted_empty 1 'quoted_empty.csv:4: column 2: empty cell' quoted_empty.csv
bad_cell ambiguous '1.234,5' ';'
sed -i 's/^1;2$/1;2,5/' "$work/ambiguous.csv"
expect_refused ambiguous 1 'ambiguous.csv:4: column 2: "1.234,5" holds a '"'.'"' in a file with decimal commas' ambiguous.csv
bad_cell huge '1e999'
expect_refused huge 1 'huge.csv:4: column 2: "1e999" is out of range' huge.csv
printf 'x,y\n0,1\n1,2\n2\n' >"$work/short.csv"
expect_refused short_row 1 'short.csv:4: column 2: no cell (the line has 1 cell)' short.csv
printf 'when,y\n2026-01-01T00:00:00,1\n2026-01-01T00:00:01,2\n2026-02-30T00:00:02,3\n' >"$work/bad_date.csv"
expect_refused bad_date 1 'bad_date.csv:4: column 1: "2026-02-30T00:00:02" is not a date-time' bad_date.csv
printf 'x,y\n0,1\n1,2\n' >"$work/names.csv"
expect_refused unknown_name 1 'names.csv: no line holds the column name "volts" as a cell, followed by a row of numbers' -y volts names.csv

# --skip-bad drops the rows and says how many and where.
bad_cell dropped NaN
printf '4,\n5,6\n' >>"$work/dropped.csv"
run_import --skip-bad dropped.csv
if [ "$RC" = 0 ] && [[ $MESSAGE == *"; 4 rows written (a power of two), 1 line before the data, 2 with a bad cell dropped (lines 4 and 6); "* ]] &&
    [ "$(cat "$work/dropped.txt")" = "$(printf '0\t1\n1\t2\n3\t4\n5\t6')" ]; then
    pass
else
    fail skip_bad "exit code $RC: $MESSAGE"
fi

# --- The export is never the data file: by its name, another spelling, a link.
cp "$work/english_header.export" "$work/keep.csv"
cp "$work/keep.csv" "$work/keep.copy"
mkdir "$work/sub"
ln -s ../keep.csv "$work/sub/link.txt"
expect_refused self_direct 2 'keep.csv: this is the export itself, which is never replaced' keep.csv keep.csv
expect_refused self_spelling 2 './sub/../keep.csv: this is the export itself, which is never replaced' keep.csv ./sub/../keep.csv
expect_refused self_link 2 'sub/link.txt: this is the export itself, which is never replaced' keep.csv sub/link.txt
if cmp -s "$work/keep.csv" "$work/keep.copy"; then pass; else fail self "the export changed"; fi
# An export named *.txt goes to *.data.txt, never over itself.
cp "$work/keep.csv" "$work/export.txt"
run_import export.txt
if [ "$RC" = 0 ] && [ -f "$work/export.data.txt" ] && cmp -s "$work/export.txt" "$work/keep.csv"; then pass; else fail data_txt "exit code $RC: $MESSAGE"; fi

# --- An existing data file, given or derived, is kept without --force.
echo precious >"$work/keep.txt"
expect_refused exists_derived 1 'keep.txt: the file exists (--force replaces it)' keep.csv
expect_refused exists_given 1 'keep.txt: the file exists (--force replaces it)' keep.csv keep.txt
run_import --force keep.csv
if [ "$RC" = 0 ] && cmp -s "$work/keep.txt" "$work/english_header.data"; then pass; else fail force "exit code $RC: $MESSAGE"; fi

# --- Where fftext would refuse the result: written all the same, with a warning.
printf '0 1\n1 2\n2 3\n2 4\n4 5\n5 6\n' >"$work/repeat.dat"
run_import repeat.dat
if [ "$RC" = 0 ] && [ -f "$work/repeat.txt" ] &&
    [[ $MESSAGE == *$'\n'"warning: fftext will refuse the file: the abscissa goes back or repeats at line 4"$'\n'"warning: fftext will refuse the file: the step is more than 1 % from the mean at line 5" ]]; then
    pass
else
    fail warnings "exit code $RC: $MESSAGE"
fi

# --- The command line.
expect_refused usage 2 $'unknown option --frobnicate\nusage: fftext-import [OPTIONS] EXPORT [DATA]' --frobnicate keep.csv
expect_refused dt_and_x 2 $'-x and --dt both give the abscissa\nusage: fftext-import [OPTIONS] EXPORT [DATA]' --dt 1 -x 2 keep.csv

echo "import: $passed passed, $failed failed"
[ "$failed" = 0 ]
