// The threads a run may use. The driver decides their number once and hands
// this value down; parse, transform and write take it and never ask the
// system how many processors there are.
#pragma once

#include <cstdint>

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

// ---------------------------------------------------------------------------
// The threads of each step. A step runs on one thread below its threshold,
// and above it on the worker count up to its ceiling, for these reasons:
//
// Read (the platform layers): from 16 MiB on, a file is copied out of the
// page cache (Linux) or its buffer's pages are faulted in (Windows) in up to
// 8 parts. Below, starting threads costs more than it saves; the copy is
// bound by the memory's bandwidth, which a few cores already take.
constexpr uint32_t kReadThreadBytes = 16u << 20;
constexpr int kMostReadThreads = 8;

// Parse: from 1 MiB of text on, in chunks of at least 512 KiB, one per
// worker, on every worker: the chunks are independent and parsing is bound
// by the processor, so each core gains.
constexpr uint32_t kParseThreadBytes = 1u << 20;
constexpr uint32_t kLeastParseChunkBytes = 1u << 19;
constexpr int kMostParseThreads = kMaxWorkers;

// Transform: from N = 2^20 on, up to 16 workers, and one more thread that
// runs the recurrences beside the first phases. With both of two cores free
// the threads gain from 2^19 on, but each phase waits for its slowest thread,
// and where another program keeps a core busy the shorter transforms lose
// more than that. More than 16 would only contend for the memory bus.
constexpr uint32_t kTransformThreadLength = 1u << 20;
constexpr int kMostTransformThreads = 16;

// Write: from 32768 rows on (two of the one-thread writer's blocks), up to
// 8 threads: one writes each round of rows while the others format the next,
// and a round's room stays 4 MiB however many there are, so more threads
// would only share the same blocks.
constexpr uint32_t kWriteThreadRows = 1u << 15;
constexpr int kMostWriteThreads = 8;
