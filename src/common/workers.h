// The threads a run may use. The driver decides their number once and hands
// this value down; parse, transform and write take it and never ask the
// system how many processors there are.
#pragma once

// Reading the input: a file of this many bytes or more is read (or its
// buffer made present) in pieces on up to kMostReadThreads threads; below it
// one read is quicker than starting threads.
const unsigned kReadThreadBytes = 16u << 20;
const int kMostReadThreads = 8;

// Runs task(contexts[i]) for i = 0 ... count - 1 and returns when all are
// done; the caller's thread takes the first.
typedef void (*ParallelRun)(void (*task)(void*), void* const* contexts, int count);

// The most workers a run takes, whatever the machine or FFTEXT_THREADS says.
const int kMaxWorkers = 64;

struct Workers {
    int count;        // 1 ... kMaxWorkers: how many tasks a stage may run at once
    ParallelRun run;  // starts them
};

// The tasks one after another on the caller's thread.
inline void run_in_turn(void (*task)(void*), void* const* contexts, int count) {
    for (int i = 0; i < count; ++i) task(contexts[i]);
}

// One worker: every stage runs on the caller's thread.
const Workers kOneWorker = {1, run_in_turn};

// The worker count of a run on `processors` processors, given the text of
// FFTEXT_THREADS (nullptr when it is not set). A setting of decimal digits
// alone with a value from 1 to kMaxWorkers ("3", "064") is taken as it
// stands; anything else (unset, empty, "0", "65", "-2", " 4", "4 ", "abc")
// is ignored and the processor count is taken. Either way the result lies
// in 1 ... kMaxWorkers.
int worker_count(const char* setting, int processors);
