// The sweeps of complex_fft and real_spectrum for processors with AVX: two
// complex values per vector, so two butterflies per instruction, each with
// exactly the operations of the SSE2 build. This file alone is compiled for
// AVX (AVX only, no FMA), by the pragmas below, and its routines run only
// where best_vectors() finds AVX.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "transform/passes.h"
#include "transform/transform.h"

// Everything defined from here on, the shared sweeps of the headers below
// included, is compiled for AVX; the declarations above are not.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx"))), apply_to = function)
#else
#pragma GCC target("avx")
#endif

#include "transform/fft_passes.h"
#include "transform/spectrum_passes.h"

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
    // [-1, 1] per complex.
    static V minus_plus() { return _mm256_set_pd(1.0, -1.0, 1.0, -1.0); }
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
// [z0, z1], [z2, z3]. Stored in order at x.
inline void stages_12(Avx::V p, Avx::V q, const FirstFactors& f, double* x) {
    using V = Avx::V;
    V w1r = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(f.tw[0]));
    V w1i = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(f.tw[0] + kFactorIm));
    butterfly<Avx>(p, q, w1r, w1i);
    V a = Avx::low_halves(p, q);
    V b = Avx::high_halves(p, q);
    butterfly_at<Avx>(a, b, f.tw[1], 0);
    Avx::store(x, a);
    Avx::store(x + 4, b);
}

// The stages h = 1, 2 and 4 of z0 ... z7 held as p0 = [z0, z2], q0 = [z1, z3],
// p1 = [z4, z6], q1 = [z5, z7], likewise; stored in order at x.
inline void stages_123(Avx::V p0, Avx::V q0, Avx::V p1, Avx::V q1, const FirstFactors& f, double* x) {
    using V = Avx::V;
    V w1r = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(f.tw[0]));
    V w1i = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(f.tw[0] + kFactorIm));
    butterfly<Avx>(p0, q0, w1r, w1i);
    butterfly<Avx>(p1, q1, w1r, w1i);
    V a0 = Avx::low_halves(p0, q0);
    V b0 = Avx::high_halves(p0, q0);
    V a1 = Avx::low_halves(p1, q1);
    V b1 = Avx::high_halves(p1, q1);
    butterfly_at<Avx>(a0, b0, f.tw[1], 0);
    butterfly_at<Avx>(a1, b1, f.tw[1], 0);
    butterfly_at<Avx>(a0, a1, f.tw[3], 0);  // factors 4 and 5 of stage 4
    butterfly_at<Avx>(b0, b1, f.tw[5], 0);  // factors 6 and 7
    Avx::store(x, a0);
    Avx::store(x + 4, b0);
    Avx::store(x + 8, a1);
    Avx::store(x + 12, b1);
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

// [z(i), z(k)] from two places.
inline Avx::V gather(const double* z, size_t i, size_t k) {
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(z + 2 * i)), _mm_loadu_pd(z + 2 * k), 1);
}

template <>
size_t first_stages<Avx>(double* z, size_t first, size_t end, uint32_t stages, const double* table) {
    FirstFactors f = first_factors(table);
    if (stages % 2 == 0) {
        for (size_t g = first; g < end; g += 4) {
            double* x = z + 2 * g;
            Avx::V r0 = Avx::load(x);
            Avx::V r1 = Avx::load(x + 4);
            stages_12(Avx::low_halves(r0, r1), Avx::high_halves(r0, r1), f, x);
        }
        return 4;
    }
    for (size_t g = first; g < end; g += 8) {
        double* x = z + 2 * g;
        Avx::V r0 = Avx::load(x);
        Avx::V r1 = Avx::load(x + 4);
        Avx::V r2 = Avx::load(x + 8);
        Avx::V r3 = Avx::load(x + 12);
        stages_123(Avx::low_halves(r0, r1), Avx::high_halves(r0, r1), Avx::low_halves(r2, r3),
                   Avx::high_halves(r2, r3), f, x);
    }
    return 8;
}

