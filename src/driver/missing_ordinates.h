// The silent zeros of a comma- or semicolon-separated file: "5,6" reads as
// the sample (5, 0), since no number starts at the comma.
#pragma once

#include <cstdint>

#include "common/records.h"

// True when every value of the N-value spectrum is 0 (most spectra show a
// non-zero value among their first few, so this costs next to nothing on
// them) and no record of the text has a number where its ordinate is
// expected: every ordinate read as 0 because none was there. A signal of
// real zeros ("0" cells) gives false.
bool ordinates_missing(const TextBuffer& text, const double* spectrum, uint32_t N);

// What the Linux build says after such a run.
extern const char kMissingOrdinatesNote[];
