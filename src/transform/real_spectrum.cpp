#include <cmath>

#include "transform/transform.h"

// 2*pi as a double; the origin phase is formed from exactly this value.
static const double kTwoPi = 6.283185307179586;

// w <- w * e^(i*theta), with alpha = cos(theta) - 1 and beta = sin(theta).
// Both lines use the old wr: the recurrence steps from the last twiddle.
static inline void advance_twiddle(double& wr, double& wi, double alpha, double beta)
{
    double old_wr = wr;
    wr = old_wr + ((old_wr * alpha) - (wi * beta));
    wi = wi + ((old_wr * beta) + (wi * alpha));
}

// Separates the transform z of the N/2 complex values (y(2j), y(2j+1)) into the
// transform of the N real values y. Bins j and M - j are finished together, so
// the middle bin z(N/4) is its own partner and needs nothing.
static void split_step(double* a, uint32_t N)
{
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

// Multiplies bin k = 1 ... M - 1 by dx * e^(i*k*phi). The factor is carried by
// repeated multiplication with (cphi, sphi) so that cos and sin are called once;
// the rotation and the step both use the old values of their pair.
static void rotate_bins(double* a, uint32_t M, double cphi, double sphi, double dx)
{
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

void real_spectrum(double* a, uint32_t N, double x0, double dx)
{
    // A single value is its own zero-frequency sum; there is no Nyquist slot.
    if (N < 2) {
        if (N == 1) {
            a[0] = a[0] * dx;
        }
        return;
    }
    uint32_t M = N / 2;
    bit_reverse(a, M);
    complex_fft(a, M);
    split_step(a, N);

    // Both products are formed before the division; N converts as unsigned.
    double phi = (x0 * kTwoPi) / (static_cast<double>(N) * dx);
    double cphi = std::cos(phi);
    double sphi = std::sin(phi);

    a[0] = a[0] * dx;
    a[1] = a[1] * dx;
    rotate_bins(a, M, cphi, sphi, dx);
}
