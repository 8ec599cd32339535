// The twiddle recurrences of complex_fft and real_spectrum. Every value a
// recurrence hands out is the same double, bit for bit, as the step-by-step
// loop of the straightforward transform gives: each step keeps its
// operations and their grouping, wherever and in whatever chunks it runs.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "transform/passes.h"
#include "transform/sweeps_namespace.h"
#include "transform/transform.h"

SWEEPS_BEGIN

// log2 of a power of two.
inline uint32_t stage_count(size_t size) { return static_cast<uint32_t>(__builtin_ctzll(size)); }

// alpha = cos(2*pi/L) - 1 by the half-angle form, without cancellation.
inline TwiddleRecurrence stage_recurrence(uint32_t t) {
    double s = kSineTable[t + 1];
    double alpha = (s * -2.0) * s;
    double beta = kSineTable[t];
    return {_mm_set_pd(0.0, 1.0), _mm_set1_pd(alpha), _mm_set_pd(beta, -beta)};
}

// w <- w + ((w*alpha) - (wi*beta), ...) for the stage of length L = 2^t:
//   wr + ((wr*alpha) + (wi*(-beta))) = wr + ((wr*alpha) - (wi*beta))
//   wi + ((wi*alpha) + (wr*beta))    = wi + ((wr*beta) + (wi*alpha))
// since the negation of the constant is exact and a sum of two terms does not
// depend on their order.
inline __m128d next_twiddle(__m128d w, __m128d alpha2, __m128d beta2) {
    __m128d swapped = _mm_shuffle_pd(w, w, 1);
    return _mm_add_pd(w, _mm_add_pd(_mm_mul_pd(w, alpha2), _mm_mul_pd(swapped, beta2)));
}

// c_k -> c_{k+1} of the rotation recurrence; both lines use the old cr.
// Kept in scalars: the step is the longest chain of dependent operations in
// the whole transform, and a scalar step is the shortest way through it.
inline void next_rotation(Rotation& r) {
    double old_cr = r.cr;
    r.cr = (old_cr * r.cphi) - (r.ci * r.sphi);
    r.ci = (r.ci * r.cphi) + (old_cr * r.sphi);
}

// Twiddle tables hold each factor w_j = (wr, wi) as the butterflies use it,
// [wr, wr] and [-wi, wi], in blocks of two factors:
//   doubles 8k ... 8k+3:   wr(2k), wr(2k), wr(2k+1), wr(2k+1)
//   doubles 8k+4 ... 8k+7: -wi(2k), wi(2k), -wi(2k+1), wi(2k+1)
// so that a vector of one or two complex values finds the factors of as
// many neighbours in one load each.
const size_t kFactorIm = 4;

inline size_t factor_offset(size_t j) { return (j >> 1) * 8 + (j & 1) * 2; }

// Stores w = [wr, wi] as entry j of a table. The factors of a recurrence
// are finite, so -wi is exact.
inline void put_twiddle(double* table, size_t j, __m128d w) {
    double* entry = table + factor_offset(j);
    _mm_storeu_pd(entry, _mm_unpacklo_pd(w, w));
    _mm_storeu_pd(entry + kFactorIm, _mm_mul_pd(_mm_unpackhi_pd(w, w), _mm_set_pd(1.0, -1.0)));
}

// The split step's recurrence for the length N at w_1 = e^(2*pi*i/N): one
// step from w_0 = (1, 0) gives exactly (alpha + 1, beta).
inline TwiddleRecurrence split_start(uint32_t N) {
    TwiddleRecurrence s = stage_recurrence(stage_count(N));
    s.w = next_twiddle(s.w, s.alpha2, s.beta2);
    return s;
}

// The one routine that makes the checkpoints (passes.h): the rotation from
// c_1 and the split step from w_1, one step of each per call while steps
// are left, leaving c_k (and w_k) wherever a checkpoint falls:
// k = 1, 1 + spacing, ... up to M/2 (lower and splits), then M/2 + 1 and
// M/2 + spacing, M/2 + 2 spacing, ... below M (upper). The split step's
// values past M/2 are not used. Loops copy it into a variable of their own,
// so that it lives in registers there.
struct Riding {
    Rotation c;           // c_k
    TwiddleRecurrence w;  // w_k
    uint32_t left;
    uint32_t until_mark;  // steps to the next checkpoint, at k = next_mark
    uint32_t next_mark;
    const Checkpoints* marks;

