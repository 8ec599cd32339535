// The threads a run may use. The driver decides their number once and hands
// this value down; parse, transform and write take it and never ask the
// system how many processors there are.
#pragma once

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
