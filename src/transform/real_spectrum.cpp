#include <emmintrin.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "common/trig.h"
#include "transform/passes.h"
#include "transform/spectrum_passes.h"
#include "transform/transform.h"
#include "transform/twiddle.h"

// 2*pi as a double; the origin phase is formed from exactly this value.
static const double kTwoPi = 6.283185307179586;

// From this length on, real_spectrum uses every worker. With both of
// two cores free the threads gain from 2^19 on, but each of the threaded
// form's five phases waits for its slowest thread, and where another
// program keeps a core busy, the shorter transforms lose more than that.
static const uint32_t kThreadedLength = 1u << 20;

// After the complex transform z of the N/2 values (y(2j), y(2j+1)) come two
// steps: the split step, which finishes bins j and M - j together from z(j)
// and z(M - j) with the factor w_j of its own recurrence, and the rotation,
// which multiplies bin k by c_k = dx * e^(i*k*phi) from a second recurrence.
// Both recurrences depend on nothing but N, x0 and dx, so their values may
// be produced ahead of their use, as long as each runs in its own order.
// The rotation is the longest chain of dependent operations in the whole
// transform (M steps), so on one thread it never runs alone: its lower half
// runs beside complex_fft's recurrences, its upper half beside the sweep
// that finishes the bins. The threaded form gives it a thread of its own.

// w_1 = (alpha + 1, beta).
void split_start(uint32_t N, double* split) {
    uint32_t t = stage_count(N);
    double s = kSineTable[t + 1];
    double alpha = (s * -2.0) * s;
    double beta = kSineTable[t];
    split[0] = alpha + 1.0;
    split[1] = beta;
    split[2] = alpha;
    split[3] = beta;
}

// (a(0), a(1)) <- ((z0 + z1) * dx, (z0 - z1) * dx) for z(0) = (z0, z1): the
// zero-frequency and Nyquist values, scaled but not rotated.
void finish_end_values(const double* z, double* a, double dx) {
    double z0 = z[0];
    double z1 = z[1];
    a[0] = (z0 + z1) * dx;
    a[1] = (z0 - z1) * dx;
}

namespace {

// split_and_rotate (spectrum_passes.h) with the given sweeps, and
// `unfolding` (if not null) stepped along.
void finish_pairs(const double* z, double* a, uint32_t M, uint32_t first, uint32_t end, uint32_t base,
                  const double* split_table, const double* rotation_table, Rotation& upper,
                  Unfolding* unfolding, bool ahead, Vectors vectors) {
    if (end <= first) {
        return;
    }
    Unfolding idle = Unfolding();
    Unfolding& u = unfolding != nullptr ? *unfolding : idle;
    if (vectors == Vectors::kAvx) {
        avx_split_and_rotate(z, a, M, first, end, base, split_table, rotation_table, upper, u, ahead);
    } else {
        split_and_rotate<Sse2>(z, a, M, first, end, base, split_table, rotation_table, upper, u, ahead);
    }
}

// A transform of M <= kShortLimit complex values. The butterflies run on a
// copy, their first sweep reading its inputs from their bit-reversed
// places, which spares the permutation a sweep of its own; the factors of
// complex_fft, of the split step and c_1 ... c_{M/2} of the rotation are
// written into tables as the butterflies go (short_fft). Last, one sweep
// does the split step and the rotation back into the array, from the top
// pair down so that the upper bins M - j come in increasing order and take
// their factors from the rotation recurrence as it runs on.
void short_spectrum(double* a, uint32_t N, Rotation rotation, double dx, Vectors vectors) {
    uint32_t M = N / 2;
    uint32_t half = M / 2;
    // On cache-line boundaries, so that no 32-byte access straddles two.
    alignas(64) double stage_table[4 * kShortLimit];
    alignas(64) double split_table[kShortLimit];         // w_j at 2j, j = 1 ... M/2 - 1
    alignas(64) double rotation_table[kShortLimit + 2];  // c_k at 2k, k = 1 ... M/2
    alignas(64) double z[2 * kShortLimit];               // the complex transform

    double split[4];
    split_start(N, split);
    short_fft(a, z, M, split, rotation, {stage_table, split_table, rotation_table}, vectors);

    finish_end_values(z, a, dx);
    finish_pairs(z, a, M, 1, half, 0, split_table, rotation_table, rotation, nullptr, false, vectors);
    // The middle bin z(M/2) is its own partner in the split step; N = 2 has
    // no bins at all.
    if (half > 0) {
        __m128d middle = Sse2::load(z + 2 * half);
        Sse2::store(a + 2 * half, rotated<Sse2>(middle, Sse2::load(rotation_table + 2 * half)));
    }
}

// The unfolding of chunk i (see finish_chunks) from its marks.
Unfolding unfolding_of(uint32_t i, const LowerMarks& marks, double* rotation_chunk, double* split_chunk) {
    Unfolding u;
    u.rotation = {marks.rotation[2 * i], marks.rotation[2 * i + 1], marks.cphi, marks.sphi};
    u.split[0] = marks.split[2 * i];
    u.split[1] = marks.split[2 * i + 1];
    u.split[2] = marks.alpha;
    u.split[3] = marks.beta;
    u.rotation_chunk = rotation_chunk;
    u.split_chunk = split_chunk;
    u.next = 0;
    u.count = marks.spacing;
    return u;
}

void finish_unfolding(Unfolding& u) {
    Unfold unfold = start_unfold(u);
    while (unfold.next < unfold.count) {
        unfold.step();
    }
    stop_unfold(unfold, u);
}

// A long transform. bit_reverse and complex_fft, with the rotation and the
// split step's recurrences for the lower bins k = 1 ... M/2 riding along in
// complex_fft's sweeps over the large stages and leaving marks every
// `spacing` steps. Then finish_chunks, with the rotation running on from
// c_{M/2 + 1} for the upper bins.
void long_spectrum(double* a, uint32_t N, Rotation rotation, double dx, Vectors vectors) {
    uint32_t M = N / 2;
    uint32_t half = M / 2;
    uint32_t spacing = mark_spacing(half);
    double rotation_marks[2 * kMaxMarks];
    double split_marks[2 * kMaxMarks];
    RideAlong ride = {rotation, {}, half, spacing, rotation_marks, split_marks};
    split_start(N, ride.split);

    bit_reverse(a, M);
    complex_fft_using(a, M, vectors, &ride);
    finish_end_values(a, a, dx);

    LowerMarks marks = {rotation_marks, split_marks,   spacing,      rotation.cphi,
                        rotation.sphi,  ride.split[2], ride.split[3]};
    finish_chunks(a, M, 0, half / spacing, marks, ride.rotation, vectors);
}

}  // namespace

