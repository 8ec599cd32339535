// The program's numbers as text: the reader of the input's syntax and the
// output's format, the same on every build and in every locale.
#pragma once

#include <cstddef>

// The program's own text-to-double conversion. Takes the longest prefix of
//   [+-] (digits [. digits*] | . digits) [(e|E|d|D) [+-] digits]
// starting at `text` and returns the correctly rounded value; *end is set past
// it, or to `text` (value 0.0) when no number starts there. Overflow gives a
// signed infinity; underflow of a non-zero number gives +0.0 whatever its sign.
// `text` must be terminated by a byte outside that syntax (the text's zero).
double read_number(const char* text, const char** end);

// True when the whole of the zero-terminated `text` is one number of that
// syntax with a finite value (a command line's "--from 1e3"); the value goes
// to *value.
bool read_whole_number(const char* text, double* value);

// Writes `value` like printf's "%.<precision>g" (precision 9 or 4): the value is
// first rounded to 17 significant digits (nearest, ties to even), then half up
// to `precision`; exponent form with a sign and at least three digits when the
// rounded exponent is below -4 or at least `precision`; trailing zeros removed;
// infinities and NaNs as 1.#INF, -1.#INF, -1.#IND, [-]1.#QNAN, [-]1.#SNAN.
// Writes at most 24 bytes, no terminating zero; returns the count written.
size_t format_number(double value, int precision, char* out);
