// Cosine, sine and two-argument arc tangent that give the same bits on every
// target. They use nothing but IEEE double addition, subtraction,
// multiplication and division (each correctly rounded, with no fused
// multiply-add and no wider intermediates) and integer arithmetic, so their
// results depend on the argument alone, not on the C library or the
// processor's x87 unit. Each value is evaluated to about 100 bits and rounded
// once: the result is the correctly rounded one unless the exact value lies
// within about 2^-95 (relative) of the midpoint between two doubles.
#pragma once

// Any double; infinities and NaN give NaN.
double portable_cos(double x);
double portable_sin(double x);

// Both of the above for one argument, the same bits, in little more than the
// time of one.
void portable_sincos(double x, double* sine, double* cosine);

// The angle of (x, y) in [-pi, pi], with the signed zeros, infinities and NaN
// of the C standard's atan2.
double portable_atan2(double y, double x);

// The angle of (x, y) within 2e-15 of the exact one (relative), in about a
// quarter of the time portable_atan2 and a 32-bit C runtime's x87 atan2 take.
// Zeros, infinities, NaN and ratios below 1e-150 get the C library's atan2.
double quick_atan2(double y, double x);