uint32_t mark_spacing(uint32_t half) {
    return half / kMaxMarks > kMinSpacing ? half / kMaxMarks : kMinSpacing;
}

// From the top chunk of the range down, so that the upper bins M - j come
// in increasing order and take their factors from the rotation recurrence
// as it runs on. The factors of a chunk's lower bins are unfolded from the
// marks one chunk ahead, side by side with the sweep.
void finish_chunks(double* a, uint32_t M, uint32_t first_chunk, uint32_t end_chunk, const LowerMarks& marks,
                   Rotation upper, Vectors vectors) {
    uint32_t half = M / 2;
    uint32_t spacing = marks.spacing;
    double rotation_chunk[2][2 * kMaxSpacing];
    double split_chunk[2][2 * kMaxSpacing];
    uint32_t i = end_chunk - 1;
    Unfolding top = unfolding_of(i, marks, rotation_chunk[i % 2], split_chunk[i % 2]);
    finish_unfolding(top);
    if (end_chunk == half / spacing) {
        // The middle bin z(M/2), its own partner in the split step, ends the top chunk.
        double* middle = a + 2 * size_t{half};
        Sse2::store(middle,
                    rotated<Sse2>(Sse2::load(middle), Sse2::load(rotation_chunk[i % 2] + 2 * (spacing - 1))));
    }
    for (;; --i) {
        uint32_t first = 1 + i * spacing;
        uint32_t end = first + spacing < half ? first + spacing : half;
        Unfolding next = Unfolding();
        if (i > first_chunk) {
            next = unfolding_of(i - 1, marks, rotation_chunk[(i + 1) % 2], split_chunk[(i + 1) % 2]);
        }
        finish_pairs(a, a, M, first, end, first, split_chunk[i % 2], rotation_chunk[i % 2], upper, &next,
                     true, vectors);
        if (i == first_chunk) {
            break;
        }
        finish_unfolding(next);
    }
}

void real_spectrum(double* a, uint32_t N, double x0, double dx, const Workers& workers) {
    real_spectrum_using(a, N, x0, dx, best_vectors(), N >= kThreadedLength ? workers : kOneWorker);
}

void real_spectrum_using(double* a, uint32_t N, double x0, double dx, Vectors vectors,
                         const Workers& threads) {
    // A single value is its own zero-frequency sum; there is no Nyquist slot.
    if (N < 2) {
        if (N == 1) {
            a[0] = a[0] * dx;
        }
        return;
    }
    // Both products are formed before the division; N converts as unsigned.
    double phi = (x0 * kTwoPi) / (static_cast<double>(N) * dx);
    double sphi;
    double cphi;
    portable_sincos(phi, &sphi, &cphi);
    Rotation rotation = {cphi * dx, sphi * dx, cphi, sphi};

    if (N / 2 <= kShortLimit) {
        short_spectrum(a, N, rotation, dx, vectors);
    } else if (threads.count > 1) {
        parallel_long_spectrum(a, N, rotation, dx, vectors, threads);
    } else {
        long_spectrum(a, N, rotation, dx, vectors);
    }
}
