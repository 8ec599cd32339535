// The sweeps of complex_fft and real_spectrum for processors with AVX (no
// FMA): two complex values per vector, each with exactly the operations of
// the SSE2 build. This file alone is compiled for AVX, and its routines run
// only where best_vectors() finds AVX.
//
// Any function compiled here is AVX code, so none of it may be one that the
// SSE2 files also compile: the linker could keep this copy for all callers,
// and a processor without AVX would fault. So the shared headers of sweeps
// open the namespace avx_code here (sweeps_namespace.h), and every function
// made here is named avx_... or avx_code::..., as a test of the built
// program checks.
#define FFTEXT_SWEEPS_NAMESPACE namespace avx_code

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "transform/fft_passes.h"
#include "transform/passes.h"
#include "transform/spectrum_passes.h"
#include "transform/transform.h"
#include "transform/vectors.h"

#ifndef __AVX__
#error "avx_passes.cpp must be compiled with -mavx"
#endif

namespace avx_code {
namespace {

struct Avx {
    using V = __m256d;
    static constexpr size_t kWidth = 2;
    static V load(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, V v) { _mm256_storeu_pd(p, v); }
    static V add(V a, V b) { return _mm256_add_pd(a, b); }
    static V sub(V a, V b) { return _mm256_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm256_mul_pd(a, b); }
    static V broadcast(double x) { return _mm256_set1_pd(x); }
    static V swap(V a) { return _mm256_permute_pd(a, 0x5); }
    static V dup_re(V a) { return _mm256_movedup_pd(a); }
    static V dup_im(V a) { return _mm256_permute_pd(a, 0xf); }
    static V re_from(V a, V b) { return _mm256_blend_pd(a, b, 0x5); }
    static V sub_add(V a, V b) { return _mm256_addsub_pd(a, b); }
    static V join(__m128d low, __m128d high) {
        return _mm256_insertf128_pd(_mm256_castpd128_pd256(low), high, 1);
    }
    static V im_re(V a, V b) { return _mm256_shuffle_pd(a, b, 0x5); }
    static V reversed(V a) { return _mm256_permute2f128_pd(a, a, 0x01); }
    // [a.low, b.low] and [a.high, b.high], each half one complex value.
    static V low_halves(V a, V b) { return _mm256_permute2f128_pd(a, b, 0x20); }
    static V high_halves(V a, V b) { return _mm256_permute2f128_pd(a, b, 0x31); }
};

// The stages h = 1 and 2 of the group z0 ... z3 held as p = [z0, z2],
// q = [z1, z3]: at h = 1 the partners would share a vector in the natural
// order, so the first stage runs on this arrangement and the second on
// [z0, z1], [z2, z3], which p and q hold afterwards.
inline void stages_12(Avx::V& p, Avx::V& q, const double* table) {
    Avx::V w1r = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(twiddle_re(table, 1)));
    Avx::V w1i = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(twiddle_re(table, 1) + kFactorIm));
    butterfly<Avx>(p, q, w1r, w1i);
    Avx::V a = Avx::low_halves(p, q);
    q = Avx::high_halves(p, q);
    p = a;
    butterfly_at<Avx>(p, q, table, 2);
}

// One step of the rotation recurrence, c = [cr, ci] to
// [(cr*cphi) - (ci*sphi), (ci*cphi) + (cr*sphi)] as next_rotation has it,
// cphi2 = [cphi, cphi], sphi2 = [sphi, sphi]. Nothing is negated: the
// factors are NaN when the origin phase is, and every NaN here is then the
// same one, whichever operand an instruction takes it from.
inline __m128d rotation_step(__m128d c, __m128d cphi2, __m128d sphi2) {
    return _mm_addsub_pd(_mm_mul_pd(c, cphi2), _mm_mul_pd(_mm_shuffle_pd(c, c, 1), sphi2));
}

// UpperRotation (spectrum_passes.h) in one vector: a shuffle longer per step
// than the scalar steps, but fewer instructions, which counts in a sweep
// with this much other work.
template <>
struct UpperRotation<Avx> {
    __m128d c;
    __m128d cphi2;
    __m128d sphi2;

    explicit UpperRotation(const Rotation& r)
        : c(_mm_set_pd(r.ci, r.cr)), cphi2(_mm_set1_pd(r.cphi)), sphi2(_mm_set1_pd(r.sphi)) {}

    Avx::V next() {
        __m128d first = c;
        __m128d second = rotation_step(first, cphi2, sphi2);
        c = rotation_step(second, cphi2, sphi2);
        return Avx::join(first, second);
    }

    void store(Rotation& out) const {
        _mm_storel_pd(&out.cr, c);
        _mm_storeh_pd(&out.ci, c);
    }
};

