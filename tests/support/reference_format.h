// format_number in its first, plain form: every digit string from the C++
// library's exact conversions, rounded as text. The fast routine in
// src/output must give the same bytes for every double and precision; the
// property tests compare against it.
#pragma once

#include <cstddef>

// Same contract as format_number.
size_t reference_format_number(double value, int precision, char* out);
