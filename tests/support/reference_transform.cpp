#include "support/reference_transform.h"

#include <cmath>

#include "common/trig.h"
#include "transform/transform.h"

// Copied from the first, straightforward version of src/transform and kept
// unchanged: any reordering here would make it useless as a reference.

static const double kTwoPi = 6.283185307179586;

static void swap_complex(double* z, uint32_t i, uint32_t j) {
    double re = z[2 * i];
    double im = z[2 * i + 1];
    z[2 * i] = z[2 * j];
    z[2 * i + 1] = z[2 * j + 1];
    z[2 * j] = re;
    z[2 * j + 1] = im;
}

void reference_bit_reverse(double* z, uint32_t M) {
    if (M <= 2) {
        return;
    }
    uint32_t j = 0;
    for (uint32_t i = 0; i + 1 < M; ++i) {
        if (j > i) {
            swap_complex(z, i, j);
        }
        uint32_t m = M / 2;
        while (m >= 1 && j >= m) {
            j -= m;
            m /= 2;
        }
        j += m;
    }
}

static void butterfly(double* p, double* q, double wr, double wi) {
    double tr = (q[0] * wr) - (q[1] * wi);
    double ti = (q[1] * wr) + (q[0] * wi);
    q[0] = p[0] - tr;
    q[1] = p[1] - ti;
    p[0] = p[0] + tr;
    p[1] = p[1] + ti;
}

static void advance_twiddle(double& wr, double& wi, double alpha, double beta) {
    double old_wr = wr;
    wr = old_wr + ((old_wr * alpha) - (wi * beta));
    wi = wi + ((old_wr * beta) + (wi * alpha));
}

void reference_complex_fft(double* z, uint32_t M) {
    if (M <= 1) {
        return;
    }
    uint32_t t = 1;
    for (uint32_t h = 1; h < M; h *= 2, ++t) {
        uint32_t L = 2 * h;
        double s = kSineTable[t + 1];
        double alpha = (s * -2.0) * s;
        double beta = kSineTable[t];
        double wr = 1.0;
        double wi = 0.0;
        for (uint32_t j = 0; j < h; ++j) {
            for (uint32_t i = j; i < M; i += L) {
                butterfly(&z[2 * i], &z[2 * (i + h)], wr, wi);
            }
            advance_twiddle(wr, wi, alpha, beta);
        }
    }
}

static void split_step(double* a, uint32_t N) {
    uint32_t M = N / 2;
    uint32_t t = 0;
    while ((N >> t) > 1) {
        ++t;
    }
    double s = kSineTable[t + 1];
    double alpha = (s * -2.0) * s;
    double beta = kSineTable[t];
    double wr = alpha + 1.0;
    double wi = beta;

    double a0 = a[0];
    double a1 = a[1];
    a[0] = a0 + a1;
    a[1] = a0 - a1;

    for (uint32_t j = 1; j < N / 4; ++j) {
        double* p = &a[2 * j];
        double* q = &a[2 * (M - j)];
        double h1r = 0.5 * (p[0] + q[0]);
        double h1i = 0.5 * (p[1] - q[1]);
        double h2r = 0.5 * (p[1] + q[1]);
        double h2i = 0.5 * (q[0] - p[0]);
        p[0] = (h1r + (wr * h2r)) - (wi * h2i);
        p[1] = (h1i + (wr * h2i)) + (wi * h2r);
        q[0] = (h1r - (wr * h2r)) + (wi * h2i);
        q[1] = ((wr * h2i) - h1i) + (wi * h2r);
        advance_twiddle(wr, wi, alpha, beta);
    }
}

static void rotate_bins(double* a, uint32_t M, double cphi, double sphi, double dx) {
    double cr = cphi * dx;
    double ci = sphi * dx;
    for (uint32_t k = 1; k < M; ++k) {
        double re = a[2 * k];
        double im = a[2 * k + 1];
        a[2 * k] = (re * cr) - (im * ci);
        a[2 * k + 1] = (im * cr) + (re * ci);
        double old_cr = cr;
        cr = (old_cr * cphi) - (ci * sphi);
        ci = (ci * cphi) + (old_cr * sphi);
    }
}

void reference_real_spectrum(double* a, uint32_t N, double x0, double dx) {
    if (N < 2) {
        if (N == 1) {
            a[0] = a[0] * dx;
        }
        return;
    }
    uint32_t M = N / 2;
    reference_bit_reverse(a, M);
    reference_complex_fft(a, M);
    split_step(a, N);

    double phi = (x0 * kTwoPi) / (static_cast<double>(N) * dx);
    double cphi = portable_cos(phi);
    double sphi = portable_sin(phi);

    a[0] = a[0] * dx;
    a[1] = a[1] * dx;
    rotate_bins(a, M, cphi, sphi, dx);
}
