// What the files of src/transform share: declarations and plain structs
// only, so that avx_passes.cpp, compiled for AVX, and the SSE2 files may
// both include it without sharing any code. The tests use the *_using forms
// to run both vector paths.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "common/workers.h"
#include "transform/transform.h"

// SSE2 is the baseline of both builds; AVX (without FMA) is used where the
// processor has it. Both give the same bits.
enum class Vectors { kSse2, kAvx };

// Whether the processor and the operating system support the instructions;
// best_vectors() is kAvx where they do, kSse2 otherwise.
bool processor_has(Vectors vectors);
Vectors best_vectors();

// real_spectrum with the given sweeps, which the processor must have. With
// more than one worker a transform of more than kBlock complex values takes
// the threaded form (parallel_spectrum.cpp), whatever its length.
void real_spectrum_using(double* a, uint32_t N, double x0, double dx, Vectors vectors,
                         const Workers& workers);

// complex_fft with the given sweeps, and `along` (if not null) run to its end.
struct RideAlong;
void complex_fft_using(double* z, uint32_t M, Vectors vectors, RideAlong* along = nullptr);

// Indices [first, end).
struct Span {
    size_t first;
    size_t end;
};

// The rotation recurrence of real_spectrum: c_k = (cr, ci) for the next
// bin k, and the step e^(i*phi) = (cphi, sphi).
struct Rotation {
    double cr;
    double ci;
    double cphi;
    double sphi;
};

// A twiddle recurrence (next_twiddle in twiddle.h): w = [wr, wi],
// alpha2 = [alpha, alpha], beta2 = [-beta, beta]. The split step's
// recurrence is one too, at w_j for the next pair j.
struct TwiddleRecurrence {
    __m128d w;
    __m128d alpha2;
    __m128d beta2;
};

// ---------------------------------------------------------------------------
// The checkpoints of the two recurrences of the final sweep
//
// The final sweep finishes the pairs j, M - j in chunks of `spacing` pairs,
// chunk i holding j = 1 + i*spacing ... (i+1)*spacing, below M/2, from the
// top chunk down. A chunk starts from c_j and w_j of its lowest pair and, for
// its upper bins M - j, from c_{M - j} of its top pair: the checkpoints.
const uint32_t kMinSpacing = 64;
const uint32_t kMaxSpacing = 4096;
const uint32_t kMaxMarks = 4096;
static_assert(uint64_t{kMaxMarks} * kMaxSpacing >= kMaxLength / 4,
              "the checkpoints must cover the lower bins of the longest transform");

// A power of two that divides half = M/2: half / kMaxMarks within
// kMinSpacing ... kMaxSpacing, or half itself when that is smaller.
uint32_t mark_spacing(uint32_t half);

struct Checkpoints {
    uint32_t M;
    uint32_t spacing;
    Rotation step;            // the rotation at c_1
    TwiddleRecurrence split;  // the split step at w_1
    double* lower;            // c_{1 + i*spacing} at 2i
    double* splits;           // w_{1 + i*spacing} at 2i
    double* upper;            // c_{M - j} of the top pair j of chunk i at 2i (threaded form only)
};

// The two recurrences from c_1 and w_1, `steps` steps each, leaving the
// checkpoints they pass in `marks` (Riding in twiddle.h); afterwards
// `rotation` is at c_{1 + steps}.
struct RideAlong {
    const Checkpoints* marks;
    uint32_t steps;
    Rotation rotation;
};

// The split step and the rotation for the chunks `chunks` (of
// half / spacing), in place, the factors unfolded into room `worker`;
// `upper` is at c_{M - j} of the top pair j of the range. The top chunk of
// all also finishes the middle bin z(M/2).
void finish_chunks(double* a, const Checkpoints& marks, Span chunks, Rotation upper, Vectors vectors,
                   uint32_t worker);

// a(0) and a(1) of the spectrum from z(0) of the complex transform.
void finish_end_values(double* a, double dx);

// The transform on workers.count threads (parallel_spectrum.cpp), the
// rotation at c_1; M = N/2 > kBlock.
void parallel_spectrum(double* a, uint32_t N, Rotation rotation, double dx, Vectors vectors,
                       const Workers& workers);

// ---------------------------------------------------------------------------
// complex_fft's plan

// complex_fft does the stages h < kBlock block by block from one table.
const uint32_t kBlock = 1u << 11;

