"""Writes examples/signal.txt: 3000 samples, 1 ms apart, starting at t = 0.5 s.

y(t) = 0.2 + sin(2 pi 50 t) + 0.5 cos(2 pi 120 t + 0.3) + a little noise,
so the spectrum peaks near 50 Hz (about 1.5 = 3000 * 0.001 / 2) and 120 Hz.
"""
import math
import os
import random

rng = random.Random(2026)
path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "signal.txt")
with open(path, "w", newline="\n") as f:
    for n in range(3000):
        t = 0.5 + n * 0.001
        y = 0.2 + math.sin(2 * math.pi * 50 * t) + 0.5 * math.cos(2 * math.pi * 120 * t + 0.3)
        y += rng.gauss(0.0, 0.05)
        f.write("%.3f\t%.6f\n" % (t, y))
