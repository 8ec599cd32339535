"""Writes the benchmark inputs deterministically (they are not stored).

    python3 bench/make_inputs.py DIR [COUNT ...]

DIR/samples-COUNT.txt holds COUNT lines like `0.001234500<TAB>1.251665e+00`:
abscissae 0.5 us apart written with nine decimals, ordinates a few tones and
noise in %.6e form. The default counts are 100000, 1000000 and 10000000
(the last is about 254 MB).
"""
import math
import os
import random
import sys

def write(path, count):
    rng = random.Random(count)
    step = 5e-7
    with open(path, "w", newline="\n") as f:
        lines = []
        for n in range(count):
            t = 0.001 + n * step
            y = math.sin(2 * math.pi * 1000 * t) + 0.25 * math.cos(2 * math.pi * 7300 * t) + rng.gauss(0, 0.1)
            lines.append("%.9f\t%.6e\n" % (t, y))
            if len(lines) == 100000:
                f.write("".join(lines))
                lines = []
        f.write("".join(lines))

def main():
    folder = sys.argv[1]
    counts = [int(c) for c in sys.argv[2:]] or [100000, 1000000, 10000000]
    os.makedirs(folder, exist_ok=True)
    for count in counts:
        path = os.path.join(folder, "samples-%d.txt" % count)
        if not os.path.exists(path):
            write(path, count)
        print(path)

if __name__ == "__main__":
    main()