// The most stages one sweep over memory does: stages h, 2h and 4h, whose
// factors come from 1 + 2 + 4 recurrences. Four stages at once would save
// sweeps, but their 16 values and 15 tables no longer fit the registers
// and the L1 cache, and such a sweep is slower than two of these.
const uint32_t kMaxSpan = 3;
const uint32_t kMaxStreams = (1u << kMaxSpan) - 1;

// One sweep of complex_fft over its large stages: the stages h, 2h, ...
// 2^(span-1) h, the first of length 2h = 2^t.
struct Sweep {
    size_t h;
    uint32_t span;
    uint32_t t;
};

const size_t kChunk = 128;       // factors a sweep makes at a time, per recurrence
const uint32_t kMostSweeps = 5;  // of a transform of at most kMaxLength / 2 values

// The sweeps of a transform of M values over its stages h = block ... M/2,
// up to three stages each, spread evenly, the shorter ones last (the last
// sweep's recurrences have the longest way to their offsets). Returns
// their count; none for M <= block.
uint32_t plan_sweeps(size_t M, size_t block, Sweep* plan);

// complex_fft on the values `region`: all stages (`last`), or, for threads
// and M > kBlock, the stages before the last sweep on a whole number of the
// last sweep's h, so that every butterfly of those stages has both its
// values inside; each region starts the recurrences from their beginning.
// Then the last sweep for its offsets `offsets`, multiples of kChunk, its
// recurrences starting from `starts` (offset_sweep in fft_passes.h).
// Both fill the tables of room `worker`.
void stages_using(double* z, uint32_t M, Span region, bool last, Vectors vectors, RideAlong* along,
                  uint32_t worker);
void offset_sweep_using(double* z, uint32_t M, const double* starts, Span offsets, Vectors vectors,
                        uint32_t worker);

// bit_reverse's share `part` of `parts`, in room part % kMostTransformThreads:
// all parts, in any order, make the permutation; at once where there are at
// most kMostTransformThreads.
void bit_reverse_part(double* z, uint32_t M, uint32_t part, uint32_t parts);

// ---------------------------------------------------------------------------
// The AVX sweeps (avx_passes.cpp, the one file compiled for AVX), for at
// least 4 values. Every function compiled there has a name that starts with
// avx_ or lies in the namespace avx_code; a test of the built program holds
// it to that.
union WorkerRoom;
void avx_stages(double* z, size_t M, Span region, bool last, WorkerRoom& room, RideAlong* along);
void avx_offset_sweep(double* z, size_t M, const double* starts, Span offsets, WorkerRoom& room);

// The pairs j, M - j with first <= j < end of the final sweep, from the
// transform z to the spectrum a (the same array or another): w_j at
// split[2(j - base)] and c_j at rotation[2(j - base)].
struct PairRange {
    uint32_t M;
    uint32_t first;
    uint32_t end;
    uint32_t base;
    const double* split;
    const double* rotation;
};

// The recurrences of a chunk's lower bins, unfolded from their checkpoints
// while the final sweep finishes the chunk above: c_t at rotation_chunk[2t]
// and w_t at split_chunk[2t] for t = next ... count - 1.
struct Unfolding {
    Rotation c;
    TwiddleRecurrence w;
    double* rotation_chunk;
    double* split_chunk;
    uint32_t next;
    uint32_t count;
};

void avx_split_and_rotate(const double* z, double* a, const PairRange& pairs, Rotation& upper,
                          Unfolding& unfolding);

// ---------------------------------------------------------------------------
// The workers' rooms
//
// The tables a worker of the transform fills lie in static storage, one room
// for each worker, never on its thread's stack, so that the transform needs
// little stack on any thread and has no allocation that could fail. The
// phases of a run use a room one after another, so their tables share it.
// One transform runs at a time in a process.

// kMostTransformThreads (workers.h): the most threads one transform runs at once.

// bit_reverse's tiles: 2^kTileBits rows of as many values.
const uint32_t kTileBits = 6;
const uint32_t kTile = 1u << kTileBits;

union alignas(64) WorkerRoom {
    struct {
        double tile[2 * kTile * kTile];
        double partner[2 * kTile * kTile];
    } permute;  // bit_reverse_part
    struct {
        double table[4 * kBlock];
        double chunks[kMaxStreams][kChunk * 4];
    } stages;  // stages_using, offset_sweep_using: the block table, a sweep's factors
    struct {
        double rotation[2][2 * kMaxSpacing];
        double split[2][2 * kMaxSpacing];
    } finish;  // finish_chunks: the unfolded factors of two chunks
};

// Room `worker`, 0 ... kMostTransformThreads - 1; the single-thread form
// takes room 0.
WorkerRoom& worker_room(uint32_t worker);
