"""Spectra for fftext-plot's tests, and checks of the pictures it draws.

    plot_check.py big FILE ROWS              ROWS noisy rows, frequencies 0, 1, 2, ...
    plot_check.py peak FILE ROWS PEAK DIP    the same with one row of 1000 at PEAK
                                             and one of 1e-9 at DIP
    plot_check.py extremes SVG ROWS PEAK DIP the peak is the highest point drawn and
                                             the dip lies on the bottom edge, each at
                                             its frequency's x; one or two points per
                                             pixel column
    plot_check.py count SVG                  the number of points of the magnitude line
    plot_check.py tones FILE                 4096 samples at 1024 Hz: tones of 1, 0.6
                                             and 0.8 at 100, 106 and 300.1 Hz, and noise
    plot_check.py peaks OUT SPECTRUM F...    OUT (fftext-plot --peaks) holds rows of
                                             SPECTRUM, strongest first, the first ones
                                             the bins nearest to the tones F (in that
                                             order), none within 5 Hz of another
    plot_check.py envelope SVG SPECTRUM LOW HIGH lin|log
                                             the magnitude line of a --linear picture
                                             of the rows from LOW to HIGH is each
                                             column's first smallest and largest row,
                                             computed here row by row

The checks compute the positions from the frequencies themselves: the plot
area is the frame (the rectangle drawn with the frame's grey), the x axis
runs from 0 to the last row's frequency.
"""
import math
import re
import sys
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"


def noise(k):
    # Magnitudes between 0.001 and 1, from a fixed sequence.
    return 0.001 + ((k * 7919) % 1000) / 1001.0


def write_rows(path, rows, special):
    with open(path, "w", newline="") as f:
        chunk = []
        for k in range(rows):
            magnitude = special.get(k, noise(k))
            chunk.append("%d\t%.9g\t%.9g\r\n" % (k, magnitude, ((k % 628) - 314) / 100.0))
            if len(chunk) == 100000:
                f.write("".join(chunk))
                chunk = []
        f.write("".join(chunk))


def magnitude_points(svg):
    root = ET.parse(svg).getroot()
    frame = next(r for r in root.iter(SVG + "rect") if r.get("stroke") == "#9a9a9a")
    box = [float(frame.get(a)) for a in ("x", "y", "width", "height")]
    line = next(p for p in root.iter(SVG + "path") if p.get("stroke-width") == "1.2")
    numbers = [float(v) for v in re.findall(r"[0-9.]+", line.get("d"))]
    return box, list(zip(numbers[0::2], numbers[1::2]))


def fail(text):
    print("FAIL " + text)
    sys.exit(1)


def check_extremes(svg, rows, peak, dip):
    (left, top, width, height), points = magnitude_points(svg)
    last = rows - 1
    if not (width <= len(points) <= 2 * width):
        fail("%d points for %d pixel columns: want one or two each" % (len(points), width))
    highest = min(y for _, y in points)
    at_top = [x for x, y in points if y == highest]
    want_x = round(left + width * peak / last, 1)
    if highest != top or len(at_top) != 1 or abs(at_top[0] - want_x) > 0.051:
        fail("highest point(s) %s at y %s, want one at x %s, y %s" % (at_top, highest, want_x, top))
    bottom = top + height
    want_dip = round(left + width * dip / last, 1)
    if not any(abs(x - want_dip) <= 0.051 and y == bottom for x, y in points):
        fail("no point at x %s on the bottom edge y %s" % (want_dip, bottom))


def tones(path):
    rate, count = 1024.0, 4096
    lines = []
    for k in range(count):
        t = k / rate
        value = (math.sin(2 * math.pi * 100 * t) + 0.6 * math.sin(2 * math.pi * 106 * t + 1.0)
                 + 0.8 * math.sin(2 * math.pi * 300.1 * t + 2.0) + 0.02 * (((k * 7919) % 1000) / 500.0 - 1))
        lines.append("%.10f\t%.9f\n" % (t, value))
    with open(path, "w") as f:
        f.write("".join(lines))