// The stages h = 1 and 2 of groups of four values (n = 1), or h = 1, 2 and 4
// of groups of eight (n = 2), in first ... end.
template <int n>
inline void first_groups(double* z, size_t first, size_t end, const double* table) {
    for (size_t g = first; g < end; g += 4 * n) {
        double* x = z + 2 * g;
        Avx::V p[n];
        Avx::V q[n];
        for (int k = 0; k < n; ++k) {
            Avx::V r0 = Avx::load(x + 8 * k);
            Avx::V r1 = Avx::load(x + 8 * k + 4);
            p[k] = Avx::low_halves(r0, r1);
            q[k] = Avx::high_halves(r0, r1);
            stages_12(p[k], q[k], table);
        }
        if (n == 2) {
            butterfly_at<Avx>(p[0], p[n - 1], table, 4);  // factors 4 and 5 of stage 4
            butterfly_at<Avx>(q[0], q[n - 1], table, 6);  // factors 6 and 7
        }
        for (int k = 0; k < n; ++k) {
            Avx::store(x + 8 * k, p[k]);
            Avx::store(x + 8 * k + 4, q[k]);
        }
    }
}

template <>
size_t first_stages<Avx>(double* z, size_t first, size_t end, uint32_t stages, const double* table) {
    if (stages % 2 == 0) {
        first_groups<1>(z, first, end, table);
        return 4;
    }
    first_groups<2>(z, first, end, table);
    return 8;
}

// Two recurrences of a sweep in one vector, [first | second], stepping as
// two TwiddleRecurrences would, lane by lane.
struct RecurrencePair {
    Avx::V w;
    Avx::V alpha;
    Avx::V beta;
};

// The factors of the pair as put_twiddle puts them: [wr, wr] and
// [-wi, wi] (exact: the factors are finite), at entry j of `first` and of
// `second`.
inline void put_pair(double* first, double* second, size_t j, Avx::V w) {
    Avx::V re = Avx::dup_re(w);
    Avx::V im = Avx::mul(Avx::dup_im(w), _mm256_set_pd(1.0, -1.0, 1.0, -1.0));
    double* at_j = first + factor_offset(j);
    double* at_k = second + factor_offset(j);
    _mm_storeu_pd(at_j, _mm256_castpd256_pd128(re));
    _mm_storeu_pd(at_j + kFactorIm, _mm256_castpd256_pd128(im));
    _mm_storeu_pd(at_k, _mm256_extractf128_pd(re, 1));
    _mm_storeu_pd(at_k + kFactorIm, _mm256_extractf128_pd(im, 1));
}

template <int n>
struct FactorFill<Avx, n> {
    static void run(TwiddleRecurrence* r, double* const* tables, size_t count, Riding& riding) {
        constexpr int pairs = n / 2;
        RecurrencePair p[pairs > 0 ? pairs : 1];
        for (int k = 0; k < pairs; ++k) {
            p[k] = {Avx::join(r[2 * k].w, r[2 * k + 1].w), Avx::join(r[2 * k].alpha2, r[2 * k + 1].alpha2),
                    Avx::join(r[2 * k].beta2, r[2 * k + 1].beta2)};
        }
        TwiddleRecurrence last = r[n - 1];
        Riding ride = riding;
        for (size_t j = 0; j < count; ++j) {
            for (int k = 0; k < pairs; ++k) {
                put_pair(tables[2 * k], tables[2 * k + 1], j, p[k].w);
                p[k].w = Avx::add(
                    p[k].w, Avx::add(Avx::mul(p[k].w, p[k].alpha), Avx::mul(Avx::swap(p[k].w), p[k].beta)));
            }
            if (n % 2 == 1) {
                put_twiddle(tables[n - 1], j, last.w);
                last.w = next_twiddle(last.w, last.alpha2, last.beta2);
            }
            ride.step();
        }
        riding = ride;
        for (int k = 0; k < pairs; ++k) {
            r[2 * k].w = _mm256_castpd256_pd128(p[k].w);
            r[2 * k + 1].w = _mm256_extractf128_pd(p[k].w, 1);
        }
        if (n % 2 == 1) {
            r[n - 1] = last;
        }
    }
};

}  // namespace
}  // namespace avx_code

void avx_stages(double* z, size_t M, Span region, bool last, const double* table, RideAlong* along) {
    avx_code::stages<avx_code::Avx>(z, M, region, last, table, along);
}

void avx_offset_sweep(double* z, size_t M, const double* starts, Span offsets) {
    avx_code::offset_sweep<avx_code::Avx>(z, M, starts, offsets);
}

// Pairs two at a time from the top; an odd pair count leaves the last
// pair, j = first, to the one-value form of the same operations.
void avx_split_and_rotate(const double* z, double* a, const PairRange& pairs, Rotation& upper,
                          Unfolding& unfolding) {
    uint32_t odd = (pairs.end - pairs.first) % 2;
    PairRange even = pairs;
    even.first += odd;
    avx_code::split_and_rotate<avx_code::Avx>(z, a, even, upper, unfolding);
    PairRange last = pairs;
    last.end = pairs.first + odd;
    avx_code::split_and_rotate<avx_code::Sse2>(z, a, last, upper, unfolding);
}
