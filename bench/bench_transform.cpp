// Speed of the real-input spectrum on one thread against FFTW's
// real-to-complex transform (planned with FFTW_ESTIMATE, as a program that
// transforms once would, on one thread too) and against the straightforward
// reference, for N = 2^10 ... 2^24. The SSE2 sweeps alone (what a processor
// without AVX runs) and the public routine, threaded from 2^20 on, are
// timed as well.
//
// Every iteration copies the same input into the working array first, for
// all three, since real_spectrum works in place. From 2^16 on the copy is
// left out of the time (at 2^24 it takes 20 ms, a seventh of the transform,
// and would make the large sizes look worse per N log2 N than they are);
// below, where pausing the clock would cost more than the copy, it is
// timed with the transform. Every working array starts on a cache line, as
// FFTW's own allocation and the program's page-aligned sample block do. The counter per_NlogN is
// the time divided by N * log2(N): flat across sizes means no cliff when the
// data leave the caches.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "os/os.h"
#include "support/reference_transform.h"
#include "transform/passes.h"
#include "transform/transform.h"

namespace {

std::vector<double> random_input(uint32_t N) {
    std::mt19937_64 rng(N);
    std::vector<double> y(N);
    for (double& v : y) {
        v = static_cast<double>(rng() >> 11) * 0x1p-52 - 1.0;
    }
    return y;
}

// N doubles on a 64-byte boundary.
struct AlignedArray {
    explicit AlignedArray(uint32_t N)
        : values(static_cast<double*>(std::aligned_alloc(64, (N * sizeof(double) + 63) / 64 * 64))) {}
    ~AlignedArray() { std::free(values); }
    AlignedArray(const AlignedArray&) = delete;
    AlignedArray& operator=(const AlignedArray&) = delete;
    double* data() { return values; }
    double* values;
};

// The copy of the input before each transform (see above).
void copy_input(benchmark::State& state, double* to, const std::vector<double>& input) {
    const bool untimed = input.size() >= (1u << 16);
    if (untimed) {
        state.PauseTiming();
    }
    std::memcpy(to, input.data(), input.size() * sizeof(double));
    if (untimed) {
        state.ResumeTiming();
    }
}

void set_counters(benchmark::State& state, uint32_t N) {
    int log2n = 0;
    while ((1u << log2n) < N) {
        ++log2n;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * N);
    // An inverted rate: seconds / (iterations * N log2 N).
    state.counters["per_NlogN"] =
        benchmark::Counter(static_cast<double>(N) * log2n,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Times `transform(a, N)` on a fresh copy of the input in each iteration.
template <class Transform>
void time_in_place(benchmark::State& state, Transform transform) {
    uint32_t N = static_cast<uint32_t>(state.range(0));
    std::vector<double> input = random_input(N);
    AlignedArray a(N);
    for (auto _ : state) {
        copy_input(state, a.data(), input);
        transform(a.data(), N);
        benchmark::DoNotOptimize(a.data());
        benchmark::ClobberMemory();
    }
    set_counters(state, N);
}

void BM_real_spectrum(benchmark::State& state) {
    Vectors vectors = best_vectors();
    time_in_place(state, [vectors](double* a, uint32_t N) {
        real_spectrum_using(a, N, 0.125, 0.001, vectors, kOneWorker);
    });
}

// The public routine, which uses every processor from its threshold on.
// Timed by the clock on the wall: the CPU time of the calling thread
// would leave out the others.
void BM_real_spectrum_parallel(benchmark::State& state) {
    const Workers workers = {processor_count(), run_parallel};
    time_in_place(state, [workers](double* a, uint32_t N) { real_spectrum(a, N, 0.125, 0.001, workers); });
}

void BM_real_spectrum_sse2(benchmark::State& state) {
    time_in_place(state, [](double* a, uint32_t N) {
        real_spectrum_using(a, N, 0.125, 0.001, Vectors::kSse2, kOneWorker);
    });
}

void BM_reference(benchmark::State& state) {
    time_in_place(state, [](double* a, uint32_t N) { reference_real_spectrum(a, N, 0.125, 0.001); });
}

void BM_fftw_r2c_estimate(benchmark::State& state) {
    uint32_t N = static_cast<uint32_t>(state.range(0));
    std::vector<double> input = random_input(N);
    double* in = fftw_alloc_real(N);
    fftw_complex* out = fftw_alloc_complex(N / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(N), in, out, FFTW_ESTIMATE);
    for (auto _ : state) {
        copy_input(state, in, input);
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
    set_counters(state, N);
}

}  // namespace

BENCHMARK(BM_real_spectrum)->RangeMultiplier(2)->Range(1 << 10, 1 << 24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_real_spectrum_parallel)
    ->RangeMultiplier(2)
    ->Range(1 << 16, 1 << 24)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(BM_fftw_r2c_estimate)->RangeMultiplier(2)->Range(1 << 10, 1 << 24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_real_spectrum_sse2)->RangeMultiplier(2)->Range(1 << 10, 1 << 24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_reference)->RangeMultiplier(2)->Range(1 << 10, 1 << 24)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
