// Transform: the radix-2 complex FFT and the scaled real-input spectrum.
#pragma once

#include <cstdint>

#include "common/workers.h"

// kSineTable[j] = sin(2*pi / 2^j), the nearest double, j = 0 ... 48.
extern const double kSineTable[49];

// z holds M complex values interleaved (re, im). Permutes z into bit-reversed
// order; nothing happens for M <= 2.
void bit_reverse(double* z, uint32_t M);

// The butterfly stages on bit-reversed input: afterwards
// z(k) = sum_j z(j) * exp(+2*pi*i*j*k / M), unscaled. M is a power of two or 0.
void complex_fft(double* z, uint32_t M);

// The longest transform real_spectrum takes: a sample line has at least
// four bytes ("0 0" and its line end), so an input shorter than 2^28 bytes
// pads to at most 2^26 values.
const uint32_t kMaxLength = 1u << 26;

// Turns N real values (N a power of two, N >= 2, N <= kMaxLength) into the
// spectrum in place:
// a[0] = dx * sum y, a[1] = dx * sum (-1)^n y, and for k = 1 ... N/2 - 1 the bin
// (a[2k], a[2k+1]) = dx * sum_n y(n) * exp(+2*pi*i*k*(x0 + n*dx) / (N*dx)).
// Long transforms run on up to workers.count threads, started by
// workers.run; the result is the same bits on any number.
void real_spectrum(double* a, uint32_t N, double x0, double dx, const Workers& workers);
