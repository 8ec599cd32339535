#!/usr/bin/env python3
"""Writes tests/support/format_table.inc: doubles with the text format_number
must write for them at nine and at four digits, worked out here from each
double's exact value with Python's fractions and integers only.

The format: the value rounded to 17 significant digits (nearest, ties to
even), then half up to the precision; trailing zeros dropped; the exponent
form d.ddde+XXX (a sign and at least three digits) when the decimal exponent
is below -4 or at least the precision, the plain form otherwise; "-" on
every value whose sign bit is set, zeros included; infinities and NaNs
spelt 1.#INF, -1.#INF, -1.#IND (the default NaN of invalid arithmetic),
[-]1.#QNAN and [-]1.#SNAN.

The doubles: every power of ten a double reaches and the ties just below it
that round up to it (the digit count, the exponent and the layout change
there), their neighbours near 1, the layout edges, subnormals, the largest
and smallest doubles, signed zeros, non-finite values, and a fixed
pseudo-random sample (near ties, spectrum-like magnitudes, any bits).

Run from anywhere; the output path is fixed relative to this script. With
--check the script compares instead of writing and exits 1 on a difference.
"""

import os
import random
import struct
import sys
from fractions import Fraction

from generated_file import write_or_check

OUTPUT = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                      "..", "tests", "support", "format_table.inc")

SIGN = 1 << 63
EXPONENT_MASK = 0x7FF << 52
FRACTION_MASK = (1 << 52) - 1


def bits_of(x):
    return struct.unpack("<Q", struct.pack("<d", x))[0]


def non_finite_text(bits):
    negative = "-" if bits & SIGN else ""
    fraction = bits & FRACTION_MASK
    if fraction == 0:
        return negative + "1.#INF"
    if bits == 0xFFF8000000000000:
        return "-1.#IND"
    if fraction >> 51:
        return negative + "1.#QNAN"
    return negative + "1.#SNAN"


def exact_value(bits):
    """|value| as a Fraction, from the fields of the double."""
    biased = (bits & EXPONENT_MASK) >> 52
    m = bits & FRACTION_MASK
    if biased:
        m += 1 << 52
    q = max(biased, 1) - 1075
    return Fraction(m) * Fraction(2) ** q


def decimal_exponent(v):
    """The e with 10^e <= v < 10^(e+1), v > 0."""
    e = len(str(v.numerator)) - len(str(v.denominator))
    while Fraction(10) ** e > v:
        e -= 1
    while Fraction(10) ** (e + 1) <= v:
        e += 1
    return e


def text(bits, precision):
    if bits & EXPONENT_MASK == EXPONENT_MASK:
        return non_finite_text(bits)
    sign = "-" if bits & SIGN else ""
    v = exact_value(bits)
    if v == 0:
        return sign + "0"
    e = decimal_exponent(v)
    # 17 digits, ties to even: 10^16 <= n <= 10^17.
    scaled = v / Fraction(10) ** (e - 16)
    n = scaled.numerator // scaled.denominator
    rest = scaled - n
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and n % 2 == 1):
        n += 1
    if n == 10 ** 17:
        n, e = 10 ** 16, e + 1
    # Half up to `precision` digits.
    unit = 10 ** (17 - precision)
    d, below = divmod(n, unit)
    if 2 * below >= unit:
        d += 1
    if d == 10 ** precision:
        d, e = 10 ** (precision - 1), e + 1
    digits = str(d).rstrip("0")
    if e < -4 or e >= precision:
        mantissa = digits[0] + ("." + digits[1:] if len(digits) > 1 else "")
        return "%s%se%s%03d" % (sign, mantissa, "-" if e < 0 else "+", abs(e))
    if e < 0:
        return sign + "0." + "0" * (-e - 1) + digits
    whole = digits.ljust(e + 1, "0")
    return sign + whole[: e + 1] + ("." + digits[e + 1:] if len(digits) > e + 1 else "")