// As the general version: z_k of the group m comes from rev(m) + rev(k) * S.
template <>
struct GatheredPass<Avx> {
    template <class Ride>
    static size_t run(const double* in, double* out, uint32_t M, uint32_t stages, const double* table,
                      Ride& riding) {
        Ride ride = riding;
        FirstFactors f = first_factors(table);
        if (stages % 2 == 0) {
            size_t S = M / 4;
            for (uint32_t m = 0; m < M / 4; ++m) {
                size_t b = reversed_bits(m, stages - 2);
                stages_12(gather(in, b, b + S), gather(in, b + 2 * S, b + 3 * S), f, out + 8 * size_t{m});
                // A group of two stages is short work: with a step of the
                // ride beside each, the groups would wait on its chain.
                if (m % 2 == 0) {
                    ride.step();
                }
            }
            riding = ride;
            return 4;
        }
        size_t S = M / 8;
        for (uint32_t m = 0; m < M / 8; ++m) {
            size_t b = reversed_bits(m, stages - 3);
            stages_123(gather(in, b, b + 2 * S), gather(in, b + 4 * S, b + 6 * S),
                       gather(in, b + S, b + 3 * S), gather(in, b + 5 * S, b + 7 * S), f,
                       out + 16 * size_t{m});
            ride.step();
        }
        riding = ride;
        return 8;
    }
};

// Two recurrences of a sweep in one vector, [first | second], stepping as
// two TwiddleRecurrences would, lane by lane.
struct RecurrencePair {
    Avx::V w;
    Avx::V alpha;
    Avx::V beta;
};

inline Avx::V pair_of(__m128d first, __m128d second) {
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(first), second, 1);
}

