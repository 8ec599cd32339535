// How the public routines of the transform reach their sweeps, and the
// choice between the SSE2 sweeps and the AVX ones. Internal to
// src/transform; the tests use the *_using forms to run both.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transform/transform.h"

// SSE2 is the baseline of both builds; AVX (without FMA) is used where the
// processor has it. Both give the same bits.
enum class Vectors { kSse2, kAvx };

// Whether the processor has the instructions and the operating system saves
// their registers.
bool processor_has(Vectors vectors);

// kAvx where the processor has it, kSse2 otherwise.
Vectors best_vectors();

// real_spectrum with the given sweeps, which the processor must have, on
// up to threads.count threads: a long transform (N/2 > kShortLimit) with
// threads.count > 1 takes the threaded form (parallel_spectrum.cpp), whatever
// its length; the result is the same bits either way.
void real_spectrum_using(double* a, uint32_t N, double x0, double dx, Vectors vectors,
                         const Workers& threads);

// The rotation recurrence of real_spectrum: c_k = (cr, ci) for the next
// bin k, and the step e^(i*phi) = (cphi, sphi).
struct Rotation {
    double cr;
    double ci;
    double cphi;
    double sphi;
};

// Two recurrences of real_spectrum that complex_fft runs alongside its own
// in the sweeps over the large stages, whose chains of dependent operations
// leave the processor room for more: the rotation from c_1 and the split
// step's from w_1 (split = w_1, alpha, beta), `steps` steps each. Every
// `spacing` steps, from the first on, they leave a copy of their state at
// rotation_marks (cr, ci) and split_marks (wr, wi), two doubles apart.
// Afterwards `rotation` is at c_{1 + steps}.
struct RideAlong {
    Rotation rotation;
    double split[4];
    uint32_t steps;
    uint32_t spacing;
    double* rotation_marks;
    double* split_marks;
};

// The recurrences of a long transform's lower bins, unfolded from their
// marks into the next chunk's tables while the final sweep finishes a
// chunk (real_spectrum.cpp): c_t at rotation_chunk[2t] and w_t at
// split_chunk[2t] for t = next ... count - 1, from `rotation` and
// split = (w, alpha, beta).
struct Unfolding {
    Rotation rotation;
    double split[4];
    double* rotation_chunk;
    double* split_chunk;
    uint32_t next;
    uint32_t count;
};

// A long transform (real_spectrum.cpp) marks the rotation and split
// recurrences of its lower bins k = 1 ... M/2 every mark_spacing(M/2)
// steps, a power of two from kMinSpacing to kMaxSpacing that divides M/2,
// at most kMaxMarks times, and finishes the bins in chunks of that many:
// chunk i holds the pairs j = 1 + i*spacing ... (i+1)*spacing, below M/2.
const uint32_t kMinSpacing = 64;
const uint32_t kMaxSpacing = 4096;
const uint32_t kMaxMarks = 4096;
static_assert(uint64_t{kMaxMarks} * kMaxSpacing >= kMaxLength / 4,
              "the marks must cover the lower bins of the longest transform");
uint32_t mark_spacing(uint32_t half);

// The marks of a long transform: c_{1 + i*spacing} at rotation[2i] and
// w_{1 + i*spacing} at split[2i], and the constant parts of the two
// recurrences.
struct LowerMarks {
    const double* rotation;
    const double* split;
    uint32_t spacing;
    double cphi;
    double sphi;
    double alpha;
    double beta;
};

// The split step and the rotation of a long transform of M complex values,
// in place, for the chunks first_chunk ... end_chunk - 1, `upper` at
// c_{M - j} of the top pair j of the range. The top chunk of all also
// finishes the middle bin z(M/2).
void finish_chunks(double* a, uint32_t M, uint32_t first_chunk, uint32_t end_chunk, const LowerMarks& marks,
                   Rotation upper, Vectors vectors);

// The split step's recurrence for the length N at its first value:
// split = (wr, wi, alpha, beta) with w_1 = e^(2*pi*i/N).
void split_start(uint32_t N, double* split);

