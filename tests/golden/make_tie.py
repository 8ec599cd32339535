"""Writes tie_8192.txt and tie_8192.out: 8192 zero ordinates at x = 0, 1, ...

Every bin is zero, so the rows only exercise the frequencies k/8192. Those are
exact binary fractions; their nine-digit form is derived here with decimal
arithmetic (17 digits to even, then half up to nine), independently of the
program.
"""
from decimal import Decimal, ROUND_HALF_EVEN, ROUND_HALF_UP
import os

def g9(value):
    d = Decimal(value)
    if d == 0:
        return "0"
    e = d.adjusted()
    d17 = d.quantize(Decimal(1).scaleb(e - 16), rounding=ROUND_HALF_EVEN)
    d9 = d17.quantize(Decimal(1).scaleb(d17.adjusted() - 8), rounding=ROUND_HALF_UP)
    e9 = d9.adjusted()
    if e9 < -4 or e9 >= 9:
        digits = str(d9.scaleb(-e9).normalize())
        if "E" in digits:
            digits = str(d9.scaleb(-e9).quantize(Decimal(1)))
        return "%se%s%03d" % (digits, "-" if e9 < 0 else "+", abs(e9))
    text = format(d9, "f")
    if "." in text:
        text = text.rstrip("0").rstrip(".")
    return text

here = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(here, "tie_8192.txt"), "w") as f:
    for i in range(8192):
        f.write("%d 0\n" % i)
with open(os.path.join(here, "tie_8192.out"), "wb") as f:
    f.write(b"0\t0\t0\r\n")
    for k in range(1, 4096):
        f.write(("%s\t0\t0\r\n" % g9(Decimal(k) / Decimal(8192))).encode())
