// Workers for tests: a run that starts a real thread for every task but the
// first, whatever the machine has, so that the threaded forms of the stages
// run in parallel even on one core.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>
#else
#include <thread>
#include <vector>
#endif

#include <atomic>

#include "common/workers.h"

#ifdef _WIN32
struct TestThreadTask {
    void (*task)(void*);
    void* context;
};

inline DWORD WINAPI run_test_thread_task(void* argument) {
    const TestThreadTask* work = static_cast<const TestThreadTask*>(argument);
    work->task(work->context);
    return 0;
}

// Threads of the Windows API: the compiler's runtime may have no std::thread.
inline void run_on_test_threads(void (*task)(void*), void* const* contexts, int count) {
    constexpr int kMostThreads = 2 * kMaxWorkers;
    TestThreadTask work[kMostThreads];
    HANDLE threads[kMostThreads] = {};
    if (count > kMostThreads) std::abort();
    for (int i = 1; i < count; ++i) {
        work[i] = TestThreadTask{task, contexts[i]};
        threads[i] = CreateThread(nullptr, 0, run_test_thread_task, &work[i], 0, nullptr);
        if (threads[i] == nullptr) std::abort();
    }
    if (count > 0) task(contexts[0]);
    for (int i = 1; i < count; ++i) {
        WaitForSingleObject(threads[i], INFINITE);
        CloseHandle(threads[i]);
    }
}
#else
inline void run_on_test_threads(void (*task)(void*), void* const* contexts, int count) {
    std::vector<std::thread> threads;
    for (int i = 1; i < count; ++i) threads.emplace_back(task, contexts[i]);
    if (count > 0) task(contexts[0]);
    for (std::thread& thread : threads) thread.join();
}
#endif

// `count` workers (1 ... kMaxWorkers) on threads of their own.
inline Workers test_threads(int count) { return Workers{count, run_on_test_threads}; }

// The widest run (most tasks at once) and the last run started through
// noting_threads workers, for tests that check how a stage used them.
// Reset both before the call that is watched.
inline std::atomic<int> widest_test_run{0};
inline std::atomic<int> last_test_run{0};

inline void run_noting_width(void (*task)(void*), void* const* contexts, int count) {
    int widest = widest_test_run.load();
    while (count > widest && !widest_test_run.compare_exchange_weak(widest, count)) {
    }
    last_test_run = count;
    run_on_test_threads(task, contexts, count);
}

inline void reset_test_runs() {
    widest_test_run = 0;
    last_test_run = 0;
}

// test_threads(count) that notes the width of each run.
inline Workers noting_threads(int count) { return Workers{count, run_noting_width}; }
