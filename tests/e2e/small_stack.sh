#!/usr/bin/env bash
# Whole runs on small stacks. Under `ulimit -s 256` every thread of the run,
# the main one and those it starts, has 256 KiB of stack (glibc gives new
# threads the limit as their size, where the program does not set one).
# Runs of 2^20 and 2^22 samples on 1, 2 and 64 threads must write the bytes
# of a one-thread run of REFERENCE (default: the program itself) on the
# usual 8 MiB stack: no step keeps large arrays on a stack.
#
# Under FFTEXT_E2E_HOOK (the Windows program under wine) the limit does not
# reach the program, whose threads have the stack size it gives them: there
# the run of 2^22 samples on 64 threads alone, against the native bytes.
#
#   small_stack.sh PROGRAM [REFERENCE]
PROGRAM=$1
REFERENCE=${2:-$1}
. "$(dirname "$0")/lib.sh"
export LC_ALL=C

if [ -n "${FFTEXT_E2E_HOOK:-}" ]; then
    cases="22:64"
else
    cases="20:1 20:2 20:64 22:1 22:2 22:64"
fi

# small_stack_run INPUT OUTPUT THREADS: run_fftext in a subshell under the
# limit; sets RC and MESSAGE.
small_stack_run() {
    (
        [ -n "${FFTEXT_E2E_HOOK:-}" ] || ulimit -s 256
        export FFTEXT_THREADS=$3
        run_fftext "$1" "$2"
        printf '%s' "$MESSAGE" >"$work/message"
        exit "$RC"
    ) 2>/dev/null
    RC=$?
    MESSAGE=$(cat "$work/message" 2>/dev/null)
}

for bits in 20 22; do
    case " $cases " in *" $bits:"*) ;; *) continue ;; esac
    input=$work/signal$bits.txt
    awk -v n=$((1 << bits)) 'BEGIN { for (i = 0; i < n; i++) printf "%.4f %.9g\n", i * 0.0001, sin(i * 0.37) + (i % 7) * 0.01 }' >"$input"
    (ulimit -s 8192 && FFTEXT_THREADS=1 exec "$REFERENCE" "$input" "$work/usual$bits.out") </dev/null >/dev/null 2>&1
    if [ ! -s "$work/usual$bits.out" ]; then
        fail "2^$bits" "no output from $REFERENCE on an 8 MiB stack"
        continue
    fi
    for threads in 1 2 64; do
        case " $cases " in *" $bits:$threads "*) ;; *) continue ;; esac
        name="2^$bits on $threads threads"
        out=$work/small$bits-$threads.out
        small_stack_run "$input" "$out" "$threads"
        if [ "$RC" != 1 ] || [ -n "$MESSAGE" ]; then fail "$name" "exit code $RC, message '$MESSAGE'"; continue; fi
        if ! cmp -s "$out" "$work/usual$bits.out"; then fail "$name" "output differs from the usual run's"; continue; fi
        pass
        rm -f "$out"
    done
done
finish
