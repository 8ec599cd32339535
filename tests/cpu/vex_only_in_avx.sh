#!/usr/bin/env bash
# The AVX sweeps are the only code compiled for AVX, and they run only where
# the processor has it. This disassembles the program and fails when an
# instruction with a VEX or EVEX encoding lies in any other function: such
# an instruction would stop the program on a processor without AVX.
#   vex_only_in_avx.sh PROGRAM [OBJDUMP]
# The AVX-only functions are those named avx_... or in the namespace
# avx_code (see src/transform/passes.h), mangled or not.
set -eu
program=$1
objdump=${2:-objdump}

listing=$(mktemp)
trap 'rm -f "$listing"' EXIT
"$objdump" -d "$program" >"$listing"

# An instruction is VEX or EVEX encoded when its mnemonic starts with v (the
# assembler's names for every such instruction; verr and verw are the only
# older ones), or when its first byte after the legacy and REX prefixes is
# c4, c5 (VEX) or 62 (EVEX): always so in 64-bit code, and in 32-bit code
# when the next byte has its top two bits set (else they are les, lds and
# bound).
awk -v mode64="$(grep -c 'file format .*x86-64' "$listing")" '
    function vex(bytes, mnemonic,    b, n, i, op) {
        if (mnemonic ~ /^v/ && mnemonic !~ /^ver[rw]$/) return 1
        n = split(bytes, b, " ")
        for (i = 1; i <= n; i++) {
            op = b[i]
            if (op ~ /^(66|67|f2|f3|2e|36|3e|26|64|65|f0)$/) continue
            if (mode64 > 0 && op ~ /^4[0-9a-f]$/) continue
            break
        }
        if (op !~ /^(c4|c5|62)$/) return 0
        if (mode64 > 0) return 1
        return i < n && b[i + 1] ~ /^[c-f][0-9a-f]$/
    }
    /^[0-9a-f]+ <.*>:$/ { name = $2; functions++; next }
    /^ +[0-9a-f]+:\t/ {
        n = split($0, part, "\t")
        if (n < 3) next  # the rest of a long instruction bytes
        mnemonic = part[3]
        sub(/^ +/, "", mnemonic)
        sub(/[ \t].*/, "", mnemonic)
        if (!vex(part[2], mnemonic)) next
        if (name ~ /avx_/) { inside++; next }
        if (!(name in outside)) order[++count] = name
        outside[name]++
        example[name] = part[3]
    }
    END {
        for (i = 1; i <= count; i++) {
            printf "%d VEX-encoded instructions in %s, e.g. %s\n", outside[order[i]], order[i], example[order[i]]
        }
        if (count > 0) exit 1
        # The check means something only if it saw the functions by name
        # and the AVX sweeps among them.
        if (functions < 20 || inside == 0) {
            printf "no AVX sweeps found by name (%d functions, %d VEX instructions in them): are the symbols stripped?\n", functions, inside
            exit 1
        }
        printf "%d VEX-encoded instructions, all in the AVX sweeps; %d functions\n", inside, functions
    }
' "$listing"
