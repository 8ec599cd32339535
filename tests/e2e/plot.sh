#!/usr/bin/env bash
# plot.sh FFTEXT-PLOT FFTEXT: end-to-end runs of fftext-plot. Pictures must
# be well-formed XML (xmllint) that renders (rsvg-convert); failures must give
# their exact message and exit code and leave no file behind.
# PLOT_HOOK may name a bash file that redefines run_plot (the Windows program
# under wine); NATIVE_PLOT, when set, names a native fftext-plot whose picture
# of every spectrum must be the same bytes.
set -u
if [ $# -lt 2 ] || [ ! -f "$1" ] || [ ! -f "$2" ]; then
    echo "usage: plot.sh FFTEXT-PLOT FFTEXT" >&2
    exit 2
fi
PROGRAM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
FFTEXT=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$here/../..
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
check=$here/plot_check.py

for tool in xmllint rsvg-convert python3; do
    command -v $tool >/dev/null || { echo "FAIL: $tool is missing (scripts/deps.sh test installs it)"; exit 1; }
done

# run_plot ARG...: runs the program in $work; sets RC and MESSAGE (the text
# after "fftext-plot: " on standard error).
run_plot() {
    (cd "$work" && timeout 120 "$PROGRAM" "$@" </dev/null >"$work/stdout" 2>"$work/stderr")
    RC=$?
    MESSAGE=$(sed -e '1s/^fftext-plot: //' "$work/stderr")
}
if [ -n "${PLOT_HOOK:-}" ]; then
    # shellcheck source=/dev/null
    . "$PLOT_HOOK"
fi

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL $1: $2"; }

# expect_picture NAME PICTURE ARG...: exit code 0, no message, and a picture
# that is well formed, renders, and (with NATIVE_PLOT) equals the native one.
expect_picture() {
    local name=$1 picture=$2
    shift 2
    run_plot "$@"
    if [ "$RC" != 0 ] || [ -n "$MESSAGE" ]; then fail "$name" "exit code $RC, message '$MESSAGE'"; return 1; fi
    if ! xmllint --noout "$work/$picture" 2>"$work/xmllint.log"; then
        fail "$name" "not well formed: $(head -n 3 "$work/xmllint.log")"
        return 1
    fi
    if ! rsvg-convert "$work/$picture" -o "$work/$picture.png" 2>"$work/rsvg.log"; then
        fail "$name" "does not render: $(head -n 3 "$work/rsvg.log")"
        return 1
    fi
    if [ -n "${NATIVE_PLOT:-}" ]; then
        # The same spectrum and options, the picture named on the command line.
        local args=("$@")
        [ "${args[-1]}" = "$picture" ] && unset 'args[-1]'
        (cd "$work" && "$NATIVE_PLOT" "${args[@]}" "$work/native.svg") >/dev/null 2>&1
        if ! cmp -s "$work/$picture" "$work/native.svg"; then
            fail "$name" "the picture differs from the native program's"
            return 1
        fi
    fi
    pass
}

# The files in $work, the run's own logs left out.
listing() {
    ls -A "$work" | grep -vx -e stdout -e stderr -e native.svg
}

# expect_failure NAME RC MESSAGE ARG...: exactly that exit code and message,
# and no new file in $work.
expect_failure() {
    local name=$1 want_rc=$2 want=$3
    shift 3
    local before
    before=$(listing)
    run_plot "$@"
    if [ "$RC" != "$want_rc" ]; then fail "$name" "exit code $RC, want $want_rc ($MESSAGE)"; return; fi
    if [ "$MESSAGE" != "$want" ]; then fail "$name" "message '$MESSAGE', want '$want'"; return; fi
    if [ "$(listing)" != "$before" ]; then
        fail "$name" "files left behind: $(diff <(echo "$before") <(listing) | grep '^>' | tr '\n' ' ')"
        return
    fi
    pass
}

# ---- Pictures.

# The example's spectrum; the README shows this very picture.
"$FFTEXT" "$root/examples/signal.txt" "$work/example-spectrum.txt" >/dev/null 2>&1
if expect_picture example example-spectrum.svg example-spectrum.txt; then
    cmp -s "$work/example-spectrum.svg" "$root/docs/example-spectrum.svg" && pass ||
        fail example "docs/example-spectrum.svg is not what fftext-plot draws now (regenerate it)"
fi
expect_picture example_phase example-phase.svg --phase example-spectrum.txt example-phase.svg
expect_picture example_linear example-linear.svg --linear --phase example-spectrum.txt example-linear.svg

# Non-finite rows are left out and counted; every spelling is read, with LF
# line ends and three-digit exponents.
printf '%%warning There are not 2^n data in the input file --> data were padded with an average value\n0\t-2.5e-003\t0\n1\t1.#INF\t0\n2\t0.5\t-1.#IND\n3\t0.25\t1.#QNAN\n4\t1e-010\t-1\n5\t1.#SNAN\t1\n6\t0.125\t3\n' >"$work/nonfinite.txt"
if expect_picture nonfinite nonfinite.svg nonfinite.txt; then
    grep -q '>4 rows with non-finite values not drawn<' "$work/nonfinite.svg" && pass ||
        fail nonfinite "no note of the 4 rows left out"
    count=$(python3 "$check" count "$work/nonfinite.svg")
    [ "$count" = 3 ] && pass || fail nonfinite "$count points drawn, want the 3 finite rows"
fi

# One row (a spectrum of two samples): one dot, at frequency 0.
printf '0\t2.5\t0\r\n' >"$work/one.txt"
if expect_picture one_row one.svg one.txt; then
    grep -qE '<path d="M80 [0-9.]+h0" fill="none" stroke="#1f5fa8" stroke-width="5"' "$work/one.svg" && pass ||
        fail one_row "the single row is not drawn as a dot at x 80"
fi

# A title that needs escaping in XML.
cp "$work/one.txt" "$work/R&D's spectrum.txt"
if expect_picture escaped_title "R&D's spectrum.svg" "R&D's spectrum.txt"; then
    grep -q ">R&amp;D's spectrum.txt</text>" "$work/R&D's spectrum.svg" && pass || fail escaped_title "title not escaped"
fi

# The default picture name: the extension replaced, or ".svg" added.
printf '0\t1\t0\r\n1\t2\t0\r\n' >"$work/noext"
mkdir -p "$work/dir.v1"
cp "$work/noext" "$work/dir.v1/spectrum.dat"
expect_picture no_extension noext.svg noext
expect_picture in_folder dir.v1/spectrum.svg dir.v1/spectrum.dat

# An existing picture is replaced.
echo old >"$work/replace.svg"
cp "$work/one.txt" "$work/replace.txt"
expect_picture replaced replace.svg replace.txt

# 2^20 rows with one tall narrow peak and one deep dip: both survive the
# reduction to pixel columns, at their own frequencies.
python3 "$check" peak "$work/peak.txt" 1048576 300007 700001
if expect_picture envelope peak.svg peak.txt; then
    python3 "$check" extremes "$work/peak.svg" 1048576 300007 700001 && pass || fail envelope "extremes lost"
fi
rm -f "$work/peak.txt"

# 2^23 rows, as a 256 MB input gives: the picture stays small.
python3 "$check" big "$work/big.txt" 8388608
if expect_picture big big.svg --phase big.txt; then
    size=$(stat -c %s "$work/big.svg")
    [ "$size" -lt 200000 ] && pass || fail big "picture of $size bytes, want under 200000"
fi
rm -f "$work/big.txt"

# ---- Ranges, peaks and notes.

# The example's peaks, as the spectrum writes the rows; two rings, two labels.
if expect_picture example_peaks example-peaks.svg --peaks 5 example-spectrum.txt example-peaks.svg; then
    got=$(tr -d '\r' <"$work/stdout")
    [ "$got" = "$(printf '50.0488281\t1.44508775\n120.117188\t0.605012287')" ] && pass ||
        fail example_peaks "peaks printed: '$got'"
    [ "$(grep -c '<circle ' "$work/example-peaks.svg")" = 2 ] && grep -q '>120.117188</text>' "$work/example-peaks.svg" &&
        pass || fail example_peaks "not two marked peaks"
fi
expect_picture no_peaks no-peaks.svg --peaks 0 example-spectrum.txt no-peaks.svg &&
    { [ ! -s "$work/stdout" ] && ! grep -q '<circle' "$work/no-peaks.svg" && pass || fail no_peaks "peaks shown"; }

# Three tones, two of them 6 Hz (9 pixel columns) apart, one between bins:
# each is one peak, the strongest first, also within a range.
python3 "$check" tones "$work/tones-samples.txt"
"$FFTEXT" "$work/tones-samples.txt" "$work/tones.txt" >/dev/null 2>&1
rm -f "$work/tones-samples.txt"
expect_picture tone_peaks tones.svg --peaks 10 tones.txt tones.svg &&
    { python3 "$check" peaks "$work/stdout" "$work/tones.txt" 100 300.1 106 && pass || fail tone_peaks "see above"; }
expect_picture tone_peaks_range tones-range.svg --from 95 --to 310 --peaks 3 tones.txt tones-range.svg &&
    { python3 "$check" peaks "$work/stdout" "$work/tones.txt" 100 300.1 106 && pass || fail tone_peaks_range "see above"; }

# Ranges and the log axis: each column's extremes, computed here row by row.
for case in "range 90 320 lin --from 90 --to 320" "log 0.25 511.75 log --log-frequency" \
    "log_range 50 400 log --log-frequency --from 50 --to 400" "beyond_end 400 511.75 lin --from 400 --to 9000"; do
    set -- $case
    name=$1 low=$2 high=$3 scale=$4
    shift 4
    expect_picture "$name" "$name.svg" --linear --phase "$@" tones.txt "$name.svg" &&
        { python3 "$check" envelope "$work/$name.svg" "$work/tones.txt" "$low" "$high" "$scale" && pass || fail "$name" "see above"; }
done
expect_picture log_decades log-decades.svg --log-frequency --peaks 3 tones.txt log-decades.svg

# Every magnitude 0 (what a comma-separated input gives), nothing finite.
printf '0\t0\t0\r\n0.5\t0\t0\r\n1\t0\t0\r\n' >"$work/zeros.txt"
expect_picture all_zero zeros.svg --phase zeros.txt zeros.svg &&
    { grep -q '>all magnitudes are 0<' "$work/zeros.svg" && ! grep -q '10<tspan' "$work/zeros.svg" && pass ||
        fail all_zero "no note, or a log axis"; }
printf '0\t-1.#IND\t0\r\n0.5\t1.#INF\t0\r\n' >"$work/nothing.txt"
expect_picture nothing_finite nothing.svg nothing.txt nothing.svg &&
    { grep -q '>no row has three finite values<' "$work/nothing.svg" && pass || fail nothing_finite "no note"; }

# "--" ends the options.
cp "$work/one.txt" "$work/--odd.txt"
expect_picture options_end --odd.svg -- --odd.txt

# ---- The spectrum is never replaced.

# A spectrum whose derived picture name is its own: the picture takes the
# whole name and ".svg".
cp "$work/one.txt" "$work/own.svg"
expect_picture own_name own.svg.svg own.svg && { cmp -s "$work/own.svg" "$work/one.txt" && pass || fail own_name "spectrum changed"; }
cp "$work/one.txt" "$work/kept-spectrum.svg"
mkdir -p "$work/sub"
for spelling in ./kept-spectrum.svg sub/../kept-spectrum.svg; do
    expect_failure "same_file $spelling" 2 "$spelling is the spectrum kept-spectrum.svg under another name: the picture would replace it" \
        kept-spectrum.svg "$spelling"
done
cmp -s "$work/kept-spectrum.svg" "$work/one.txt" && pass || fail same_file "the spectrum was changed"

# ---- Failures.

expect_failure empty_range 1 "tones.txt: no rows from 600 to 700 (the spectrum's rows go from 0 to 511.75)" --from 600 --to 700 tones.txt x.svg
expect_failure between_rows 1 "tones.txt: no rows from 0.3 to 0.4 (the spectrum's rows go from 0 to 511.75)" --from 0.3 --to 0.4 tones.txt x.svg

cp "$root/examples/signal.txt" "$work/signal.txt"
expect_failure signal 1 "signal.txt:1: expected three tab-separated numbers" signal.txt
printf '%%warning x\r\n0\t1\t0\r\n0.5\t0.3\r\n1\t1\t1\r\n' >"$work/truncated.txt"
expect_failure truncated_row 1 "truncated.txt:3: expected three tab-separated numbers" truncated.txt
printf '0\t1\t0\r\n0.5\t0.3\t1.2' >"$work/cut.txt"
expect_failure cut_short 1 "cut.txt:2: the row has no line end (the file may be cut short)" cut.txt
printf '0\t1\t0\r\n\r\n1\t1\t1\r\n' >"$work/blank.txt"
expect_failure blank_line 1 "blank.txt:2: expected three tab-separated numbers" blank.txt
printf '0\t1\t0\r\n1\t1\t1\t1\r\n' >"$work/four.txt"
expect_failure four_columns 1 "four.txt:2: expected three tab-separated numbers" four.txt
printf '0\t1\t0\r\n2\t1\t1\r\n2\t1\t1\r\n' >"$work/order.txt"
expect_failure frequency_order 1 "order.txt:3: the frequency is not above the one before (rows of a spectrum go up in frequency)" order.txt
printf '1\t1.#INFX\t0\r\n' >"$work/spelling.txt"
expect_failure bad_spelling 1 "spelling.txt:1: expected three tab-separated numbers" spelling.txt
: >"$work/empty.txt"
expect_failure empty 1 "empty.txt: empty file" empty.txt
printf '%%warning only\r\n' >"$work/warnings.txt"
expect_failure only_warnings 1 "warnings.txt: no spectrum rows" warnings.txt
expect_failure missing 1 "missing.txt: cannot open the file" missing.txt
expect_failure no_folder 1 "nowhere/x.svg: cannot write the picture" one.txt nowhere/x.svg
mkdir -p "$work/folder.svg"
expect_failure folder_as_picture 1 "folder.svg: cannot write the picture" one.txt folder.svg
# A failure leaves an existing picture as it was.
echo kept >"$work/kept.svg"
cp "$work/signal.txt" "$work/kept.txt"
expect_failure keeps_old 1 "kept.txt:1: expected three tab-separated numbers" kept.txt
[ "$(cat "$work/kept.svg")" = kept ] && pass || fail keeps_old "the old picture was changed"

# The command line (the Windows program asks for the file instead).
if [ -z "${PLOT_HOOK:-}" ]; then
    usage="usage: fftext-plot [--linear] [--phase] [--log-frequency] [--from F] [--to F] [--peaks N] [--] SPECTRUM [PICTURE.svg]"
    expect_failure no_arguments 2 "$usage"
    expect_failure from_without_value 2 "--from needs a finite number
$usage" one.txt --from
    expect_failure to_not_a_number 2 "--to needs a finite number
$usage" --to 5x one.txt
    expect_failure too_many_peaks 2 "--peaks needs a whole number from 0 to 100
$usage" --peaks 101 one.txt
    expect_failure empty_interval 2 "--from must be below --to
$usage" --from 5 --to 5 one.txt
    expect_failure log_from_zero 2 "--log-frequency needs --from above 0
$usage" --log-frequency --from 0 one.txt
    expect_failure not_svg 2 "one.txt: the picture's name must end in .svg
$usage" one-copy.txt one.txt
    [ "$(cat "$work/one.txt")" = "$(printf '0\t2.5\t0\r')" ] && pass ||
        fail not_svg "the second spectrum was changed"
    # A link to the spectrum, as PICTURE.
    ln -s kept-spectrum.svg "$work/link.svg"
    expect_failure link 2 "link.svg is the spectrum kept-spectrum.svg under another name: the picture would replace it" \
        kept-spectrum.svg link.svg
    cmp -s "$work/kept-spectrum.svg" "$work/one.txt" && [ -L "$work/link.svg" ] && pass || fail link "the spectrum or the link was changed"
    rm -f "$work/link.svg"
    run_plot --version
    [ "$RC" = 0 ] && [ "$(cat "$work/stdout")" = "fftext-plot $(sed -n 's/^project(fftext VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")" ] &&
        pass || fail version "exit code $RC, '$(cat "$work/stdout")'"
    run_plot --help missing.txt
    [ "$RC" = 0 ] && [ "$(head -n 1 "$work/stdout")" = "$usage" ] && grep -q -- '--peaks N' "$work/stdout" &&
        pass || fail help "exit code $RC, '$(head -n 1 "$work/stdout")'"
    expect_failure unknown_option 2 "unknown option --log
$usage" --log one.txt
    expect_failure three_paths 2 "$usage" one.txt a.svg b.svg
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
