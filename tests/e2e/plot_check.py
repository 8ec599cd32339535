"""Spectra for fftext-plot's tests, and checks of the pictures it draws.

    plot_check.py big FILE ROWS              ROWS noisy rows, frequencies 0, 1, 2, ...
    plot_check.py peak FILE ROWS PEAK DIP    the same with one row of 1000 at PEAK
                                             and one of 1e-9 at DIP
    plot_check.py extremes SVG ROWS PEAK DIP the peak is the highest point drawn and
                                             the dip lies on the bottom edge, each at
                                             its frequency's x; one or two points per
                                             pixel column
    plot_check.py count SVG                  the number of points of the magnitude line

The checks compute the positions from the frequencies themselves: the plot
area is the frame (the rectangle drawn with the frame's grey), the x axis
runs from 0 to the last row's frequency.
"""
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


def main():
    command = sys.argv[1]
    if command == "big":
        write_rows(sys.argv[2], int(sys.argv[3]), {})
    elif command == "peak":
        write_rows(sys.argv[2], int(sys.argv[3]), {int(sys.argv[4]): 1000.0, int(sys.argv[5]): 1e-9})
    elif command == "extremes":
        check_extremes(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5]))
    elif command == "count":
        print(len(magnitude_points(sys.argv[2])[1]))
    else:
        fail("unknown command " + command)


if __name__ == "__main__":
    main()
