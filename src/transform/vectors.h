// A vector policy P names a vector type P::V that holds P::kWidth complex
// values (re, im) side by side, and the few operations the sweeps use. Sse2
// is the baseline of both builds; the AVX policy lives in avx_passes.cpp.
// Each file gets its own copies (sweeps_namespace.h).
#pragma once

#include <emmintrin.h>

#include <cstddef>

#include "transform/sweeps_namespace.h"

SWEEPS_BEGIN

struct Sse2 {
    using V = __m128d;
    static constexpr size_t kWidth = 1;
    static V load(const double* p) { return _mm_loadu_pd(p); }
    static void store(double* p, V v) { _mm_storeu_pd(p, v); }
    static V add(V a, V b) { return _mm_add_pd(a, b); }
    static V sub(V a, V b) { return _mm_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm_mul_pd(a, b); }
    static V broadcast(double x) { return _mm_set1_pd(x); }
    static V complex(double re, double im) { return _mm_set_pd(im, re); }
    // (re, im) -> (im, re) in every complex.
    static V swap(V a) { return _mm_shuffle_pd(a, a, 1); }
    // (re, im) -> (re, re) and (im, im).
    static V dup_re(V a) { return _mm_unpacklo_pd(a, a); }
    static V dup_im(V a) { return _mm_unpackhi_pd(a, a); }
    // re from b, im from a, in every complex.
    static V re_from(V a, V b) { return _mm_move_sd(a, b); }
    // (a.re - b.re, a.im + b.im) in every complex (SSE3's addsubpd).
    static V sub_add(V a, V b) { return re_from(add(a, b), sub(a, b)); }
    // (a.im, b.re) in every complex.
    static V im_re(V a, V b) { return _mm_shuffle_pd(a, b, 1); }
    // The complex values in the opposite order.
    static V reversed(V a) { return a; }
};

SWEEPS_END
