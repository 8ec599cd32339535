// Output: the spectrum file, its magnitudes and phases in the number format.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/failure.h"
#include "common/records.h"
#include "common/workers.h"
#include "platform/platform.h"

// True when `value` is a finite, non-zero number of magnitude at most 4 that
// lies far enough (about 1e-3 of a unit in its ninth digit) from every point
// where its nine-digit form changes that an error of a few units in its last
// place cannot change what format_number(value, 9) prints.
bool nine_digits_settled(double value);

// The phase atan2(im, re) of a bin in format_number's nine-digit form, as
// printed from the correctly rounded angle on every build: the C library's
// atan2 where it settles the digits, the portable one elsewhere.
size_t format_phase(double im, double re, char* out);

// The magnitude sqrt(re * re + im * im) of a bin, as the rows print it: that
// plain formula wherever the sum of squares is a finite normal number or zero;
// where the sum overflows, or falls below the smallest normal double while a
// part is non-zero, what the same formula gives without bounds on the exponent
// (rounded once more where the magnitude itself is subnormal, and infinite
// where it is beyond the largest double).
double bin_magnitude(double re, double im);

// write_spectrum formats the rows of an N-point spectrum in rounds of this
// many (the last round may be shorter) and writes each round once it is
// formatted; with several workers (kMostWriteThreads and kWriteThreadRows
// in workers.h), while the next round is being formatted. Without memory for
// its buffers it takes smaller rounds on one thread.
uint32_t rows_per_round(uint32_t N, const Workers& workers);

// Creates the file at `path` and writes the warnings and the spectrum rows,
// formatted on up to workers.count threads.
// Fails with "CreateFile(GENERIC_WRITE, FILE_SHARE_READ) failed" when the file
// cannot be created and "WriteFile failed" when a write or the close fails (the
// partial file is then removed).
FailureMessage write_spectrum(const PathChar* path, uint32_t count, uint32_t N, const StepInfo& step,
                              const double* spectrum, const Workers& workers);