def neighbours(bits, reach):
    """bits and the finite doubles up to `reach` ulps either side, same sign."""
    magnitude = bits & ~SIGN
    out = []
    for j in range(-reach, reach + 1):
        b = magnitude + j
        if 0 < b < EXPONENT_MASK:
            out.append(b | (bits & SIGN))
    return out


def rows():
    wanted = []  # (bits, precision)

    def add(bits, precisions=(9, 4)):
        for p in precisions:
            wanted.append((bits, p))

    # Worked examples: layouts, exponent widths, both precisions.
    for x in (2.0 / 3.0, 9.9999999996, 0.0001, 0.00001, 0.000123456789, -2.5e-7,
              123456789.0, 100000000.0, 1e9, 1234567890.0, 1e-10, 1e100, 0.5,
              3.14159265358979, 0.00048828125, 0.012345, 1.5e-5, 1234.0,
              1234567885.0, 999999999.5, 999999999.4, 9.9995, 12345.0, 99995.0,
              0.00099995, 2.0 ** -11, 2.0 ** -13, -1.23456789e-308,
              123456.78849999999, 1.2345678849999999e-08, 0.1, 0.2, 0.3,
              1.0 / 3.0, 10.0, 100.0, 99999.0, 999999.0, 1e-4 * 0.99999999995):
        add(bits_of(x))
    # Zeros, non-finite values.
    for bits in (0, SIGN, 0x7FF0000000000000, 0xFFF0000000000000, 0xFFF8000000000000,
                 0x7FF8000000000000, 0xFFF8000000000001, 0x7FFFFFFFFFFFFFFF,
                 0xFFFC000000000000, 0x7FF0000000000001, 0xFFF4000000000000,
                 0x7FF7FFFFFFFFFFFF):
        add(bits)
    # Subnormals, the smallest normal, the largest doubles.
    for bits in list(range(1, 17)) + neighbours(1 << 52, 3) + neighbours(FRACTION_MASK, 2) + \
            neighbours(0x7FEFFFFFFFFFFFFF, 3):
        add(bits)
        add(bits | SIGN, (9,))
    # Every power of ten and the ties below it that carry up to it.
    for n in range(-324, 309):
        power = bits_of(float("1e%d" % n))
        if power:
            for b in neighbours(power, 1 if -12 <= n <= 12 else 0):
                add(b)
        for p in (9, 4):
            tie = bits_of(float("9" * p + "5e%d" % (n - p - 1)))
            if 0 < tie < EXPONENT_MASK:
                for b in neighbours(tie, 1 if -12 <= n <= 12 else 0):
                    add(b, (p,))
    # A fixed sample; getrandbits of a seeded generator is the same in every
    # Python 3.
    rng = random.Random(20261207)
    for _ in range(400):
        p = rng.choice((9, 4))
        digits = str(rng.randrange(10 ** (p - 1), 10 ** p))
        tie = bits_of(float(digits + "5e%d" % (rng.randrange(-320, 300))))
        if 0 < tie < EXPONENT_MASK:
            for b in neighbours(tie, 1):
                add(b, (p,))
    for _ in range(400):
        exponent = 1023 - 40 + rng.randrange(81)
        add((rng.getrandbits(1) << 63) | (exponent << 52) | rng.getrandbits(52))
    for _ in range(400):
        bits = rng.getrandbits(64)
        if bits & EXPONENT_MASK != EXPONENT_MASK:
            add(bits)

    seen = set()
    out = []
    for bits, p in wanted:
        if (bits, p) not in seen:
            seen.add((bits, p))
            out.append((bits, p, text(bits, p)))
    return out


def render():
    lines = [
        "// Written by scripts/gen_format_table.py from each double's exact value",
        "// (Python fractions); do not edit. {bits, precision, text}",
    ]
    for bits, p, t in rows():
        lines.append('{0x%016XULL, %d, "%s"},' % (bits, p, t))
    return "\n".join(lines) + "\n"


def main():
    return write_or_check(OUTPUT, render())


if __name__ == "__main__":
    sys.exit(main())
