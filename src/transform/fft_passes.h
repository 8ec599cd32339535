// The butterfly passes of complex_fft, written once over a vector policy P
// (vectors.h). Everything is in an unnamed namespace, so a file that
// compiles these templates for other instructions gets its own copies.
//
// The butterflies of a stage are independent of one another, and a stage's
// factors are a fixed sequence from its recurrence; so the stages may run in
// any order that gives every butterfly the outputs of the stage before: the
// small ones block by block while the block sits in the L1 cache, the large
// ones several per sweep over memory, each butterfly keeping its operations.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transform/sweeps_namespace.h"
#include "transform/twiddle.h"
#include "transform/vectors.h"

SWEEPS_BEGIN

// Entry j of a twiddle table (layout in twiddle.h).
inline const double* twiddle_re(const double* table, size_t j) { return table + factor_offset(j); }

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

// One pass over the stages h, 2h, ... (R = 2, 4 or 8 values a group) on the
// groups at first, first + R*h, ... < end, for the offsets j0 + j,
// j < count, within each group; tw[s] holds the factor of stage 2^s h at
// offset j0 + j at index j (stage 4h: tw[3 + k] from offset k*h on).
struct Pass {
    double* z;
    size_t first;
    size_t end;
    size_t h;
    size_t j0;
    size_t count;
    const double* const* tw;
};

template <class P>
void radix2_pass(const Pass& pass) {
    const Pass p = pass;
    for (size_t g = p.first; g < p.end; g += 2 * p.h) {
        double* x = p.z + 2 * (g + p.j0);
        for (size_t j = 0; j < p.count; j += P::kWidth, x += 2 * P::kWidth) {
            typename P::V x0 = P::load(x);
            typename P::V x1 = P::load(x + 2 * p.h);
            butterfly_at<P>(x0, x1, p.tw[0], j);
            P::store(x, x0);
            P::store(x + 2 * p.h, x1);
        }
    }
}

template <class P>
void radix4_pass(const Pass& pass) {
    const Pass p = pass;
    const size_t s = 2 * p.h;  // h complex values, in doubles
    if (p.count <= 16) {
        // Few offsets, many groups: each offset's factors stay in registers
        // while the groups go by.
        for (size_t j = 0; j < p.count; j += P::kWidth) {
            const double* wa = twiddle_re(p.tw[0], j);
            const double* wb0 = twiddle_re(p.tw[1], j);
            const double* wb1 = twiddle_re(p.tw[2], j);
            typename P::V ar = P::load(wa), ai = P::load(wa + kFactorIm);
            typename P::V b0r = P::load(wb0), b0i = P::load(wb0 + kFactorIm);
            typename P::V b1r = P::load(wb1), b1i = P::load(wb1 + kFactorIm);
            for (size_t g = p.first; g < p.end; g += 4 * p.h) {
                double* x = p.z + 2 * (g + p.j0 + j);
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
            }
        }
        return;
    }
    for (size_t g = p.first; g < p.end; g += 4 * p.h) {
        double* x = p.z + 2 * (g + p.j0);
        for (size_t j = 0; j < p.count; j += P::kWidth, x += 2 * P::kWidth) {
            typename P::V v[4] = {P::load(x), P::load(x + s), P::load(x + 2 * s), P::load(x + 3 * s)};
            butterfly_at<P>(v[0], v[1], p.tw[0], j);
            butterfly_at<P>(v[2], v[3], p.tw[0], j);
            butterfly_at<P>(v[0], v[2], p.tw[1], j);
            butterfly_at<P>(v[1], v[3], p.tw[2], j);
            P::store(x, v[0]);
            P::store(x + s, v[1]);
            P::store(x + 2 * s, v[2]);
            P::store(x + 3 * s, v[3]);
        }
    }
}

