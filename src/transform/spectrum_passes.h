// The split step and the rotation of real_spectrum on vectors of complex
// values (vectors.h): the sweep that finishes the bins. Internal to
// src/transform.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transform/passes.h"
#include "transform/twiddle.h"
#include "transform/vectors.h"

namespace {

// z * c for c = (cr, ci), as ((re*cr) - (im*ci), (im*cr) + (re*ci)).
// Nothing is negated: c is NaN when the origin phase is, and a NaN keeps its
// sign as the straightforward loop leaves it.
template <class P>
inline typename P::V rotated(typename P::V z, typename P::V c) {
    typename P::V a = P::mul(z, P::dup_re(c));
    typename P::V b = P::mul(P::swap(z), P::dup_im(c));
    return P::sub_add(a, b);
}

// The split step on p = z(j), q = z(M - j) with w = (wr, wi):
//   h1r = 0.5*(p.re + q.re); h1i = 0.5*(p.im - q.im);
//   h2r = 0.5*(p.im + q.im); h2i = 0.5*(q.re - p.re);
//   p = ((h1r + (wr*h2r)) - (wi*h2i), (h1i + (wr*h2i)) + (wi*h2r));
//   q = ((h1r - (wr*h2r)) + (wi*h2i), ((wr*h2i) - h1i) + (wi*h2r)).
template <class P>
inline void split_pair(typename P::V& p, typename P::V& q, typename P::V w) {
    using V = typename P::V;
    const V half = P::broadcast(0.5);
    V sum = P::add(p, q);                              // p.re + q.re, p.im + q.im
    V difference = P::sub(p, q);                       // p.re - q.re, p.im - q.im
    V reverse = P::sub(q, p);                          // q.re - p.re, q.im - p.im
    V h1 = P::mul(half, P::re_from(difference, sum));  // h1r, h1i
    V h2 = P::mul(half, P::im_re(sum, reverse));       // h2r, h2i
    V h2_swapped = P::swap(h2);                        // h2i, h2r
    V wr2 = P::dup_re(w);
    V wi2 = P::dup_im(w);
    V wr_h2 = P::mul(wr2, h2);          // wr*h2r, wr*h2i
    V wi_h2 = P::mul(wi2, h2_swapped);  // wi*h2i, wi*h2r
    p = P::sub_add(P::add(h1, wr_h2), wi_h2);
    V left = P::re_from(wr_h2, h1);   // h1r, wr*h2i
    V right = P::re_from(h1, wr_h2);  // wr*h2r, h1i
    q = P::add(P::sub(left, right), wi_h2);
}

// The rotation recurrence as the final sweep runs it on for the upper bins:
// next() puts c_k, c_{k+1}, ... (P::kWidth of them) in one vector and moves
// on to the next one. This form, for one complex value per vector, takes the
// scalar steps of next_rotation; avx_passes.cpp has a vector form.
template <class P>
struct UpperRotation {
    Rotation r;

    explicit UpperRotation(const Rotation& start) : r(start) {}

    typename P::V next() {
        typename P::V c = P::complex(r.cr, r.ci);
        next_rotation(r);
        return c;
    }

    void store(Rotation& out) const { out = r; }
};

// An Unfolding (passes.h) inside a loop, one step per call while steps are
// left; copied into the loop's own variables, so that it lives in
// registers there.
struct Unfold {
    Rotation c;
    TwiddleRecurrence w;
    double* rotation_chunk;
    double* split_chunk;
    uint32_t next;
    uint32_t count;

    void step() {
        if (next < count) {
            rotation_chunk[2 * size_t{next}] = c.cr;
            rotation_chunk[2 * size_t{next} + 1] = c.ci;
            next_rotation(c);
            _mm_storeu_pd(split_chunk + 2 * size_t{next}, w.w);
            w.w = next_twiddle(w.w, w.alpha2, w.beta2);
            ++next;
        }
    }
};

inline Unfold start_unfold(const Unfolding& u) {
    const double* s = u.split;
    TwiddleRecurrence w = {_mm_set_pd(s[1], s[0]), _mm_set1_pd(s[2]), _mm_set_pd(s[3], -s[3])};
    return {u.rotation, w, u.rotation_chunk, u.split_chunk, u.next, u.count};
}

inline void stop_unfold(const Unfold& unfold, Unfolding& u) {
    u.rotation = unfold.c;
    _mm_storeu_pd(u.split, unfold.w.w);
    u.next = unfold.next;
}

inline void prefetch(const double* z, size_t k) {
    _mm_prefetch(reinterpret_cast<const char*>(z + 2 * k), _MM_HINT_T0);
}

// Complex values ahead that the final sweep of a long transform asks the
// cache for. Its loop waits on recurrences every turn, so the processor
// alone runs too few turns ahead to keep memory busy; a request per cache
// line (4 values) makes up for it.
const uint32_t kPrefetchAhead = 256;

// The split step and the rotation for the pairs j, M - j with
// first <= j < end, from the transform z to the spectrum a (the same array
// or another), P::kWidth neighbours j at a time from the top down, so that
// their partners M - j come up in increasing order: their rotation factors
// come from the recurrence `upper` as it runs on, the others' from
// rotation_table (c_j at 2(j - base)), the split factors from split_table
// (w_j at 2(j - base)). The partners M - j - 1, M - j, ... are loaded
// together and put in the order of their neighbours j, j + 1, ... With
// `ahead` (a long transform), `unfold` takes a step per pair and the sweep
// asks for its data early; otherwise neither is needed.
template <class P, bool ahead>
void sweep_pairs(const double* z, double* a, uint32_t M, uint32_t first, uint32_t end, uint32_t base,
                 const double* split_table, const double* rotation_table, Rotation& upper,
                 Unfolding& unfolding) {
    using V = typename P::V;
    const uint32_t width = static_cast<uint32_t>(P::kWidth);
    UpperRotation<P> c(upper);  // in registers: a store to a[] cannot change it
    Unfold unfold = start_unfold(unfolding);
    for (uint32_t top = end; top >= first + width; top -= width) {
        uint32_t j = top - width;
        size_t k = M - j - (width - 1);  // the lowest of the partners
        if (ahead && j % 4 < width && j > kPrefetchAhead) {
            prefetch(z, j - kPrefetchAhead);
            prefetch(z, k + kPrefetchAhead);
        }
        V p = P::load(z + 2 * j);
        V q = P::reversed(P::load(z + 2 * k));
        split_pair<P>(p, q, P::load(split_table + 2 * (j - base)));
        P::store(a + 2 * j, rotated<P>(p, P::load(rotation_table + 2 * (j - base))));
        P::store(a + 2 * k, rotated<P>(P::reversed(q), c.next()));
        if (ahead) {
            for (uint32_t i = 0; i < width; ++i) {
                unfold.step();
            }
        }
    }
    c.store(upper);
    stop_unfold(unfold, unfolding);
}

template <class P>
void split_and_rotate(const double* z, double* a, uint32_t M, uint32_t first, uint32_t end, uint32_t base,
                      const double* split_table, const double* rotation_table, Rotation& upper,
                      Unfolding& unfolding, bool ahead) {
    if (ahead) {
        sweep_pairs<P, true>(z, a, M, first, end, base, split_table, rotation_table, upper, unfolding);
    } else {
        sweep_pairs<P, false>(z, a, M, first, end, base, split_table, rotation_table, upper, unfolding);
    }
}

}  // namespace
