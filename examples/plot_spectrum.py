"""Draws the magnitude column of a spectrum file as an SVG line plot.

    python3 examples/plot_spectrum.py build/example-spectrum.txt docs/example-spectrum.svg
"""
import sys

def read_rows(path):
    rows = []
    with open(path) as f:
        for line in f:
            if line.startswith("%"):
                continue
            frequency, magnitude, _phase = line.split("\t")
            rows.append((float(frequency), float(magnitude)))
    return rows

def main(source, target):
    rows = read_rows(source)
    width, height, margin = 760, 320, 50
    f_max = rows[-1][0]
    m_max = max(m for _, m in rows) * 1.1
    def px(f):
        return margin + (width - 2 * margin) * f / f_max
    def py(m):
        return height - margin - (height - 2 * margin) * m / m_max
    points = " ".join("%.1f,%.1f" % (px(f), py(m)) for f, m in rows)
    out = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" font-size="12">' % (width, height),
        '<rect width="100%" height="100%" fill="white"/>',
        '<polyline fill="none" stroke="#1f5fa8" stroke-width="1" points="%s"/>' % points,
        '<line x1="%d" y1="%d" x2="%d" y2="%d" stroke="black"/>' % (margin, height - margin, width - margin, height - margin),
        '<line x1="%d" y1="%d" x2="%d" y2="%d" stroke="black"/>' % (margin, margin, margin, height - margin),
    ]
    for f in range(0, int(f_max) + 1, 50):
        out.append('<text x="%.1f" y="%d" text-anchor="middle">%d</text>' % (px(f), height - margin + 16, f))
    for i in range(6):
        m = m_max * i / 5
        out.append('<text x="%d" y="%.1f" text-anchor="end">%.2f</text>' % (margin - 6, py(m) + 4, m))
    out.append('<text x="%d" y="%d" text-anchor="middle">frequency / Hz</text>' % (width // 2, height - 12))
    out.append('<text x="14" y="%d" transform="rotate(-90 14 %d)" text-anchor="middle">magnitude</text>' % (height // 2, height // 2))
    out.append('<text x="%d" y="24" text-anchor="middle">Spectrum of examples/signal.txt</text>' % (width // 2))
    out.append("</svg>")
    with open(target, "w") as f:
        f.write("\n".join(out) + "\n")

if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
