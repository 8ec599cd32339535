// Output: the spectrum file and the program's own number format.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/failure.h"
#include "common/records.h"
#include "platform/platform.h"

// Writes `value` like printf's "%.<precision>g" (precision 9 or 4): the value is
// first rounded to 17 significant digits (nearest, ties to even), then half up
// to `precision`; exponent form with a sign and at least three digits when the
// rounded exponent is below -4 or at least `precision`; trailing zeros removed;
// infinities and NaNs as 1.#INF, -1.#INF, -1.#IND, [-]1.#QNAN, [-]1.#SNAN.
// Writes at most 24 bytes, no terminating zero; returns the count written.
size_t format_number(double value, int precision, char* out);

// Creates the file at `path` and writes the warnings and the spectrum rows.
// Fails with "CreateFile(GENERIC_WRITE, FILE_SHARE_READ) failed" when the file
// cannot be created and "WriteFile failed" when a write or the close fails (the
// partial file is then removed).
FailureMessage write_spectrum(const PathChar* path, uint32_t count, uint32_t N, const StepInfo& step,
                              const double* spectrum);
