// The transform in its plainest form: one butterfly after another, stage by
// stage, in the order of the textbook loops. The fast routines in
// src/transform must reproduce these results bit for bit; the property tests
// and the benchmark compare against them.
#pragma once

#include <cstdint>

// Same contracts as bit_reverse, complex_fft and real_spectrum.
void reference_bit_reverse(double* z, uint32_t M);
void reference_complex_fft(double* z, uint32_t M);
void reference_real_spectrum(double* a, uint32_t N, double x0, double dx);
