// The machine's processors and the threads that run tasks on them, defined
// by each platform layer. Only the driver (and the benchmarks) asks: it
// decides the run's worker count once and hands the stages a Workers value.
#pragma once

// Runs task(contexts[i]) for i = 0 ... count - 1, on threads of their own
// where possible (the caller's thread takes the first), and returns when all
// are done. Where a thread cannot be started, the caller does its task.
// The run of the program's Workers.
void run_parallel(void (*task)(void*), void* const* contexts, int count);

// The processors available to the run, 1 ... 64.
int processor_count();
