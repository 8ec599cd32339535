// The butterfly passes of complex_fft, written once over a vector policy P
// (vectors.h), so that the SSE2 build and the run-time chosen AVX build
// share them. Internal to src/transform; everything is in an unnamed
// namespace, so a file that compiles these templates for other instructions
// gets its own copies.
//
// The butterflies of a stage are independent of one another, and a stage's
// factors are a fixed sequence from its recurrence; so the stages may run in
// any order that gives every butterfly the outputs of the stage before, and
// several stages may be done in one sweep over the data, each butterfly
// keeping its own operations.
//
// The twiddle tables have the layout of twiddle.h (put_twiddle).
#pragma once

#include <cstddef>
#include <cstdint>

#include "transform/reversal.h"
#include "transform/twiddle.h"
#include "transform/vectors.h"

namespace {

inline const double* twiddle_re(const double* table, size_t j) { return table + factor_offset(j); }

// Entry `position` of a stage table (stage h at h ... 2h-1, see twiddle.h).
inline const double* stage_entry(const double* table, size_t position) { return twiddle_re(table, position); }

// One butterfly on a (top) and b (bottom) with the factor w, exactly as
//   tr = (b.re*wr) - (b.im*wi); ti = (b.im*wr) + (b.re*wi);
//   b = (a.re - tr, a.im - ti); a = (a.re + tr, a.im + ti).
// wr2 = [wr, wr], wi2 = [-wi, wi]: b.im*(-wi) = -(b.im*wi) exactly, and
// x + (-y) is x - y, signed zeros included; no data value is negated, so a
// NaN keeps its sign.
template <class P>
inline void butterfly(typename P::V& a, typename P::V& b, typename P::V wr2, typename P::V wi2) {
    typename P::V t = P::add(P::mul(b, wr2), P::mul(P::swap(b), wi2));
    b = P::sub(a, t);
    a = P::add(a, t);
}

template <class P>
inline void butterfly_at(typename P::V& a, typename P::V& b, const double* table, size_t j) {
    const double* w = twiddle_re(table, j);
    butterfly<P>(a, b, P::load(w), P::load(w + kFactorIm));
}

// Stages h and 2h on x[0 ... 3] = z(j), z(j+h), z(j+2h), z(j+3h) of a group:
// first (j, j+h) and (j+2h, j+3h) with w_j of stage h, then (j, j+2h) and
// (j+h, j+3h) with w_j and w_{j+h} of stage 2h. ta: stage h; tb0, tb1:
// stage 2h at j and at h + j.
template <class P>
inline void radix4_kernel(typename P::V* x, const double* ta, const double* tb0, const double* tb1,
                          size_t j) {
    butterfly_at<P>(x[0], x[1], ta, j);
    butterfly_at<P>(x[2], x[3], ta, j);
    butterfly_at<P>(x[0], x[2], tb0, j);
    butterfly_at<P>(x[1], x[3], tb1, j);
}

// Stages h, 2h and 4h on x[k] = z(j + k*h), k = 0 ... 7, one level further.
// tw[0]: stage h at j; tw[1], tw[2]: stage 2h at j, h + j; tw[3] ... tw[6]:
// stage 4h at j, h + j, 2h + j, 3h + j.
template <class P>
inline void radix8_kernel(typename P::V* x, const double* const* tw, size_t j) {
    butterfly_at<P>(x[0], x[1], tw[0], j);
    butterfly_at<P>(x[2], x[3], tw[0], j);
    butterfly_at<P>(x[4], x[5], tw[0], j);
    butterfly_at<P>(x[6], x[7], tw[0], j);
    butterfly_at<P>(x[0], x[2], tw[1], j);
    butterfly_at<P>(x[1], x[3], tw[2], j);
    butterfly_at<P>(x[4], x[6], tw[1], j);
    butterfly_at<P>(x[5], x[7], tw[2], j);
    butterfly_at<P>(x[0], x[4], tw[3], j);
    butterfly_at<P>(x[1], x[5], tw[4], j);
    butterfly_at<P>(x[2], x[6], tw[5], j);
    butterfly_at<P>(x[3], x[7], tw[6], j);
}

// The passes below do their stages on the groups starting at first,
// first + R*h, ... < end (R = 2, 4, 8), for the offsets j0 + j, j < count,
// within each group; their tables hold the factor of offset j0 + j at
// index j.

template <class P>
void radix2_pass(double* z, size_t first, size_t end, size_t h, size_t j0, size_t count, const double* tw) {
    for (size_t g = first; g < end; g += 2 * h) {
        double* x = z + 2 * (g + j0);
        for (size_t j = 0; j < count; j += P::kWidth, x += 2 * P::kWidth) {
            typename P::V x0 = P::load(x);
            typename P::V x1 = P::load(x + 2 * h);
            butterfly_at<P>(x0, x1, tw, j);
            P::store(x, x0);
            P::store(x + 2 * h, x1);
        }
    }
}

// What a pass runs beside its butterflies, a step per turn of its inner
// loop (ShortFill in twiddle.h); this one does nothing.
struct NoRide {
    void step() {}
};

template <class P, class Ride = NoRide>
void radix4_pass(double* z, size_t first, size_t end, size_t h, size_t j0, size_t count, const double* ta,
                 const double* tb0, const double* tb1, Ride& riding) {
    Ride ride = riding;      // in registers: a store to z[] cannot change it
    const size_t s = 2 * h;  // h complex values, in doubles
    if (count <= 16) {
        // Few offsets, many groups: each offset's factors stay in registers
        // while the groups go by.
        for (size_t j = 0; j < count; j += P::kWidth) {
            const double* wa = twiddle_re(ta, j);
            const double* wb0 = twiddle_re(tb0, j);
            const double* wb1 = twiddle_re(tb1, j);
            typename P::V ar = P::load(wa), ai = P::load(wa + kFactorIm);
            typename P::V b0r = P::load(wb0), b0i = P::load(wb0 + kFactorIm);
            typename P::V b1r = P::load(wb1), b1i = P::load(wb1 + kFactorIm);
            for (size_t g = first; g < end; g += 4 * h) {
                double* x = z + 2 * (g + j0 + j);
                typename P::V x0 = P::load(x), x1 = P::load(x + s), x2 = P::load(x + 2 * s),
                              x3 = P::load(x + 3 * s);
                butterfly<P>(x0, x1, ar, ai);
                butterfly<P>(x2, x3, ar, ai);
                butterfly<P>(x0, x2, b0r, b0i);
                butterfly<P>(x1, x3, b1r, b1i);
                P::store(x, x0);
                P::store(x + s, x1);
                P::store(x + 2 * s, x2);
                P::store(x + 3 * s, x3);
                ride.step();
            }
        }
        riding = ride;
        return;
    }
    for (size_t g = first; g < end; g += 4 * h) {
        double* x = z + 2 * (g + j0);
        for (size_t j = 0; j < count; j += P::kWidth, x += 2 * P::kWidth) {
            typename P::V v[4] = {P::load(x), P::load(x + s), P::load(x + 2 * s), P::load(x + 3 * s)};
            radix4_kernel<P>(v, ta, tb0, tb1, j);
            P::store(x, v[0]);
            P::store(x + s, v[1]);
            P::store(x + 2 * s, v[2]);
            P::store(x + 3 * s, v[3]);
            ride.step();
        }
    }
    riding = ride;
}

template <class P>
void radix8_pass(double* z, size_t first, size_t end, size_t h, size_t j0, size_t count,
                 const double* const* tw) {
    const size_t s = 2 * h;
    for (size_t g = first; g < end; g += 8 * h) {
        double* x = z + 2 * (g + j0);
        for (size_t j = 0; j < count; j += P::kWidth, x += 2 * P::kWidth) {
            typename P::V v[8] = {P::load(x),         P::load(x + s),     P::load(x + 2 * s),
                                  P::load(x + 3 * s), P::load(x + 4 * s), P::load(x + 5 * s),
                                  P::load(x + 6 * s), P::load(x + 7 * s)};
            radix8_kernel<P>(v, tw, j);
            P::store(x, v[0]);
            P::store(x + s, v[1]);
            P::store(x + 2 * s, v[2]);
            P::store(x + 3 * s, v[3]);
            P::store(x + 4 * s, v[4]);
            P::store(x + 5 * s, v[5]);
            P::store(x + 6 * s, v[6]);
            P::store(x + 7 * s, v[7]);
        }
    }
}

// The factors of the stages h = 1, 2 and 4 from a stage table.
struct FirstFactors {
    const double* tw[7];
};

inline FirstFactors first_factors(const double* table) {
    return {{stage_entry(table, 1), stage_entry(table, 2), stage_entry(table, 3), stage_entry(table, 4),
             stage_entry(table, 5), stage_entry(table, 6), stage_entry(table, 7)}};
}

// The first stages of a block of 2^stages values in place, returning the h
// of the first stage left. This version suits one complex value per vector:
// every stage fits the general passes, and an odd count of stages starts
// with three at once. avx_passes.cpp has its own.
template <class P>
size_t first_stages(double* z, size_t first, size_t end, uint32_t stages, const double* table) {
    if (stages % 2 == 0) {
        return 1;
    }
    FirstFactors f = first_factors(table);
    if (stages == 1) {
        radix2_pass<P>(z, first, end, 1, 0, 1, f.tw[0]);
        return 2;
    }
    radix8_pass<P>(z, first, end, 1, 0, 1, f.tw);
    return 8;
}

// The first two or three stages of a whole transform of M = 2^stages >= 4
// values, which find their inputs at the bit-reversed positions of `in`
// and leave their results in order in `out`: the bit reversal and the first
// sweep in one. The group of R = 4 or 8 neighbours R*m ... R*m + R-1 comes
// from rev(m) + rev(k) * M/R, k = 0 ... R-1, where rev(k) runs 0, 2, 1, 3
// for R = 4 and 0, 4, 2, 6, 1, 5, 3, 7 for R = 8. Returns the h of the next
// stage; `riding` takes a step per group. Meant for one complex value per
// vector; avx_passes.cpp has its own.
template <class P>
struct GatheredPass {
    template <class Ride>
    static size_t run(const double* in, double* out, uint32_t M, uint32_t stages, const double* table,
                      Ride& riding);
};

template <class P>
template <class Ride>
size_t GatheredPass<P>::run(const double* in, double* out, uint32_t M, uint32_t stages, const double* table,
                            Ride& riding) {
    Ride ride = riding;
    FirstFactors f = first_factors(table);
    if (stages % 2 == 0) {
        size_t S = 2 * size_t{M / 4};  // in doubles
        for (uint32_t m = 0; m < M / 4; ++m) {
            const double* b = in + 2 * size_t{reversed_bits(m, stages - 2)};
            double* x = out + 8 * size_t{m};
            typename P::V v[4] = {P::load(b), P::load(b + 2 * S), P::load(b + S), P::load(b + 3 * S)};
            radix4_kernel<P>(v, f.tw[0], f.tw[1], f.tw[2], 0);
            P::store(x, v[0]);
            P::store(x + 2, v[1]);
            P::store(x + 4, v[2]);
            P::store(x + 6, v[3]);
            ride.step();
        }
        riding = ride;
        return 4;
    }
    size_t S = 2 * size_t{M / 8};
    for (uint32_t m = 0; m < M / 8; ++m) {
        const double* b = in + 2 * size_t{reversed_bits(m, stages - 3)};
        double* x = out + 16 * size_t{m};
        typename P::V v[8] = {P::load(b),     P::load(b + 4 * S), P::load(b + 2 * S), P::load(b + 6 * S),
                              P::load(b + S), P::load(b + 5 * S), P::load(b + 3 * S), P::load(b + 7 * S)};
        radix8_kernel<P>(v, f.tw, 0);
        P::store(x, v[0]);
        P::store(x + 2, v[1]);
        P::store(x + 4, v[2]);
        P::store(x + 6, v[3]);
        P::store(x + 8, v[4]);
        P::store(x + 10, v[5]);
        P::store(x + 12, v[6]);
        P::store(x + 14, v[7]);
        ride.step();
    }
    riding = ride;
    return 8;
}

// Stages h, 2h (radix-4 sweeps) for h = from, 4*from, ... < size on the
// block z[first ... first + size), from a stage table.
template <class P>
void later_stages(double* z, size_t first, size_t size, size_t from, const double* table) {
    NoRide idle;
    for (size_t h = from; h < size; h *= 4) {
        radix4_pass<P>(z, first, first + size, h, 0, h, stage_entry(table, h), stage_entry(table, 2 * h),
                       stage_entry(table, 3 * h), idle);
    }
}

// All stages h < size on the block z[first ... first + size), from a table
// filled by fill_stage_table for at least this size.
template <class P>
void block_stages(double* z, size_t first, uint32_t size, const double* table) {
    size_t from = first_stages<P>(z, first, first + size, stage_count(size), table);
    later_stages<P>(z, first, size, from, table);
}

// All stages of a transform of 4 <= M values, from the values in natural
// order in `in` to the transform in `out`, while `fill` (ShortFill in
// twiddle.h or its AVX form) writes the factors into `table`. A pass over
// the stages up to 2h needs the steps up to 2 * 2h - 1; those it finds
// missing run first, alone, and the rest take a step per turn of the
// passes' inner loops, so that the recurrences' chains of dependent
// operations run beside the butterflies. The last pass needs them all.
template <class P, class Fill>
void gathered_stages(const double* in, double* out, uint32_t M, double* table, Fill& fill) {
    uint32_t stages = stage_count(M);
    fill.run_to(stages % 2 == 0 ? 4 : 8);
    size_t from = GatheredPass<P>::run(in, out, M, stages, table, fill);
    for (size_t h = from; h < M; h *= 4) {
        fill.run_to(static_cast<uint32_t>(4 * h));
        radix4_pass<P>(out, 0, M, h, 0, h, stage_entry(table, h), stage_entry(table, 2 * h),
                       stage_entry(table, 3 * h), fill);
    }
    fill.run_to(M);
}

// Runs the recurrences r[0 ... n-1] on by `steps` steps side by side, with
// `riding` alongside.
template <int n>
void advance_together(TwiddleRecurrence* const* r, size_t steps, Riding& riding) {
    __m128d w[n];
    for (int c = 0; c < n; ++c) {
        w[c] = r[c]->w;
    }
    Riding ride = riding;
    for (size_t i = 0; i < steps; ++i) {
        for (int c = 0; c < n; ++c) {
            w[c] = next_twiddle(w[c], r[c]->alpha2, r[c]->beta2);
        }
        ride.step();
    }
    riding = ride;
    for (int c = 0; c < n; ++c) {
        r[c]->w = w[c];
    }
}

// A sweep over the stages h, 2h, ... 2^(span-1) h needs the factors of
// stage 2^s h from the offsets 0, h, ... (2^s - 1) h at once:
// r[2^s - 1 + k] is stage 2^s h from offset k*h. Given the recurrences at
// offset 0, this runs each stage's recurrence past its offsets, all stages
// side by side, and keeps a copy at each; `riding` comes along.
inline void run_to_offsets(TwiddleRecurrence* r, uint32_t span, size_t h, Riding& riding) {
    for (uint32_t k = 1; k < (1u << (span - 1)); ++k) {
        TwiddleRecurrence* moving[kMaxSpan - 1];
        int n = 0;
        for (uint32_t stage = 1; stage < span; ++stage) {
            if ((1u << stage) > k) {
                TwiddleRecurrence* at = r + (1u << stage) - 1 + k;
                *at = at[-1];
                moving[n++] = at;
            }
        }
        if (n == 2) {
            advance_together<2>(moving, h, riding);
        } else {
            advance_together<1>(moving, h, riding);
        }
    }
}

// Fills the chunk tables of the n recurrences of a sweep (fill_twiddles);
// avx_passes.cpp has a version that steps two recurrences per vector.
template <class P, int n>
struct FactorFill {
    static void run(TwiddleRecurrence* r, double* const* tables, size_t count, Riding& riding) {
        fill_twiddles<n>(r, tables, count, riding);
    }
};

// Fills the chunk tables of one sweep over the stages h, 2h, ... from the
// recurrences r (at offset j0) and runs it on the groups in
// [first, end); chunk after chunk over the offsets j0 = j_first ...
// j_end - 1, multiples of kChunk (the whole sweep: 0 ... h-1).
template <class P>
void sweep(double* z, size_t first, size_t end, size_t h, uint32_t span, TwiddleRecurrence* r,
           double* const* tables, Riding& riding, size_t j_first, size_t j_end) {
    for (size_t j0 = j_first; j0 < j_end; j0 += kChunk) {
        if (span == 3) {
            FactorFill<P, 7>::run(r, tables, kChunk, riding);
            radix8_pass<P>(z, first, end, h, j0, kChunk, tables);
        } else if (span == 2) {
            FactorFill<P, 3>::run(r, tables, kChunk, riding);
            NoRide idle;
            radix4_pass<P>(z, first, end, h, j0, kChunk, tables[0], tables[1], tables[2], idle);
        } else {
            FactorFill<P, 1>::run(r, tables, kChunk, riding);
            radix2_pass<P>(z, first, end, h, j0, kChunk, tables[0]);
        }
    }
}

// The recurrences of a sweep over the stages h, 2h, ... at their starting
// points (run_to_offsets), the stage of length 2h being t.
inline void start_sweep(TwiddleRecurrence* r, uint32_t t, uint32_t span, size_t h, Riding& riding) {
    for (uint32_t stage = 0; stage < span; ++stage) {
        r[(1u << stage) - 1] = stage_recurrence(t + stage);
    }
    run_to_offsets(r, span, h, riding);
}

// The chunk tables of a sweep, on the stack of the routine that sweeps.
struct ChunkTables {
    double chunks[kMaxStreams][kChunk * 4];
    double* tables[kMaxStreams];
};

inline void point_tables(ChunkTables& c) {
    for (uint32_t k = 0; k < kMaxStreams; ++k) {
        c.tables[k] = c.chunks[k];
    }
}

// All stages of a transform of M values: the stages h < block block by
// block from a table filled by fill_stage_table for the block size, then
// the large stages in the sweeps of plan_sweeps (passes.h), each with
// chunks of factors from its recurrences. `along`, if not null, runs
// alongside those recurrences, and to its end.
template <class P>
void all_stages(double* z, size_t M, size_t block, const double* table, RideAlong* along) {
    Riding riding = start_riding(along);
    ChunkTables c;
    point_tables(c);
    for (size_t b = 0; b < M; b += block) {
        block_stages<P>(z, b, static_cast<uint32_t>(block), table);
    }
    Sweep plan[kMostSweeps];
    uint32_t sweeps = plan_sweeps(M, block, plan);
    for (uint32_t s = 0; s < sweeps; ++s) {
        TwiddleRecurrence r[kMaxStreams];
        start_sweep(r, plan[s].t, plan[s].span, plan[s].h, riding);
        sweep<P>(z, 0, M, plan[s].h, plan[s].span, r, c.tables, riding, 0, plan[s].h);
    }
    finish_riding(riding, along);
}

// The stages of all_stages (block = kBlock) up to the last sweep, on the
// values [first, end) alone: a whole number of the last sweep's h, the
// size of the groups of the sweep before it, so that every butterfly of
// these stages has both its values inside. Each region starts the
// recurrences from their beginning, as all_stages does.
template <class P>
void region_stages(double* z, size_t M, size_t first, size_t end, const double* table) {
    ChunkTables c;
    point_tables(c);
    for (size_t b = first; b < end; b += kBlock) {
        block_stages<P>(z, b, kBlock, table);
    }
    Riding idle = start_riding(nullptr);
    Sweep plan[kMostSweeps];
    uint32_t sweeps = plan_sweeps(M, kBlock, plan);
    for (uint32_t s = 0; s + 1 < sweeps; ++s) {
        TwiddleRecurrence r[kMaxStreams];
        start_sweep(r, plan[s].t, plan[s].span, plan[s].h, idle);
        sweep<P>(z, first, end, plan[s].h, plan[s].span, r, c.tables, idle, 0, plan[s].h);
    }
}

// The last sweep of all_stages (block = kBlock) for the offsets
// j_first ... j_end - 1 alone, multiples of kChunk. Its recurrences start
// from `starts`: w = (wr, wi) of stream 2^s - 1 + k at starts[2(2^s - 1 + k)]
// is stage 2^s h at offset k*h + j_first (see run_to_offsets), as the
// recurrence of that stage run from its beginning gives it.
template <class P>
void offset_sweep(double* z, size_t M, const double* starts, size_t j_first, size_t j_end) {
    ChunkTables c;
    point_tables(c);
    Sweep plan[kMostSweeps];
    const Sweep& last = plan[plan_sweeps(M, kBlock, plan) - 1];
    TwiddleRecurrence r[kMaxStreams];
    for (uint32_t stage = 0; stage < last.span; ++stage) {
        for (uint32_t k = 0; k < (1u << stage); ++k) {
            uint32_t stream = (1u << stage) - 1 + k;
            r[stream] = stage_recurrence(last.t + stage);
            r[stream].w = _mm_loadu_pd(starts + 2 * stream);
        }
    }
    Riding idle = start_riding(nullptr);
    sweep<P>(z, 0, M, last.h, last.span, r, c.tables, idle, j_first, j_end);
}

}  // namespace
