#!/usr/bin/env bash
# FFTEXT_THREADS on whole runs. The input, 2^20 - 3 samples (about 25 MB,
# generated here, not stored), is large enough for every step to take the
# worker count: the read in pieces, the parse in chunks, the threaded
# transform (N = 2^20) and the writer's rounds. Every setting gives the
# bytes of the run without it; a whole number from 1 to 64 sets how many
# threads the run starts, anything else is ignored (the processor count).
# The threads are counted by a pthread_create wrapper preloaded into the
# program.
#
#   threads.sh PROGRAM
PROGRAM=$1
. "$(dirname "$0")/lib.sh"
export LC_ALL=C

awk 'BEGIN { for (n = 0; n < 1048573; n++) printf "%.3f %.9g\n", n * 0.001, sin(n * 0.37) + (n % 7) * 0.01 }' \
    >"$work/signal.txt"

cat >"$work/count_threads.c" <<'C'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>

static int threads_started;

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*), void* argument) {
    int (*next)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*) =
        (int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*))dlsym(RTLD_NEXT, "pthread_create");
    __atomic_fetch_add(&threads_started, 1, __ATOMIC_RELAXED);
    return next(thread, attributes, start, argument);
}

__attribute__((destructor)) static void report(void) {
    const char* path = getenv("THREAD_COUNT_FILE");
    FILE* file = path != NULL ? fopen(path, "w") : NULL;
    if (file == NULL) return;
    fprintf(file, "%d\n", threads_started);
    fclose(file);
}
C
counting=0
if ${CC:-cc} -shared -fPIC -O1 "$work/count_threads.c" -o "$work/count_threads.so" -ldl 2>"$work/cc.log"; then
    counting=1
else
    echo "note: no C compiler for the thread counter; outputs are compared, threads not counted"
fi

# run_with NAME [SETTING]: one run, FFTEXT_THREADS unset without SETTING;
# output in $work/NAME.out, threads started in THREADS.
run_with() {
    local name=$1
    local -a environment=(env -u FFTEXT_THREADS)
    [ $# -ge 2 ] && environment=(env "FFTEXT_THREADS=$2")
    rm -f "$work/$name.count"
    if [ "$counting" = 1 ]; then
        # A sanitizer runtime must otherwise come first among the preloads.
        environment+=("LD_PRELOAD=$work/count_threads.so" "THREAD_COUNT_FILE=$work/$name.count"
                      "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0")
    fi
    timeout 300 "${environment[@]}" "$PROGRAM" "$work/signal.txt" "$work/$name.out" </dev/null >/dev/null 2>"$work/stderr"
    RC=$?
    MESSAGE=$(cat "$work/stderr")
    THREADS=$(cat "$work/$name.count" 2>/dev/null || echo "?")
}

run_with default
if [ "$RC" != 1 ] || [ -n "$MESSAGE" ]; then
    fail default "exit code $RC, message '$MESSAGE'"
    finish
    exit
fi
default_threads=$THREADS
# The processor count the program sees, kept within 64.
processors=$(getconf _NPROCESSORS_ONLN)
[ "$processors" -gt 64 ] && processors=64

# same_as_default NAME [SETTING]: exit code 1, no message, the default's bytes.
same_as_default() {
    run_with "$@"
    if [ "$RC" != 1 ] || [ -n "$MESSAGE" ]; then fail "$1" "exit code $RC, message '$MESSAGE'"; return 1; fi
    if ! cmp -s "$work/$1.out" "$work/default.out"; then fail "$1" "output differs from the default run's"; return 1; fi
    pass
}

# threads_are NAME WANT: the run started exactly WANT threads.
threads_are() {
    [ "$counting" = 1 ] || return 0
    if [ "$THREADS" = "$2" ]; then pass; else fail "$1" "$THREADS threads started, want $2"; fi
}

same_as_default one 1 && threads_are one 0
same_as_default two 2 && two_threads=$THREADS
same_as_default three 3 && three_threads=$THREADS
same_as_default sixty_four 64
same_as_default processors "$processors" && threads_are processors "$default_threads"
if [ "$counting" = 1 ]; then
    if [ "${two_threads:-0}" -ge 1 ] 2>/dev/null; then pass; else fail two "${two_threads:-?} threads started, want some"; fi
    if [ "${three_threads:-0}" -gt "${two_threads:-0}" ] 2>/dev/null; then pass; else
        fail three "${three_threads:-?} threads started, want more than the ${two_threads:-?} of two workers"
    fi
fi
# Ignored settings: the processor count, as without the variable.
same_as_default zero 0 && threads_are zero "$default_threads"
same_as_default sixty_five 65 && threads_are sixty_five "$default_threads"
same_as_default letters abc && threads_are letters "$default_threads"
same_as_default empty "" && threads_are empty "$default_threads"
same_as_default blank_before " 2" && threads_are blank_before "$default_threads"

finish
