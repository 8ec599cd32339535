#!/usr/bin/env python3
"""make_corpus.py COUNT DIR [SEED]: writes COUNT sample files DIR/cNNNNN.txt
for the differential test of the two builds. The same COUNT and SEED always
give the same bytes (Python's Mersenne Twister and float repr are fixed).

The files aim at what makes the two builds' arithmetic part ways: origins
far from 0 (the origin phase goes through cos and sin), any step, long runs
of bins (every phase goes through atan2), counts that are and are not powers
of two, abscissae that deviate from the mean step, and number text in several
spellings. A few files are meant to fail, so that messages are compared too.
"""
import math
import random
import sys


def point_count(rng):
    kind = rng.random()
    if kind < 0.25:
        return rng.randint(2, 64)
    if kind < 0.45:
        return 2 ** rng.randint(1, 12)
    if kind < 0.55:
        return 2 ** rng.randint(2, 12) + rng.choice((-1, 1))
    return rng.randint(65, 5000)


def origin(rng):
    kind = rng.random()
    if kind < 0.1:
        return 0.0
    magnitude = 10.0 ** rng.uniform(-3.0, 7.0)
    return magnitude if rng.random() < 0.6 else -magnitude


def step(rng):
    return rng.uniform(1.0, 10.0) * 10.0 ** rng.randint(-5, 3)


def ordinates(rng, n):
    scale = 10.0 ** rng.uniform(-6.0, 6.0)
    kind = rng.randrange(4)
    if kind == 0:
        return [rng.gauss(0.0, scale) for _ in range(n)]
    if kind == 1:
        return [rng.uniform(-scale, scale) + scale for _ in range(n)]
    if kind == 2:  # a few tones and some noise
        tones = [(rng.uniform(0.0, 0.5), rng.uniform(0.0, 2 * math.pi), rng.uniform(0.1, 1.0))
                 for _ in range(rng.randint(1, 4))]
        return [scale * sum(a * math.cos(2 * math.pi * f * i + p) for f, p, a in tones)
                + rng.gauss(0.0, scale * 0.01) for i in range(n)]
    return [float(rng.randint(-1000, 1000)) for _ in range(n)]


def spell(rng, value, style):
    if style == 0:
        return repr(value)
    if style == 1:
        return '%.10g' % value
    if style == 2:
        return ('%.6E' % value).replace('E', rng.choice('eEdD'))
    return '%.15g' % value


def abscissae(rng, n, x0, dx):
    kind = rng.random()
    if kind < 0.6:
        return [x0 + i * dx for i in range(n)]
    if kind < 0.85:  # jitter far below the 1 % limit: a deviation warning
        jitter = dx * 10.0 ** rng.uniform(-9.0, -3.0)
        return [x0 + i * dx + rng.uniform(-jitter, jitter) for i in range(n)]
    if kind < 0.97:  # one stray interval
        xs = [x0 + i * dx for i in range(n)]
        k = rng.randrange(n)
        xs[k] += dx * rng.uniform(-0.004, 0.004)
        return xs
    xs = [x0 + i * dx for i in range(n)]  # beyond the limit: a failure
    k = rng.randrange(1, n)
    xs[k] += dx * rng.choice((-1, 1)) * rng.uniform(0.02, 0.5)
    return xs


def sample_file(rng):
    n = point_count(rng)
    x0, dx = origin(rng), step(rng)
    xs = abscissae(rng, n, x0, dx)
    ys = ordinates(rng, n)
    # Abscissae keep enough digits for the step to survive the text, except
    # where a short spelling still resolves it.
    style_x = rng.choice((0, 3, 3, 1)) if abs(x0) < 1e4 * dx else rng.choice((0, 3))
    style_y = rng.randrange(4)
    separator = rng.choice((' ', '\t', '  ', ' \t'))
    newline = rng.choice(('\n', '\n', '\r\n'))
    lines = [spell(rng, x, style_x) + separator + spell(rng, y, style_y) for x, y in zip(xs, ys)]
    text = newline.join(lines)
    if rng.random() < 0.8:
        text += newline
    return text.encode('ascii')


def main():
    count = int(sys.argv[1])
    directory = sys.argv[2]
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 20240601
    rng = random.Random(seed)
    for index in range(count):
        with open('%s/c%05d.txt' % (directory, index), 'wb') as f:
            f.write(sample_file(rng))


if __name__ == '__main__':
    main()
