#include "transform/transform.h"

// One butterfly on z(i) and z(i + h) with the twiddle factor (wr, wi).
static inline void butterfly(double* p, double* q, double wr, double wi)
{
    double tr = (q[0] * wr) - (q[1] * wi);
    double ti = (q[1] * wr) + (q[0] * wi);
    q[0] = p[0] - tr;
    q[1] = p[1] - ti;
    p[0] = p[0] + tr;
    p[1] = p[1] + ti;
}

// w <- w * e^(i*theta), with alpha = cos(theta) - 1 and beta = sin(theta).
// Both lines use the old wr: the recurrence steps from the last twiddle.
static inline void advance_twiddle(double& wr, double& wi, double alpha, double beta)
{
    double old_wr = wr;
    wr = old_wr + ((old_wr * alpha) - (wi * beta));
    wi = wi + ((old_wr * beta) + (wi * alpha));
}

void complex_fft(double* z, uint32_t M)
{
    if (M <= 1) {
        return;
    }
    uint32_t t = 1;
    for (uint32_t h = 1; h < M; h *= 2, ++t) {
        uint32_t L = 2 * h;
        // The half-angle form gives cos(2*pi/L) - 1 without cancellation.
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
