// The split step and the rotation of real_spectrum on vectors of complex
// values (vectors.h): the sweep that finishes the bins.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transform/passes.h"
#include "transform/sweeps_namespace.h"
#include "transform/twiddle.h"
#include "transform/vectors.h"

SWEEPS_BEGIN

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
// next() gives the next P::kWidth factors in one vector. avx_passes.cpp has
// a vector form.
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

// One step of an Unfolding (passes.h) while steps are left. The loops copy
// the Unfolding into a variable of their own, so that it lives in registers.
inline void unfold_step(Unfolding& u) {
    if (u.next < u.count) {
        u.rotation_chunk[2 * size_t{u.next}] = u.c.cr;
        u.rotation_chunk[2 * size_t{u.next} + 1] = u.c.ci;
        next_rotation(u.c);
        _mm_storeu_pd(u.split_chunk + 2 * size_t{u.next}, u.w.w);
        u.w.w = next_twiddle(u.w.w, u.w.alpha2, u.w.beta2);
        ++u.next;
    }
}

// Complex values ahead that the final sweep asks the cache for. Its loop
// waits on recurrences every turn, so the processor alone runs too few
// turns ahead to keep memory busy; a request per cache line (4 values)
// makes up for it.
const uint32_t kPrefetchAhead = 256;

// The split step and the rotation for the pairs of `pairs` (passes.h),
// P::kWidth neighbours j at a time from the top down, so that the partners
// M - j come up in increasing order and take their rotation factors from
// `upper` as it runs on; they are loaded together and reversed to match
// j, j + 1, ... `unfolding` takes a step per pair.
template <class P>
void split_and_rotate(const double* z, double* a, const PairRange& pairs, Rotation& upper,
                      Unfolding& unfolding) {
    using V = typename P::V;
    const uint32_t width = static_cast<uint32_t>(P::kWidth);
    const PairRange r = pairs;
    UpperRotation<P> c(upper);  // in registers: a store to a[] cannot change it
    Unfolding unfold = unfolding;
    for (uint32_t top = r.end; top >= r.first + width; top -= width) {
        uint32_t j = top - width;
        size_t k = r.M - j - (width - 1);  // the lowest of the partners
        if (j % 4 < width && j > kPrefetchAhead) {
            _mm_prefetch(reinterpret_cast<const char*>(z + 2 * (j - kPrefetchAhead)), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(z + 2 * (k + kPrefetchAhead)), _MM_HINT_T0);
        }
        V p = P::load(z + 2 * j);
        V q = P::reversed(P::load(z + 2 * k));
        split_pair<P>(p, q, P::load(r.split + 2 * (j - r.base)));
        P::store(a + 2 * j, rotated<P>(p, P::load(r.rotation + 2 * (j - r.base))));
        P::store(a + 2 * k, rotated<P>(P::reversed(q), c.next()));
        for (uint32_t i = 0; i < width; ++i) {
            unfold_step(unfold);
        }
    }
    c.store(upper);
    unfolding = unfold;
}

SWEEPS_END
