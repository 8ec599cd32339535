// The program's number text worked out from a double's exact decimal value,
// with integer arithmetic only: no floating-point operation, no library
// conversion. The value m * 2^q is written out in full in base 10^9 (for
// q < 0 as m * 5^-q scaled by 10^q), then its digit string is rounded to 17
// significant digits (nearest, ties to even), then half up to `precision`,
// and laid out as "%g" does, with an exponent of at least three digits.
// The judge of format_number in the tests; slow (microseconds a value).
#pragma once

#include <string>

// `value` must be finite; `precision` 1 ... 17.
std::string exact_format(double value, int precision);
