#!/usr/bin/env bash
# End-to-end runs of the built program: exact output bytes, the one message
# of a failed run, exit codes, and no output file left after a failure.
#
#   run_cases.sh PROGRAM
PROGRAM=$1
. "$(dirname "$0")/lib.sh"

## Worked runs, compared byte for byte
for name in impulse half_step shifted_origin three_points eight_shifted six_points constant \
            stray_padded stray two_points seven_bytes bom_crlf tie_8192 subnormal_phase \
            impulse_1e200 impulse_1e-170 impulse_subnormal overflow_sum; do
    expect_output "$name" "$golden/$name.txt"
done

## An existing output file is replaced, not appended to
head -c 5000 /dev/urandom >"$work/replaced.result"
expect_output impulse "$golden/impulse.txt" "$work/replaced.result"

## The same path as input and output: the spectrum replaces the input
cp "$golden/half_step.txt" "$work/same.txt"
expect_output half_step "$work/same.txt" "$work/same.txt"

## Arguments beyond the second are ignored
run_fftext "$golden/impulse.txt" "$work/extra.result" "$work/not-written" extra
if [ "$RC" = 1 ] && cmp -s "$work/extra.result" "$golden/impulse.out" && [ ! -e "$work/not-written" ]; then
    pass
else
    fail extra_arguments "exit $RC"
fi

## Loading
expect_failure missing_input "$work/no-such-file.txt" "Error: CreateFile(GENERIC_READ, FILE_SHARE_READ) failed"
mkdir "$work/directory"
expect_failure directory_input "$work/directory" "Error: CreateFile(GENERIC_READ, FILE_SHARE_READ) failed"
failure_text empty '' "Warning: Empty file"
failure_text one_byte '5' "Error: Out of memory (data array)"
truncate -s 268435456 "$work/too_large.txt"
expect_failure too_large "$work/too_large.txt" "Error: File too large"
# One byte less passes the size test; all zeros is an empty text.
truncate -s 268435455 "$work/largest.txt"
expect_failure largest_zeros "$work/largest.txt" "Error: Too few data"

## Parsing: messages and record numbers
failure_text overflow_y '0 1\n1 1e999\n' "Error: Invalid value at line 2"
failure_text overflow_x '0 1\n1 2\n-1d400 3\n' "Error: Invalid value at line 3"
failure_text blank_lines_not_counted '\n\n0 1\n\n  \r\n1 2\r\n\n9e999 1\n' "Error: Invalid value at line 3"
failure_text x_only_then_break '0\n1 2\n' "Error: Invalid input file format at line 1"
failure_text x_only_crlf '0 1\r\n1 2\r\n2  \r\n' "Error: Invalid input file format at line 3"
failure_text blanks_only '  \n\t\n\r\n   ' "Error: Too few data"
failure_text single_point '0 1\n' "Error: Too few data"
failure_text zero_byte_ends_text '0 1\n\0001 2\n2 3\n' "Error: Too few data"
failure_text header_line 'x y\n0 1\n' "Error: Zero step in input data is invalid"

## Step check
failure_text stray_two_percent '0 1\n1.02 1\n2 1\n' "Error: Input data are not sorted or not equidistant"
failure_text decreasing '3 1\n2 1\n1 1\n' "Error: Input data are not sorted or not equidistant"
failure_text decreasing_pair '1 1\n0 2\n' "Error: Input data are not sorted or not equidistant"
failure_text stray_last_interval '0 1\n1.0099 1\n2.0198 1\n3.0297 1\n4 1\n' "Error: Input data are not sorted or not equidistant"
failure_text decreasing_subnormal '1.5e-323 1\n1e-323 1\n5e-324 1\n0 1\n' "Error: Input data are not sorted or not equidistant"
failure_text infinite_step '-1e308 0\n1e308 0\n' "Error: Input data are not sorted or not equidistant"
failure_text zero_step '5 1\n5 2\n5 3\n' "Error: Zero step in input data is invalid"

## Output
run_fftext "$golden/impulse.txt" "$work/missing-dir/out.txt"
if [ "$RC" = 0 ] && [ "$MESSAGE" = "Error: CreateFile(GENERIC_WRITE, FILE_SHARE_READ) failed" ]; then
    pass
else
    fail unwritable_output "exit $RC, message '$MESSAGE'"
fi
# An input failure is reported before the output is even looked at.
run_fftext "$work/no-such-file.txt" "$work/missing-dir/out.txt"
if [ "$MESSAGE" = "Error: CreateFile(GENERIC_READ, FILE_SHARE_READ) failed" ]; then pass; else fail input_first "$MESSAGE"; fi
if [ -c /dev/full ] && [ -z "${FFTEXT_E2E_HOOK:-}" ]; then
    run_fftext "$golden/tie_8192.txt" /dev/full
    if [ "$RC" = 0 ] && [ "$MESSAGE" = "Error: WriteFile failed" ] && [ -c /dev/full ]; then
        pass
    else
        fail full_device "exit $RC, message '$MESSAGE'"
    fi
fi

finish