// a(0) and a(1) of the spectrum from z(0) of the complex transform.
void finish_end_values(const double* z, double* a, double dx);

// The long transform on up to threads.count threads (parallel_spectrum.cpp),
// the rotation at c_1.
void parallel_long_spectrum(double* a, uint32_t N, Rotation rotation, double dx, Vectors vectors,
                            const Workers& threads);

// complex_fft with the given sweeps, which the processor must have, and
// `along` run to its end if not null.
void complex_fft_using(double* z, uint32_t M, Vectors vectors, RideAlong* along = nullptr);

// complex_fft does the stages h < kBlock block by block from one table of
// kBlock factors, 4 doubles each (layout in fft_passes.h).
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

// Factors the sweeps produce at a time, per recurrence.
const size_t kChunk = 128;

// The most sweeps a transform of at most kMaxLength / 2 values makes.
const uint32_t kMostSweeps = 5;

// The sweeps of a transform of M values over its stages h = block ... M/2,
// up to three stages each, spread evenly, the shorter ones last (the last
// sweep's recurrences have the longest way to their offsets). Returns
// their count; none for M <= block.
uint32_t plan_sweeps(size_t M, size_t block, Sweep* plan);

// complex_fft of M > kBlock values in parts for threads, the same
// butterflies with the same factors: all stages before the last sweep on
// the values [first, end), a whole number of the last sweep's h; then the
// last sweep for its offsets [j_first, j_end), multiples of kChunk, its
// recurrences starting from `starts` (offset_sweep in fft_passes.h).
void region_stages_using(double* z, uint32_t M, size_t first, size_t end, Vectors vectors);
void offset_sweep_using(double* z, uint32_t M, const double* starts, size_t j_first, size_t j_end,
                        Vectors vectors);

// bit_reverse's share `part` of `parts` (part < parts): all parts, in any
// order or at once, make the permutation.
void bit_reverse_part(double* z, uint32_t M, uint32_t part, uint32_t parts);

// real_spectrum produces every factor before the butterflies up to this M
// (see real_spectrum.cpp); its tables take 56 bytes per complex value.
const uint32_t kShortLimit = 1u << 12;

// The tables of a short transform: complex_fft's stages at entries
// 1 ... M-1 of `stage` (as fill_stage_table in twiddle.h has them), w_j of
// the split step at split[2j] for j = 1 ... M/2 - 1 and c_k of the rotation
// at rotation[2k] for k = 1 ... M/2.
struct ShortTables {
    double* stage;
    double* split;
    double* rotation;
};

// bit_reverse and complex_fft for 1 <= M <= kShortLimit from `in` to `out`
// (separate arrays), writing the tables as it goes, from split = (w_1,
// alpha, beta) of the split step and `rotation` at c_1, which is left at
// c_{M/2 + 1} (none for M = 1).
void short_fft(const double* in, double* out, uint32_t M, const double* split, Rotation& rotation,
               ShortTables tables, Vectors vectors);

// The AVX sweeps (avx_passes.cpp), for at least 4 values: all stages of
// complex_fft (all_stages in fft_passes.h) and its parts for threads
// (region_stages, offset_sweep); short_fft; the split step and the
// rotation (split_and_rotate in spectrum_passes.h).
void avx_short_fft(const double* in, double* out, uint32_t M, const double* split, Rotation& rotation,
                   ShortTables tables);
void avx_all_stages(double* z, size_t M, size_t block, const double* table, RideAlong* along);
void avx_region_stages(double* z, size_t M, size_t first, size_t end, const double* table);
void avx_offset_sweep(double* z, size_t M, const double* starts, size_t j_first, size_t j_end);
void avx_split_and_rotate(const double* z, double* a, uint32_t M, uint32_t first, uint32_t end, uint32_t base,
                          const double* split_table, const double* rotation_table, Rotation& upper,
                          Unfolding& unfolding, bool ahead);