    __attribute__((always_inline)) void step() {
        if (left == 0) {
            return;
        }
        if (__builtin_expect(until_mark == 0, 0)) {
            leave_mark();
        }
        next_rotation(c);
        w.w = next_twiddle(w.w, w.alpha2, w.beta2);
        --until_mark;
        --left;
    }

    __attribute__((always_inline)) void leave_mark() {
        const Checkpoints& m = *marks;
        uint32_t k = next_mark;
        uint32_t half = m.M / 2;
        uint32_t s = m.spacing;
        if (k <= half) {
            uint32_t i = (k - 1) / s;
            m.lower[2 * i] = c.cr;
            m.lower[2 * i + 1] = c.ci;
            _mm_storeu_pd(m.splits + 2 * i, w.w);
            next_mark = k + s <= half ? k + s : half + 1;
        } else {
            // Chunk i's top pair is (i+1)*spacing, or M/2 - 1 for the top chunk.
            uint32_t i = k == half + 1 ? half / s - 1 : (m.M - k) / s - 1;
            m.upper[2 * i] = c.cr;
            m.upper[2 * i + 1] = c.ci;
            next_mark = k == half + 1 && s > 1 ? half + s : k + s;
        }
        until_mark = next_mark - k;
    }
};

inline Riding start_riding(const RideAlong* along) {
    if (along == nullptr) {
        return Riding();
    }
    return {along->marks->step, along->marks->split, along->steps, 0, 1, along->marks};
}

inline void finish_riding(Riding& riding, RideAlong* along) {
    while (riding.left > 0) {
        riding.step();
    }
    if (along != nullptr) {
        along->rotation = riding.c;
    }
}

// Runs the n recurrences r[0 ... n-1] on by `steps` steps side by side,
// `riding` taking `rides` (1 or 2) steps per step; with tables, each factor is first
// written to entry j of tables[s] at step j. The recurrences are independent,
// so stepping them side by side keeps several multiplications in flight.
template <int n, int rides = 1>
__attribute__((always_inline)) inline void run_together(TwiddleRecurrence* r, double* const* tables,
                                                        size_t steps, Riding& riding) {
    __m128d w[n];
    for (int s = 0; s < n; ++s) {
        w[s] = r[s].w;
    }
    Riding ride = riding;
    for (size_t j = 0; j < steps; ++j) {
        for (int s = 0; s < n; ++s) {
            if (tables != nullptr) {
                put_twiddle(tables[s], j, w[s]);
            }
            w[s] = next_twiddle(w[s], r[s].alpha2, r[s].beta2);
        }
        ride.step();
        if (rides == 2) {
            ride.step();
        }
    }
    riding = ride;
    for (int s = 0; s < n; ++s) {
        r[s].w = w[s];
    }
}

// Fills entries 1 ... size-1 of a table with the factors of the stages
// h = 1, 2, 4, ... size/2: stage h at entries h ... 2h-1, so w_j of stage h is
// entry h + j. The largest stage runs alongside all smaller ones together.
inline void fill_stage_table(double* table, uint32_t size) {
    uint32_t half = size / 2;
    TwiddleRecurrence top = stage_recurrence(stage_count(size));
    TwiddleRecurrence low = stage_recurrence(1);
    uint32_t low_t = 1;
    for (uint32_t i = 0; i < half; ++i) {
        put_twiddle(table, half + i, top.w);
        top.w = next_twiddle(top.w, top.alpha2, top.beta2);
        if (i == 0) {
            continue;
        }
        if ((i & (i - 1)) == 0 && i > 1) {
            low = stage_recurrence(++low_t);
        }
        put_twiddle(table, i, low.w);
        low.w = next_twiddle(low.w, low.alpha2, low.beta2);
    }
}

SWEEPS_END