template <class P>
void radix8_pass(const Pass& pass) {
    const Pass p = pass;
    const size_t s = 2 * p.h;
    for (size_t g = p.first; g < p.end; g += 8 * p.h) {
        double* x = p.z + 2 * (g + p.j0);
        for (size_t j = 0; j < p.count; j += P::kWidth, x += 2 * P::kWidth) {
            typename P::V v[8] = {P::load(x),         P::load(x + s),     P::load(x + 2 * s),
                                  P::load(x + 3 * s), P::load(x + 4 * s), P::load(x + 5 * s),
                                  P::load(x + 6 * s), P::load(x + 7 * s)};
            butterfly_at<P>(v[0], v[1], p.tw[0], j);  // stage h
            butterfly_at<P>(v[2], v[3], p.tw[0], j);
            butterfly_at<P>(v[4], v[5], p.tw[0], j);
            butterfly_at<P>(v[6], v[7], p.tw[0], j);
            butterfly_at<P>(v[0], v[2], p.tw[1], j);  // stage 2h
            butterfly_at<P>(v[1], v[3], p.tw[2], j);
            butterfly_at<P>(v[4], v[6], p.tw[1], j);
            butterfly_at<P>(v[5], v[7], p.tw[2], j);
            butterfly_at<P>(v[0], v[4], p.tw[3], j);  // stage 4h
            butterfly_at<P>(v[1], v[5], p.tw[4], j);
            butterfly_at<P>(v[2], v[6], p.tw[5], j);
            butterfly_at<P>(v[3], v[7], p.tw[6], j);
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

// The first stages of a block of 2^stages values, returning the h of the
// first stage left: an odd count starts with three at once, so that two at a
// time finish it. avx_passes.cpp has its own.
template <class P>
size_t first_stages(double* z, size_t first, size_t end, uint32_t stages, const double* table) {
    if (stages % 2 == 0) {
        return 1;
    }
    const double* tw[7];  // stage 1 at entry 1, stage 2 at 2 and 3, stage 4 at 4 ... 7
    for (size_t j = 0; j < 7; ++j) {
        tw[j] = twiddle_re(table, j + 1);
    }
    if (stages == 1) {
        radix2_pass<P>({z, first, end, 1, 0, 1, tw});
        return 2;
    }
    radix8_pass<P>({z, first, end, 1, 0, 1, tw});
    return 8;
}

// All stages h < size on the block z[first ... first + size), from a table
// filled by fill_stage_table for at least this size.
template <class P>
void block_stages(double* z, size_t first, uint32_t size, const double* table) {
    size_t end = first + size;
    for (size_t h = first_stages<P>(z, first, end, stage_count(size), table); h < size; h *= 4) {
        const double* tw[3] = {twiddle_re(table, h), twiddle_re(table, 2 * h), twiddle_re(table, 3 * h)};
        radix4_pass<P>({z, first, end, h, 0, h, tw});
    }
}

// A sweep over the stages h, 2h, ... 2^(span-1) h needs the factors of
// stage 2^s h from the offsets 0, h, ... (2^s - 1) h at once: r[2^s - 1 + k]
// from offset k*h, made here from the recurrences at offset 0.
inline void run_to_offsets(TwiddleRecurrence* r, uint32_t span, size_t h, Riding& riding) {
    for (uint32_t k = 1; k < (1u << (span - 1)); ++k) {
        TwiddleRecurrence moving[kMaxSpan - 1];
        uint32_t n = 0;
        for (uint32_t stage = span - 1; (1u << stage) > k; --stage) {
            moving[n++] = r[(1u << stage) - 2 + k];
        }
        if (n == 2) {
            run_together<2>(moving, nullptr, h, riding);
        } else {
            run_together<1>(moving, nullptr, h, riding);
        }
        for (uint32_t i = 0; i < n; ++i) {
            r[(1u << (span - 1 - i)) - 1 + k] = moving[i];
        }
    }
}

// The next `count` factors of each of the n recurrences of a sweep into its
// table. avx_passes.cpp has a version that steps two recurrences per vector.
template <class P, int n>
struct FactorFill {
    static void run(TwiddleRecurrence* r, double* const* tables, size_t count, Riding& riding) {
        run_together<n>(r, tables, count, riding);
    }
};

// A sweep in progress: its recurrences, the chunk tables they fill, and
// what rides along.
struct SweepState {
    TwiddleRecurrence r[kMaxStreams];
    double chunks[kMaxStreams][kChunk * 4];
    double* tables[kMaxStreams];
    Riding riding;

    explicit SweepState(const RideAlong* along) : riding(start_riding(along)) {
        for (uint32_t k = 0; k < kMaxStreams; ++k) {
            tables[k] = chunks[k];
        }
    }
};

inline void start_sweep(SweepState& state, const Sweep& sweep) {
    for (uint32_t stage = 0; stage < sweep.span; ++stage) {
        state.r[(1u << stage) - 1] = stage_recurrence(sweep.t + stage);
    }
    run_to_offsets(state.r, sweep.span, sweep.h, state.riding);
}

// The sweep on the groups in `region`, chunk after chunk of factors over
// the offsets `offsets`, multiples of kChunk (the whole sweep: 0 ... h-1).
template <class P>
void sweep(double* z, const Sweep& sweep, Span region, Span offsets, SweepState& state) {
    for (size_t j0 = offsets.first; j0 < offsets.end; j0 += kChunk) {
        Pass pass = {z, region.first, region.end, sweep.h, j0, kChunk, state.tables};
        if (sweep.span == 3) {
            FactorFill<P, 7>::run(state.r, state.tables, kChunk, state.riding);
            radix8_pass<P>(pass);
        } else if (sweep.span == 2) {
            FactorFill<P, 3>::run(state.r, state.tables, kChunk, state.riding);
            radix4_pass<P>(pass);
        } else {
            FactorFill<P, 1>::run(state.r, state.tables, kChunk, state.riding);
            radix2_pass<P>(pass);
        }
    }
}

// stages_using (passes.h): the stages h < block block by block from a table
// filled by fill_stage_table for the block size, then the sweeps of
// plan_sweeps. `along`, if not null, rides along, and to its end.
template <class P>
void stages(double* z, size_t M, Span region, bool last, const double* table, RideAlong* along) {
    size_t block = M < kBlock ? M : kBlock;
    SweepState state(along);
    for (size_t b = region.first; b < region.end; b += block) {
        block_stages<P>(z, b, static_cast<uint32_t>(block), table);
    }
    Sweep plan[kMostSweeps];
    uint32_t sweeps = plan_sweeps(M, block, plan);
    for (uint32_t s = 0; s + (last ? 0 : 1) < sweeps; ++s) {
        start_sweep(state, plan[s]);
        sweep<P>(z, plan[s], region, {0, plan[s].h}, state);
    }
    finish_riding(state.riding, along);
}

// The last sweep (M > kBlock) for the offsets `offsets` alone, multiples of
// kChunk: w of stream 2^s - 1 + k at starts[2(2^s - 1 + k)] is stage 2^s h
// at offset k*h + offsets.first (see run_to_offsets).
template <class P>
void offset_sweep(double* z, size_t M, const double* starts, Span offsets) {
    SweepState state(nullptr);
    Sweep plan[kMostSweeps];
    const Sweep& last = plan[plan_sweeps(M, kBlock, plan) - 1];
    for (uint32_t stage = 0; stage < last.span; ++stage) {
        for (uint32_t k = 0; k < (1u << stage); ++k) {
            uint32_t stream = (1u << stage) - 1 + k;
            state.r[stream] = stage_recurrence(last.t + stage);
            state.r[stream].w = _mm_loadu_pd(starts + 2 * stream);
        }
    }
    sweep<P>(z, last, {0, M}, offsets, state);
}

SWEEPS_END
