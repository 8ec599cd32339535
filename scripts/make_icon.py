#!/usr/bin/env python3
"""Draws the application icon: a spectrum with two peaks over a baseline, on a
rounded dark-blue square. Standard library only.

    python3 scripts/make_icon.py [OUTPUT-DIR]

writes, into OUTPUT-DIR (default: the source tree's places),
    fftext.svg            the drawing itself (Linux, hicolor/scalable)
    fftext-48.png, fftext-256.png   (Linux, hicolor/48x48 and 256x256)
    fftext.ico            16, 24, 32, 48 and 64 pixels as 32-bit bitmaps,
                          256 as PNG (the Windows programs' icon)
Every picture is rendered from the same polygons, 4 x 4 samples a pixel, so
the output is the same bytes on every run; tests/e2e/icon.sh checks that the
committed files are what this script writes.
"""
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SUB = 4  # samples a pixel in each direction


def rounded_square(margin, radius, segments=8):
    """The background, in unit coordinates (y down)."""
    points = []
    lo, hi = margin, 1.0 - margin
    corners = [(hi - radius, hi - radius, 0), (lo + radius, hi - radius, 90),
               (lo + radius, lo + radius, 180), (hi - radius, lo + radius, 270)]
    for cx, cy, start in corners:
        for s in range(segments + 1):
            a = math.radians(start + 90.0 * s / segments)
            points.append((cx + radius * math.cos(a), cy + radius * math.sin(a)))
    return points


def spectrum_area():
    """The area under a magnitude curve: a low floor, a tall and a lower peak."""
    left, right, base = 0.16, 0.84, 0.78
    peaks = [(0.38, 0.56, 0.035), (0.63, 0.34, 0.03), (0.77, 0.12, 0.025)]
    points = [(left, base)]
    steps = 96
    for i in range(steps + 1):
        x = left + (right - left) * i / steps
        height = 0.03 + 0.012 * math.sin(37.0 * x)
        for centre, top, width in peaks:
            height += top / (1.0 + ((x - centre) / width) ** 2)
        points.append((x, base - min(height, 0.62)))
    points.append((right, base))
    return points


def bar(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


# Painted in order: (polygon, (r, g, b)).
LAYERS = [
    (rounded_square(0.03, 0.18), (0x1d, 0x3b, 0x6e)),
    (spectrum_area(), (0xff, 0xb3, 0x2e)),
    (bar(0.12, 0.78, 0.88, 0.82), (0xf2, 0xf4, 0xf8)),  # the frequency axis
    (bar(0.12, 0.16, 0.16, 0.82), (0xf2, 0xf4, 0xf8)),  # the magnitude axis
]


def coverage(polygon, size):
    """Fraction of each pixel inside the polygon (even-odd rule), row-major."""
    total = size * SUB
    counts = [0] * (size * size)
    edges = list(zip(polygon, polygon[1:] + polygon[:1]))
    for row in range(total):
        y = (row + 0.5) / total
        crossings = []
        for (xa, ya), (xb, yb) in edges:
            if (ya <= y) != (yb <= y):
                crossings.append(xa + (y - ya) * (xb - xa) / (yb - ya))
        crossings.sort()
        base = (row // SUB) * size
        for i in range(0, len(crossings) - 1, 2):
            first = max(0, math.ceil(crossings[i] * total - 0.5))
            last = min(total - 1, math.floor(crossings[i + 1] * total - 0.5))
            for column in range(first, last + 1):
                counts[base + column // SUB] += 1
    return [c / (SUB * SUB) for c in counts]


def render(size):
    """RGBA bytes, top row first, over a transparent background."""
    red = [0.0] * (size * size)
    green = [0.0] * (size * size)
    blue = [0.0] * (size * size)
    alpha = [0.0] * (size * size)
    for polygon, (r, g, b) in LAYERS:
        for i, a in enumerate(coverage(polygon, size)):
            if a == 0.0:
                continue
            # Premultiplied "over".
            red[i] = r / 255.0 * a + red[i] * (1.0 - a)
            green[i] = g / 255.0 * a + green[i] * (1.0 - a)
            blue[i] = b / 255.0 * a + blue[i] * (1.0 - a)
            alpha[i] = a + alpha[i] * (1.0 - a)
    out = bytearray()
    for i in range(size * size):
        a = alpha[i]
        if a == 0.0:
            out += b"\0\0\0\0"
            continue
        out += bytes(min(255, int(round(c / a * 255.0))) for c in (red[i], green[i], blue[i]))
        out.append(int(round(a * 255.0)))
    return bytes(out)


def png(size, rgba):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff))
    rows = b"".join(b"\0" + rgba[y * size * 4:(y + 1) * size * 4] for y in range(size))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def dib(size, rgba):
    """An icon image as a bitmap: header, BGRA rows bottom-up, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = rgba[(y * size + x) * 4:(y * size + x) * 4 + 4]
            pixels += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        bits = bytearray(mask_row)
        for x in range(size):
            if rgba[(y * size + x) * 4 + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def ico(images):
    """images: (size, data) in order; sizes of 256 are written as 0."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, data in images:
        side = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        body += data
    return directory + body


def svg():
    def path(polygon):
        return "M" + " L".join("%.2f %.2f" % (x * 256, y * 256) for x, y in polygon) + " Z"
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">']
    for polygon, colour in LAYERS:
        lines.append('  <path fill="#%02x%02x%02x" d="%s"/>' % (colour + (path(polygon),)))
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else None
    places = {
        "fftext.svg": os.path.join(ROOT, "data", "icons"),
        "fftext-48.png": os.path.join(ROOT, "data", "icons"),
        "fftext-256.png": os.path.join(ROOT, "data", "icons"),
        "fftext.ico": os.path.join(ROOT, "src", "platform", "win32"),
    }
    pictures = {size: render(size) for size in (16, 24, 32, 48, 64, 256)}
    contents = {
        "fftext.svg": svg().encode("ascii"),
        "fftext-48.png": png(48, pictures[48]),
        "fftext-256.png": png(256, pictures[256]),
        "fftext.ico": ico([(s, dib(s, pictures[s])) for s in (16, 24, 32, 48, 64)] +
                          [(256, png(256, pictures[256]))]),
    }
    for name, data in contents.items():
        folder = out or places[name]
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
