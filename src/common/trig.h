// Cosine, sine and two-argument arc tangent that give the same bits on every
// target. They use nothing but IEEE double addition, subtraction,
// multiplication and division (each correctly rounded, with no fused
// multiply-add and no wider intermediates) and integer arithmetic, never the
// C library, so their results depend on the arguments alone, not on the
// library or the processor's x87 unit. Each value is evaluated to about 100
// bits and rounded once: the result is the correctly rounded one unless the
// exact value lies within about 2^-95 (relative) of the midpoint between two
// doubles. Subnormal results included; the constants come from
// scripts/gen_trig_tables.py (common/trig_tables.h).
#pragma once

// Any double; infinities and NaN give NaN. portable_sincos gives both at
// once; the other two are its halves, and take as long.
void portable_sincos(double x, double* sine, double* cosine);
double portable_cos(double x);
double portable_sin(double x);

// The angle of (x, y) in [-pi, pi], with the signed zeros, infinities and NaN
// of the C standard's atan2.
double portable_atan2(double y, double x);

// The angle of (x, y) within 2e-15 of the exact one (relative), in about a
// quarter of the time portable_atan2 and a 32-bit C runtime's x87 atan2 take.
// Zeros, infinities, NaN and ratios of the smaller magnitude to the larger
// below 2^-60 get portable_atan2's correctly rounded result.
double quick_atan2(double y, double x);
