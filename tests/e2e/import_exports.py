#!/usr/bin/env python3
"""import_exports.py DIR: writes the exports that tests/e2e/import.sh converts,
as the programs that make them write them, each with the clean two-column file
of the same doubles (written here, independently of fftext-import: Python's
float() of the cell text, repr() for the output) and the options to convert it:
DIR/NAME.export, DIR/NAME.clean, DIR/NAME.args (one option a line)."""
import random
import sys
from datetime import datetime, timedelta, timezone
from decimal import Decimal

out = sys.argv[1]
rng = random.Random(18)


def write(name, data, rows, args=()):
    with open(f"{out}/{name}.export", "wb") as f:
        f.write(data)
    with open(f"{out}/{name}.clean", "w", newline="\n") as f:
        for x, y in rows:
            f.write(f"{float(x)!r}\t{float(y)!r}\n")
    with open(f"{out}/{name}.args", "w") as f:
        f.write("".join(a + "\n" for a in args))


def signal(n):
    return [rng.uniform(-5, 5) * 10 ** rng.randint(-3, 3) for _ in range(n)]


# A spreadsheet's CSV, English locale, header line, full-precision numbers.
ys = signal(100)
rows = [(i * 0.001, y) for i, y in enumerate(ys)]
write("english_header", ("time,signal\n" + "".join(f"{x!r},{y!r}\n" for x, y in rows)).encode(), rows)

# numpy.savetxt(..., delimiter=','): no header, %.18e.
cells = [(f"{i * 0.5:.18e}", f"{y:.18e}") for i, y in enumerate(signal(64))]
write("headerless_comma", "".join(f"{a},{b}\n" for a, b in cells).encode(), cells)

# A German spreadsheet's CSV: semicolons, decimal commas, quoted cells, CR LF.
cells = [(f"{i * 0.25:.2f}".replace(".", ","), f"{y:.9g}".replace(".", ",")) for i, y in enumerate(signal(80))]
text = '"Zeit";"Wert"\r\n' + "".join(f'"{a}";"{b}"\r\n' for a, b in cells)
write("semicolon_decimal_comma", text.encode(), [(a.replace(",", "."), b.replace(",", ".")) for a, b in cells])

# A logger's tab file, four columns, two chosen by name.
lines = ["index\ttime\tch1\tch2"]
rows = []
for i, (a, b) in enumerate(zip(signal(70), signal(70))):
    x = f"{100 + i * 0.02:.2f}"
    lines.append(f"{i}\t{x}\t{a:.6g}\t{b:.15g}")
    rows.append((x, f"{b:.15g}"))
write("tab_four_named", ("\n".join(lines) + "\n").encode(), rows, ["-x", "time", "-y", "ch2"])

# An oscilloscope's export: metadata lines (some with numbers), a blank line,
# then a sample-number column; the step is given with --dt.
meta = "Model,DS1054Z\nFirmware,00.04.05\nSample Interval,1.000000e-06\nRecord Length,128\nTrigger Level,2.5e-01\n\n"
ys = [f"{y:.4e}" for y in signal(128)]
text = meta + "Index,CH1(V)\n" + "".join(f"{i},{y}\n" for i, y in enumerate(ys))
write("scope_metadata_dt", text.encode(), [(0.0 + float(i) * 1e-06, y) for i, y in enumerate(ys)], ["--dt", "1e-6"])

# A UTF-8 byte-order mark and CR LF (a spreadsheet's "CSV UTF-8").
ys = signal(50)
text = "\ufeffx,y\r\n" + "".join(f"{i * 2},{y!r}\r\n" for i, y in enumerate(ys))
write("bom_crlf", text.encode("utf-8"), [(i * 2, y) for i, y in enumerate(ys)])

# ISO 8601 date-times, with a blank or a T, Z or offsets: seconds from the first row.
start = datetime(2026, 12, 7, 10, 0, 0, 125000, tzinfo=timezone.utc)
lines = ["timestamp,value"]
rows = []
for i, y in enumerate(signal(90)):
    t = start + timedelta(milliseconds=250 * i)
    zone = [timezone.utc, timezone(timedelta(hours=1)), timezone(timedelta(hours=-5, minutes=-30))][i % 3]
    local = t.astimezone(zone)
    text = local.strftime("%Y-%m-%d") + ("T" if i % 2 else " ") + local.strftime("%H:%M:%S.%f")[:-3]
    text += "Z" if zone is timezone.utc else local.strftime("%z")[:3] + ":" + local.strftime("%z")[3:]
    lines.append(f"{text},{y!r}")
    seconds = Decimal((t - start).days * 86400 + (t - start).seconds) + Decimal((t - start).microseconds) / 1000000
    rows.append((float(seconds), y))
write("iso_date_times", ("\n".join(lines) + "\n").encode(), rows)

# A spreadsheet's "Unicode text": UTF-16 LE with its mark, tabs, CR LF, decimal commas.
cells = [(f"{i * 0.1:.1f}".replace(".", ","), f"{y:.7g}".replace(".", ",")) for i, y in enumerate(signal(40))]
text = "\ufeffZeit (s)\tSpannung (µV)\r\n" + "".join(f"{a}\t{b}\r\n" for a, b in cells)
write("utf16_tab", text.encode("utf-16-le"), [(a.replace(",", "."), b.replace(",", ".")) for a, b in cells],
      ["-y", "Spannung (µV)"])
