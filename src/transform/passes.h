// How the public routines of the transform reach their sweeps, and the
// choice between the SSE2 sweeps and the AVX ones. Internal to
// src/transform; the tests use the *_using forms to run both.
#pragma once

#include <cstddef>
#include <cstdint>

// SSE2 is the baseline of both builds; AVX (without FMA) is used where the
// processor has it. Both give the same bits.
enum class Vectors { kSse2, kAvx };

// Whether the processor has the instructions and the operating system saves
// their registers.
bool processor_has(Vectors vectors);

// kAvx where the processor has it, kSse2 otherwise.
Vectors best_vectors();

// real_spectrum with the given sweeps, which the processor must have.
void real_spectrum_using(double* a, uint32_t N, double x0, double dx, Vectors vectors);

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

// complex_fft with the given sweeps, which the processor must have, and
// `along` run to its end if not null.
void complex_fft_using(double* z, uint32_t M, Vectors vectors, RideAlong* along = nullptr);

// complex_fft does the stages h < kBlock block by block from one table of
// kBlock factors, 4 doubles each (layout in fft_passes.h).
const uint32_t kBlock = 1u << 11;

// real_spectrum produces every factor before the butterflies up to this M
// (see real_spectrum.cpp); its tables take 56 bytes per complex value.
const uint32_t kShortLimit = 1u << 12;

// bit_reverse and complex_fft for 1 <= M <= kShortLimit from `in` to `out`
// (separate arrays), with entries 1 ... M-1 of table as fill_stage_table
// (twiddle.h) writes them.
void gathered_fft(const double* in, double* out, uint32_t M, const double* table, Vectors vectors);

// The factors real_spectrum produces before the butterflies of a short
// transform, with its recurrences side by side (real_spectrum.cpp):
// complex_fft's stages at entries 1 ... M-1 of stage_table (as
// fill_stage_table has them), w_j of the split step at split_table[2j] for
// j = 1 ... M/2 - 1, starting from split = (w_1, alpha, beta), and c_k of
// the rotation at rotation_table[2k] for k = 1 ... M/2 from `rotation` (at
// c_1), which is left at c_{M/2 + 1}.
void fill_short_tables(uint32_t M, const double* split, Rotation& rotation, double* stage_table,
                       double* split_table, double* rotation_table);

// The AVX sweeps (avx_passes.cpp), for at least 4 values: all stages of
// complex_fft (all_stages in fft_passes.h); gathered_fft; the factors of a short
// transform (split = w_1, alpha, beta of the split step); the split step
// and the rotation (split_and_rotate in spectrum_passes.h).
void avx_gathered_stages(const double* in, double* out, uint32_t M, const double* table);
void avx_fill_short_tables(uint32_t M, const double* split, Rotation& rotation, double* stage_table,
                           double* split_table, double* rotation_table);
void avx_all_stages(double* z, size_t M, size_t block, const double* table, RideAlong* along);
void avx_split_and_rotate(const double* z, double* a, uint32_t M, uint32_t first, uint32_t end, uint32_t base,
                          const double* split_table, const double* rotation_table, Rotation& upper,
                          Unfolding& unfolding, bool ahead);
