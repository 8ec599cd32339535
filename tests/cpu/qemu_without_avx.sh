#!/usr/bin/env bash
# The SSE2 sweeps, as a processor without AVX runs them: the transform's
# unit tests and whole runs of the program under qemu's user-mode emulation
# of a Nehalem processor (SSE4.2, no AVX), outputs compared with the native
# runs. On a processor with AVX the SSE2 path otherwise runs only where a
# test asks for it; here it is the program's own choice, and an AVX
# instruction anywhere on the way stops the run.
#   qemu_without_avx.sh FFTEXT FFTEXT_TESTS AVX_PROBE
# Only the transform's part of the unit suite runs under the emulator, less
# its two slowest tests: the complex transform alone (every length of it
# also runs inside the real spectrum's test) and the threaded form above
# 2^18 (its lengths up to 2^18 run). The whole suite would take many
# minutes there, and the rest of it has no AVX path.
set -u
fftext=$1
unit_tests=$2
probe=$3
qemu="qemu-x86_64 -cpu Nehalem"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

command -v qemu-x86_64 >/dev/null || { echo "qemu-x86_64 is missing (Debian package qemu-user)"; exit 1; }

# The emulated processor must lack AVX, or nothing below would show anything:
# the probe's AVX instruction stops it (SIGILL: 128 + 4), where an emulated
# processor with AVX runs it.
$qemu "$probe" 2>/dev/null
status=$?
[ "$status" = 132 ] || fail "the AVX probe under -cpu Nehalem exited with $status, not stopped by SIGILL"
qemu-x86_64 -cpu Haswell "$probe" 2>/dev/null || fail "the AVX probe does not run under -cpu Haswell"

# The transform's unit tests: every length and kind against the plain
# reference, the threaded form included; vector_kinds() offers SSE2 alone.
transform_tests='FastTransform.*:BitReverse.*:ComplexFft.SmallLengths:ComplexFft.ImpulseAtOneForFour'
transform_tests+=':RealSpectrum.ExactValues:RealSpectrum.SingleValue:SineTable.*:Arithmetic.*'
transform_tests+='-FastTransform.ComplexFftMatchesReferenceBits:FastTransform.ThreadedLong*'
$qemu "$unit_tests" --gtest_brief=1 --gtest_filter="$transform_tests" ||
    fail "the transform's unit tests under -cpu Nehalem"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# 1000 points (padded to 1024), 10^5 (padded to 2^17, with a warning
# line) and 2^21, from a fixed linear congruential generator.
for count in 1000 100000 2097152; do
    awk -v n="$count" 'BEGIN {
        s = 12345
        for (i = 0; i < n; i++) {
            s = (s * 1103515245 + 12345) % 2147483648
            printf "%.6f %.9f\n", 0.37 + i * 0.001, s / 1073741824 - 1
        }
    }' >"$work/in-$count.txt"
    "$fftext" "$work/in-$count.txt" "$work/native-$count.txt"
    native=$?
    $qemu "$fftext" "$work/in-$count.txt" "$work/emulated-$count.txt"
    emulated=$?
    [ "$native" = 1 ] && [ "$emulated" = 1 ] || fail "$count points: exit codes $native native, $emulated emulated"
    cmp "$work/native-$count.txt" "$work/emulated-$count.txt" || fail "$count points: outputs differ"
done

[ "$failures" = 0 ] && echo "the SSE2 path under -cpu Nehalem: unit tests passed, whole runs identical"
[ "$failures" = 0 ]