def spectrum_rows(path):
    rows = []
    with open(path) as f:
        for line in f:
            if line.startswith("%"):
                continue
            fields = line.rstrip("\r\n").split("\t")
            rows.append((fields[0], fields[1], float(fields[0]), abs(float(fields[1]))))
    return rows


def check_peaks(out, spectrum, wanted):
    rows = spectrum_rows(spectrum)
    texts = {(a, b) for a, b, _, _ in rows}
    with open(out, newline="") as f:
        printed = [tuple(line.rstrip("\r\n").split("\t")) for line in f]
    if any(p not in texts for p in printed):
        fail("printed peaks that are no rows of the spectrum: %s" % printed)
    magnitudes = [float(m) for _, m in printed]
    if magnitudes != sorted(magnitudes, reverse=True):
        fail("peaks not strongest first: %s" % printed)
    frequencies = [float(f) for f, _ in printed]
    for i, f in enumerate(frequencies):
        if any(abs(f - g) < 5 for g in frequencies[i + 1:]):
            fail("two peaks within 5 Hz: %s" % printed)
    step = rows[1][2] - rows[0][2]
    for i, tone in enumerate(wanted):
        if i >= len(frequencies) or abs(frequencies[i] - tone) > step / 2:
            fail("peak %d is %s, want the bin nearest %s" % (i + 1, printed[i:i + 1], tone))


def tenth(v):
    return int(v * 10 + 0.5) / 10


def check_envelope(svg, spectrum, low, high, scale):
    (left, top, width, height), points = magnitude_points(svg)
    root = ET.parse(svg).getroot()
    axis_high = max(float(t.text) for t in root.iter(SVG + "text")
                    if t.get("x") == "%d" % (left - 7) and float(t.get("y")) < top + height + 8)
    if scale == "log":
        span = math.log10(high) - math.log10(low)
        fraction = lambda f: (math.log10(f) - math.log10(low)) / span if f > 0 else 0.0
    else:
        fraction = lambda f: (f - low) / (high - low)
    columns = {}
    for row, (_, _, f, m) in enumerate(rows for rows in spectrum_rows(spectrum)):
        if not (low <= f <= high):
            continue
        x = fraction(f) * width
        column = min(int(width) - 1, int(x))
        lowest, highest = columns.get(column, ((m, row, f), (m, row, f)))
        if m < lowest[0]:
            lowest = (m, row, f)
        if m > highest[0]:
            highest = (m, row, f)
        columns[column] = (lowest, highest)
    want = []
    for column in sorted(columns):
        pair = sorted(set(columns[column]), key=lambda p: p[1])
        for m, _, f in pair:
            x = tenth(left + min(1.0, max(0.0, fraction(f))) * width)
            y = tenth(top + height - min(1.0, m / axis_high) * height)
            want.append((x, y))
    if len(want) != len(points):
        fail("%d points drawn, want %d" % (len(points), len(want)))
    x_room = 0.11 if scale == "log" else 0.051
    for (x, y), (wx, wy) in zip(points, want):
        if abs(x - wx) > x_room or abs(y - wy) > 0.051:
            fail("point %s %s, want %s %s" % (x, y, wx, wy))


def main():
    command = sys.argv[1]
    if command == "big":
        write_rows(sys.argv[2], int(sys.argv[3]), {})
    elif command == "peak":
        write_rows(sys.argv[2], int(sys.argv[3]), {int(sys.argv[4]): 1000.0, int(sys.argv[5]): 1e-9})
    elif command == "extremes":
        check_extremes(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5]))
    elif command == "tones":
        tones(sys.argv[2])
    elif command == "peaks":
        check_peaks(sys.argv[2], sys.argv[3], [float(v) for v in sys.argv[4:]])
    elif command == "envelope":
        check_envelope(sys.argv[2], sys.argv[3], float(sys.argv[4]), float(sys.argv[5]), sys.argv[6])
    elif command == "count":
        print(len(magnitude_points(sys.argv[2])[1]))
    else:
        fail("unknown command " + command)


if __name__ == "__main__":
    main()