// The factors of the pair as put_twiddle puts them: [wr, wr] and
// [-wi, wi] (exact: the factors are finite), at entry j of `first` and
// entry k of `second`.
inline void put_pair(double* first, size_t j, double* second, size_t k, Avx::V w) {
    Avx::V re = _mm256_movedup_pd(w);
    Avx::V im = _mm256_mul_pd(_mm256_permute_pd(w, 0xf), Avx::minus_plus());
    double* at_j = first + factor_offset(j);
    double* at_k = second + factor_offset(k);
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
            p[k] = {pair_of(r[2 * k].w, r[2 * k + 1].w), pair_of(r[2 * k].alpha2, r[2 * k + 1].alpha2),
                    pair_of(r[2 * k].beta2, r[2 * k + 1].beta2)};
        }
        TwiddleRecurrence last = r[n - 1];
        Riding ride = riding;
        for (size_t j = 0; j < count; ++j) {
            for (int k = 0; k < pairs; ++k) {
                put_pair(tables[2 * k], j, tables[2 * k + 1], j, p[k].w);
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

void avx_all_stages(double* z, size_t M, size_t block, const double* table, RideAlong* along) {
    all_stages<Avx>(z, M, block, table, along);
}

void avx_region_stages(double* z, size_t M, size_t first, size_t end, const double* table) {
    region_stages<Avx>(z, M, first, end, table);
}

void avx_offset_sweep(double* z, size_t M, const double* starts, size_t j_first, size_t j_end) {
    offset_sweep<Avx>(z, M, starts, j_first, j_end);
}

namespace {

// ShortFill (twiddle.h) with complex_fft's two stage recurrences side by
// side in one vector, [top | low] stepping as two TwiddleRecurrences would,
// lane by lane, and two steps i, i + 1 (i even) at a time, so that the
// factors of entries i, i + 1 and half + i, half + i + 1, neighbours in the
// table, are stored together. The split step's recurrence and the rotation
// share a vector as well, [w_i | c_{i+1}] (see the step below). The
// bookkeeping fields repeat ShortFill's rather than sit in a member struct
// shared by the two: with one, GCC 12 no longer kept this fill's vectors in
// registers inside the passes' loops, and 2^10 ran 15% slower.
struct AvxShortFill {
    static constexpr uint32_t kStride = 2;
    Avx::V w;
    Avx::V alpha;
    Avx::V beta;
    Avx::V split_rotation;  // [w_i | c_{i+1}]
    Avx::V factor;          // [alpha, alpha | cphi, cphi]
    Avx::V cross;           // [beta, beta | sphi, sphi]
    double* stage_table;
    double* split_table;
    double* rotation_table;
    uint32_t half;
    uint32_t next;
    uint32_t low_t;

    __attribute__((always_inline)) void run(uint32_t i) {
        if ((i & (i - 1)) == 0) {
            TwiddleRecurrence low = stage_recurrence(++low_t);
            w = _mm256_insertf128_pd(w, low.w, 1);
            alpha = _mm256_insertf128_pd(alpha, low.alpha2, 1);
            beta = _mm256_insertf128_pd(beta, low.beta2, 1);
        }
        Avx::V w0 = w;
        Avx::V w1 = Avx::add(w0, Avx::add(Avx::mul(w0, alpha), Avx::mul(Avx::swap(w0), beta)));
        w = Avx::add(w1, Avx::add(Avx::mul(w1, alpha), Avx::mul(Avx::swap(w1), beta)));
        put_neighbours(stage_table + factor_offset(half + i), Avx::low_halves(w0, w1));
        put_neighbours(stage_table + factor_offset(i), Avx::high_halves(w0, w1));

        Avx::V v0 = split_rotation;
        Avx::V v1 = next_split_rotation(v0);
        split_rotation = next_split_rotation(v1);
        _mm_storeu_pd(split_table + 2 * i, _mm256_castpd256_pd128(v0));
        _mm_storeu_pd(split_table + 2 * i + 2, _mm256_castpd256_pd128(v1));
        _mm_storeu_pd(rotation_table + 2 * i + 2, _mm256_extractf128_pd(v0, 1));
        _mm_storeu_pd(rotation_table + 2 * i + 4, _mm256_extractf128_pd(v1, 1));
    }

    // Both halves form (v * factor) -+ (swap(v) * cross): the rotation's
    // whole step (rotation_step) and the inner part of next_twiddle's, whose
    // (wr*alpha) + (wi*(-beta)) is (wr*alpha) - (wi*beta) exactly. The split
    // step then adds its w (next_twiddle's w + (...) in the other order; the
    // sum of two finite values does not depend on it), the rotation -0,
    // which changes no value, NaN and -0 included.
    Avx::V next_split_rotation(Avx::V v) const {
        Avx::V products = Avx::sub_add(Avx::mul(v, factor), Avx::mul(Avx::swap(v), cross));
        return Avx::add(products, _mm256_blend_pd(v, _mm256_set1_pd(-0.0), 0xc));
    }

    // Two neighbours v = [w_j | w_{j+1}], j even, as put_twiddle puts them.
    static void put_neighbours(double* entry, Avx::V v) {
        Avx::store(entry, Avx::dup_re(v));
        Avx::store(entry + kFactorIm, Avx::mul(Avx::dup_im(v), Avx::minus_plus()));
    }

    __attribute__((always_inline)) void step() { step_fill(*this); }

    // Runs the steps below `end` (even) that have not run.
    __attribute__((always_inline)) void run_to(uint32_t end) { run_fill_to(*this, end); }
};

}  // namespace

void avx_short_fft(const double* in, double* out, uint32_t M, const double* split, Rotation& rotation,
                   ShortTables tables) {
    // Steps 0 and 1 as the SSE2 form has them.
    ShortFill first = start_short_fill(M, split, rotation, tables);
    first.run_to(2);
    AvxShortFill fill;
    const Rotation& c = first.rotation;
    fill.w = pair_of(first.top.w, first.low.w);
    fill.alpha = pair_of(first.top.alpha2, first.low.alpha2);
    fill.beta = pair_of(first.top.beta2, first.low.beta2);
    fill.split_rotation = pair_of(first.split.w, _mm_set_pd(c.ci, c.cr));
    fill.factor = pair_of(first.split.alpha2, _mm_set1_pd(c.cphi));
    fill.cross = pair_of(_mm_unpackhi_pd(first.split.beta2, first.split.beta2), _mm_set1_pd(c.sphi));
    fill.stage_table = tables.stage;
    fill.split_table = tables.split;
    fill.rotation_table = tables.rotation;
    fill.half = first.half;
    fill.next = 2;
    fill.low_t = first.low_t;
    gathered_stages<Avx>(in, out, M, tables.stage, fill);
    __m128d last = _mm256_extractf128_pd(fill.split_rotation, 1);
    _mm_storel_pd(&rotation.cr, last);
    _mm_storeh_pd(&rotation.ci, last);
}

// Pairs two at a time from the top; an odd pair count leaves the last
// pair, j = first, to the SSE2 form of the same operations.
void avx_split_and_rotate(const double* z, double* a, uint32_t M, uint32_t first, uint32_t end, uint32_t base,
                          const double* split_table, const double* rotation_table, Rotation& upper,
                          Unfolding& unfolding, bool ahead) {
    uint32_t odd = (end - first) % 2;
    split_and_rotate<Avx>(z, a, M, first + odd, end, base, split_table, rotation_table, upper, unfolding,
                          ahead);
    split_and_rotate<Sse2>(z, a, M, first, first + odd, base, split_table, rotation_table, upper, unfolding,
                           ahead);
}

#if defined(__clang__)
#pragma clang attribute pop
#endif
