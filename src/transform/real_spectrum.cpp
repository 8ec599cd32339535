// real_spectrum on one thread, from its entry to the last pass:
//   1. the origin phase and the rotation's first factor c_1 (real_spectrum_using);
//   2. bit_reverse, then complex_fft (complex_fft.cpp) with the lower bins'
//      recurrences riding along and leaving checkpoints (RideAlong);
//   3. the end values a(0), a(1);
//   4. finish_chunks: the split step and the rotation, chunk by chunk from
//      the top, unfolding each chunk's factors from the checkpoints.
// Long transforms on several threads take parallel_spectrum.cpp instead of
// steps 2 to 4, with the same operations on the same values.
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "common/trig.h"
#include "transform/passes.h"
#include "transform/spectrum_passes.h"
#include "transform/transform.h"
#include "transform/twiddle.h"

// 2*pi as a double; the origin phase is formed from exactly this value.
static const double kTwoPi = 6.283185307179586;

// After the complex transform z of the M = N/2 values (y(2j), y(2j+1)) come
// the split step, which finishes bins j and M - j together from z(j) and
// z(M - j) with the factor w_j of its own recurrence, and the rotation, which
// multiplies bin k by c_k = dx * e^(i*k*phi) from a second recurrence. Both
// depend on nothing but N, x0 and dx, so their values may be made ahead of
// their use. The rotation is the longest chain of dependent operations (M
// steps), so on one thread it never runs alone: its lower half rides along
// complex_fft's sweeps, its upper half the sweep that finishes the bins.

// (a(0), a(1)) <- ((z0 + z1) * dx, (z0 - z1) * dx) for z(0) = (z0, z1): the
// zero-frequency and Nyquist values, scaled but not rotated.
void finish_end_values(double* a, double dx) {
    double z0 = a[0];
    double z1 = a[1];
    a[0] = (z0 + z1) * dx;
    a[1] = (z0 - z1) * dx;
}

uint32_t mark_spacing(uint32_t half) {
    uint32_t spacing = half / kMaxMarks > kMinSpacing ? half / kMaxMarks : kMinSpacing;
    return spacing < half ? spacing : half;
}

namespace {

// Chunk i's unfolding from its checkpoints into the given tables.
Unfolding unfolding_of(const Checkpoints& marks, uint32_t i, double* rotation_chunk, double* split_chunk) {
    Rotation c = {marks.lower[2 * i], marks.lower[2 * i + 1], marks.step.cphi, marks.step.sphi};
    TwiddleRecurrence w = marks.split;
    w.w = _mm_loadu_pd(marks.splits + 2 * i);
    return {c, w, rotation_chunk, split_chunk, 0, marks.spacing};
}

void finish_unfolding(Unfolding& u) {
    while (u.next < u.count) {
        unfold_step(u);
    }
}

// Steps 2 to 4 on one thread, the rotation at c_1.
void one_thread_spectrum(double* a, uint32_t N, Rotation rotation, double dx, Vectors vectors) {
    uint32_t M = N / 2;
    uint32_t half = M / 2;
    double lower[2 * kMaxMarks];
    double splits[2 * kMaxMarks];
    Checkpoints marks = {M, mark_spacing(half), rotation, split_start(N), lower, splits, nullptr};
    RideAlong ride = {&marks, half, rotation};

    bit_reverse(a, M);
    complex_fft_using(a, M, vectors, &ride);
    finish_end_values(a, dx);
    if (half > 0) {
        finish_chunks(a, marks, {0, half / marks.spacing}, ride.rotation, vectors);
    }
}

}  // namespace

// From the top chunk of the range down, so that the upper bins M - j come
// in increasing order and take their factors from the rotation recurrence
// as it runs on. The factors of a chunk's lower bins are unfolded from the
// checkpoints one chunk ahead, side by side with the sweep.
void finish_chunks(double* a, const Checkpoints& marks, Span chunks, Rotation upper, Vectors vectors) {
    uint32_t half = marks.M / 2;
    uint32_t spacing = marks.spacing;
    double rotation_chunk[2][2 * kMaxSpacing];
    double split_chunk[2][2 * kMaxSpacing];
    uint32_t i = static_cast<uint32_t>(chunks.end - 1);
    Unfolding top = unfolding_of(marks, i, rotation_chunk[i % 2], split_chunk[i % 2]);
    finish_unfolding(top);
    if (chunks.end == half / spacing) {
        // The middle bin z(M/2), its own partner in the split step, ends the top chunk.
        double* middle = a + 2 * size_t{half};
        Sse2::store(middle,
                    rotated<Sse2>(Sse2::load(middle), Sse2::load(rotation_chunk[i % 2] + 2 * (spacing - 1))));
    }
    for (;; --i) {
        uint32_t first = 1 + i * spacing;
        uint32_t end = first + spacing < half ? first + spacing : half;
        Unfolding next = Unfolding();
        if (i > chunks.first) {
            next = unfolding_of(marks, i - 1, rotation_chunk[(i + 1) % 2], split_chunk[(i + 1) % 2]);
        }
        PairRange pairs = {marks.M, first, end, first, split_chunk[i % 2], rotation_chunk[i % 2]};
        if (vectors == Vectors::kAvx) {
            avx_split_and_rotate(a, a, pairs, upper, next);
        } else {
            split_and_rotate<Sse2>(a, a, pairs, upper, next);
        }
        if (i == chunks.first) {
            break;
        }
        finish_unfolding(next);
    }
}

void real_spectrum(double* a, uint32_t N, double x0, double dx, const Workers& workers) {
    real_spectrum_using(a, N, x0, dx, best_vectors(), N >= kTransformThreadLength ? workers : kOneWorker);
}

void real_spectrum_using(double* a, uint32_t N, double x0, double dx, Vectors vectors,
                         const Workers& workers) {
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

    if (workers.count > 1 && N / 2 > kBlock) {
        parallel_spectrum(a, N, rotation, dx, vectors, workers);
    } else {
        one_thread_spectrum(a, N, rotation, dx, vectors);
    }
}
