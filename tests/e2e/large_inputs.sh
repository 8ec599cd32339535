#!/usr/bin/env bash
# Worst-case content at the size limit (2^28 - 1 bytes, generated here, not
# stored): each run ends with its message, inside the room of the sample
# array, and in bounded time.
#
#   large_inputs.sh PROGRAM
PROGRAM=$1
. "$(dirname "$0")/lib.sh"
size=268435455

# large NAME MESSAGE GENERATOR...: the input is the generator's first $size bytes.
large() {
    local name=$1 want=$2
    shift 2
    "$@" 2>/dev/null | head -c "$size" >"$work/large.txt"
    truncate -s "$size" "$work/large.txt"
    expect_failure "$name" "$work/large.txt" "$want"
    rm -f "$work/large.txt"
}

# Two-byte records fill the room before the text ends.
large two_byte_records "Error: Out of memory (data array)" yes a
# Four-byte records always fit; all have the abscissa 0.
large four_byte_records "Error: Zero step in input data is invalid" yes "0 1"
# One number of 2^28 - 1 digits overflows.
large one_huge_number "Error: Invalid value at line 1" tr '\0' 1 </dev/zero
# The same digits after "0." are a tiny number, then nothing follows: one point.
large one_long_fraction "Error: Too few data" bash -c 'printf "0."; tr "\0" 1 </dev/zero'
large all_whitespace "Error: Too few data" tr '\0' ' ' </dev/zero
# Everything after the first byte is zero, so the text is "5": a single point.
large zeros_after_first "Error: Too few data" printf 5

finish
