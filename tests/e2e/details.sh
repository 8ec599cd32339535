#!/usr/bin/env bash
# The Linux build's detail line after each kind of failure: standard error
# holds the specified "Caption: text" and then exactly one "fftext: ..." line
# saying where and why. Each input has a blank line before the failing line,
# so that its physical line number differs from the record number of the
# message. Names and echoed text are shown with control bytes escaped.
#
#   details.sh PROGRAM
PROGRAM=$1
. "$(dirname "$0")/lib.sh"
export LC_ALL=C
cd "$work" || exit 1

# detail_case NAME FILE PRINTF-TEXT MESSAGE DETAIL [OUTPUT]: FILE made from
# the printf text (none where the text is "-"), then run.
detail_case() {
    local name=$1 file=$2 text=$3 want_message=$4 want_detail=$5 output=${6:-never.out}
    [ "$text" = - ] || printf -- "$text" >"$file"
    run_fftext "$file" "$output"
    if [ "$RC" != 0 ]; then fail "$name" "exit code $RC, want 0"; return; fi
    if [ "$MESSAGE" != "$want_message" ]; then fail "$name" "message '$MESSAGE', want '$want_message'"; return; fi
    if [ "$DETAIL" != "fftext: $want_detail" ]; then fail "$name" "detail '$DETAIL', want 'fftext: $want_detail'"; return; fi
    pass
}

long=$(printf '%070d' 0)
detail_case invalid_value value.txt '0 1\n\n1 1e999\n' \
    'Error: Invalid value at line 2' 'value.txt:3: "1 1e999"'
detail_case invalid_format format.txt '0 1\r\n\r\n1\r\n' \
    'Error: Invalid input file format at line 2' 'format.txt:3: "1"'
detail_case line_shown_safely shown.txt "0 1\n\n\t1e999 \\\\\001\xff\xc3\xa9${long}\n" \
    'Error: Invalid value at line 2' 'shown.txt:3: "\t1e999 \\\x01\xffé'"${long:0:48}...\""
detail_case name_shown_safely $'bad\033[2Jname.txt' '0 1\n\n1\n' \
    'Error: Invalid input file format at line 2' 'bad\x1b[2Jname.txt:3: "1"'
detail_case too_few_one few.txt '\n \n0 1\n' 'Error: Too few data' 'few.txt: 1 sample read, at least 2 needed'
detail_case too_few_none none.txt '\n \t\n' 'Error: Too few data' 'none.txt: 0 samples read, at least 2 needed'
detail_case unsorted unsorted.txt '0 1\n1 1\n\n3 1\n2 1\n4 1\n' \
    'Error: Input data are not sorted or not equidistant' \
    'unsorted.txt: lines 2 and 4: interval 2 from 1 to 3, mean step 1'
detail_case gap gap.txt '0 1\n0.001 1\n\n0.002 1\n0.0035 1\n0.004 1\n' \
    'Error: Input data are not sorted or not equidistant' \
    'gap.txt: lines 4 and 5: interval 0.0015 from 0.002 to 0.0035, mean step 0.001'
detail_case repeated repeated.txt '0 1\n1 1\n2 1\n\n2 1\n4 1\n' \
    'Error: Input data are not sorted or not equidistant' \
    'repeated.txt: lines 3 and 5: the same abscissa 2, mean step 1'
detail_case zero_step zero.txt '\n5 1\n5 2\n\n5 3\n' \
    'Error: Zero step in input data is invalid' 'zero.txt: first abscissa 5 (line 2), last 5 (line 5), step 0'
detail_case infinite_step infinite.txt '-1e308 1\n\n1e308 1\n' \
    'Error: Input data are not sorted or not equidistant' \
    'infinite.txt: first abscissa -1e+308 (line 1), last 1e+308 (line 3), step 1.#INF'
# Lines of two bytes: 8 bytes of room per 2 bytes of text, page-rounded, hold
# 512 samples of these 1024 lines.
{ echo; for _ in $(seq 1024); do echo a; done; } >room.txt
detail_case room_ran_out room.txt - 'Error: Out of memory (data array)' \
    'room.txt:514: the room for 512 samples ran out here'
detail_case no_input missing.txt - 'Error: CreateFile(GENERIC_READ, FILE_SHARE_READ) failed' \
    'missing.txt: No such file or directory'
mkdir folder.txt
detail_case folder_as_input folder.txt - 'Error: CreateFile(GENERIC_READ, FILE_SHARE_READ) failed' \
    'folder.txt: Is a directory'
detail_case no_output_folder good.txt '0 1\n\n1 2\n' 'Error: CreateFile(GENERIC_WRITE, FILE_SHARE_READ) failed' \
    'no/such/folder.out: No such file or directory' no/such/folder.out
if [ -w /dev/full ]; then
    detail_case full_disk good.txt - 'Error: WriteFile failed' '/dev/full: No space left on device' /dev/full
fi
truncate -s 268435456 large.txt
detail_case too_large large.txt - 'Error: File too large' 'large.txt: 268435456 bytes, more than the 268435455 allowed'
rm -f large.txt

# After a completed run in which every ordinate read as 0 because no number
# stood where it was expected, one note; real zeros stay quiet. The spectrum
# and the exit code are those of any run.
note='fftext: note: every ordinate read as 0: no number stood where the second column was expected (commas or semicolons between the columns?); fftext-import EXPORT DATA converts such a file'
# note_case NAME PRINTF-TEXT WANT-STDERR
note_case() {
    printf -- "$2" >"$1.txt"
    run_fftext "$1.txt" "$1.out"
    local got
    got=$(cat "$work/stderr")
    if [ "$RC" != 1 ] || [ ! -s "$1.out" ]; then fail "$1" "exit code $RC, want 1 and a spectrum"; return; fi
    if [ "$got" != "$3" ]; then fail "$1" "stderr '$got', want '$3'"; return; fi
    pass
}
note_case commas 'time,value\n0.001,1.5\n0.002,2\n0.003,1\n' "$note"
note_case semicolons '0;1,5\r\n1;2\r\n\r\n2;3\r\n3;4\r\n' "$note"
note_case real_zeros 'x y\n\n1 0\n2 0\n3 0\n4 0e5\n' ''
note_case one_real_zero '0,1\n1,2\n2 0\n3,4\n' ''
note_case signal '0,1\n1 2\n2,2\n3,4\n' ''
finish
