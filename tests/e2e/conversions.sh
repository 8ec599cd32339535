#!/usr/bin/env bash
# conversions.sh FFTEXT README.md: what "Preparing your data" promises.
#   1. The awk lines of the README, run on spreadsheet exports made here
#      (comma CSV with a quoted header and CR LF, semicolon CSV with decimal
#      commas and a byte-order mark, tab-separated text with decimal commas),
#      give files whose spectrum is byte for byte that of the same samples
#      written plainly.
#   2. The behaviours its table describes, each on a small file.
set -u
fftext=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
readme=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
run() {  # INPUT OUTPUT: sets rc and message (the first line; the detail line after it is not compared here)
    message=$(cd "$work" && env -u DISPLAY "$fftext" "$1" "$2" 2>&1 </dev/null)
    rc=$?
    message=${message%%$'\n'*}
}

# The samples: abscissa and ordinate as a spreadsheet shows them.
samples=("0.000 0.25" "0.001 -1.5" "0.002 3" "0.003 0.125" "0.004 -2E-1" "0.005 7.75" "0.006 0" "0.007 -0.5")
for sample in "${samples[@]}"; do echo "$sample"; done >"$work/plain.txt"
run plain.txt plain.out
[ "$rc" = 1 ]
check reference_runs $? "exit $rc: $message"

{
    printf '"Time (s)","Signal (V)"\r\n'
    for sample in "${samples[@]}"; do set -- $sample; printf '%s,"%s"\r\n' "$1" "$2"; done
} >"$work/comma.csv"
{
    printf '\357\273\277Zeit;Wert\r\n'
    for sample in "${samples[@]}"; do set -- $sample; printf '%s;%s\r\n' "${1/./,}" "${2/./,}"; done
} >"$work/semicolon.csv"
{
    printf 'time\tvalue\n'
    for sample in "${samples[@]}"; do set -- $sample; printf '%s\t%s\n' "${1/./,}" "$2"; done
} >"$work/tab.txt"

mapfile -t commands < <(grep -E "^awk " "$readme")
[ "${#commands[@]}" = 3 ]
check three_commands $? "${#commands[@]} awk lines in the README, want 3 (comma, semicolon, tab)"
# The manual page shows the same three lines, in roff's escapes.
manual=$(dirname "$readme")/docs/fftext.1
mapfile -t manual_commands < <(grep -E '^awk ' "$manual" | sed -e 's/\\-/-/g' -e 's/\\e/\\/g')
[ "${manual_commands[*]}" = "${commands[*]}" ]
check manual_commands $? "docs/fftext.1's awk lines differ from the README's"
exports=(comma.csv semicolon.csv tab.txt)
for i in 0 1 2; do
    [ -n "${commands[$i]:-}" ] || continue
    case=$work/case$i
    mkdir -p "$case"
    # The README's line as it stands; it reads export.csv or export.txt.
    cp "$work/${exports[$i]}" "$case/export.csv"
    cp "$work/${exports[$i]}" "$case/export.txt"
    (cd "$case" && bash -c "${commands[$i]}") 2>"$work/awk.err"
    check "command_runs_${exports[$i]}" $? "$(cat "$work/awk.err")"
    run "$case/data.txt" "$case/data.out"
    [ "$rc" = 1 ] && cmp -s "$case/data.out" "$work/plain.out"
    check "same_spectrum_${exports[$i]}" $? "exit $rc $message; $(cmp "$case/data.out" "$work/plain.out" 2>&1)"
done

# The table. Each case: name, file contents (printf format), expected exit
# code, expected message ("" for none), and for a written spectrum the
# zero-frequency value S = dx * sum(y) that shows which samples were read.
# NOTE: the Linux note after a run whose ordinates all read as 0 for want of a number.
note='fftext: note: every ordinate read as 0: no number stood where the second column was expected (commas or semicolons between the columns?); fftext-import EXPORT DATA converts such a file'
while IFS='|' read -r name text want_rc want_message want_zero; do
    [ "$want_message" = NOTE ] && want_message=$note
    printf "$text" >"$work/$name.txt"
    run "$name.txt" "$name.out"
    zero=""
    [ -f "$work/$name.out" ] && zero=$(grep -m1 $'^0\t' "$work/$name.out" | cut -f2)
    [ "$rc" = "$want_rc" ] && [ "$message" = "$want_message" ] && [ "$zero" = "$want_zero" ]
    check "behaves_$name" $? "exit $rc '$message' S=$zero; want exit $want_rc '$want_message' S=$want_zero"
done <<'CASES'
commas|0.5,1\n1.5,2\n2.5,3\n3.5,4\n|1|NOTE|0
comma_space|0.5, 1\n1.5, 2\n2.5, 3\n3.5, 4\n|1|NOTE|0
semicolons|0.5;1\n1.5;2\n2.5;3\n3.5;4\n|1|NOTE|0
decimal_commas|0,001 1,5\n0,002 2,5\n0,003 3,5\n0,004 4,5\n|0|Error: Zero step in input data is invalid|
decimal_commas_half_steps|0,5 1,5\n1,0 2,5\n1,5 3,5\n2,0 4,5\n|0|Error: Input data are not sorted or not equidistant|
decimal_commas_whole_steps|0,0 1,5\n1,0 2,5\n2,0 3,5\n3,0 4,5\n|1|NOTE|0
decimal_comma_ordinate|0.5 1,5\n1.5 2,5\n2.5 3,5\n3.5 4,5\n|1||10
header|time value\n0 1\n1 2\n2 3\n3 4\n|0|Error: Input data are not sorted or not equidistant|
header_one_step_after_zero|time value\n1 1\n2 2\n3 3\n|1||6
comment_line|# volts\n1 1\n2 2\n3 3\n|1||6
byte_order_mark|\357\273\2770 1\n1 2\n2 3\n3 4\n|1||9
byte_order_mark_nonzero_start|\357\273\2775 1\n6 2\n7 3\n8 4\n|0|Error: Input data are not sorted or not equidistant|
nan_ordinate|0 1\n1 NaN\n2 3\n3 4\n|1||8
inf_and_na_ordinates|0 1\n1 inf\n2 #N/A\n3 4\n|1||5
nan_abscissa|0 1\nnan 2\n2 3\n3 4\n|0|Error: Input data are not sorted or not equidistant|
blank_lines|0 1\n\n1 2\n \t \n2 3\n3 4\n|1||10
blank_lines_not_counted|0 1\n\n\n1 2\n2\n|0|Error: Invalid input file format at line 3|
more_columns|0 1 9 9\n1 2 x\n2 3\n3 4\n|1||10
CASES
checks_end
