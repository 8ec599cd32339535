#!/usr/bin/env bash
# plot.sh FFTEXT-PLOT.EXE NATIVE-FFTEXT-PLOT NATIVE-FFTEXT: fftext-plot's
# end-to-end table under wine, every picture compared byte for byte with the
# native program's, then a file dropped on the program (the picture beside it,
# opened with ShellExecuteW "open") and a start without arguments (the open
# dialog).
set -u
if [ $# -lt 3 ] || [ ! -f "$1" ]; then
    echo "usage: plot.sh FFTEXT-PLOT.EXE NATIVE-FFTEXT-PLOT NATIVE-FFTEXT" >&2
    exit 2
fi
if [ ! -x "$2" ] || [ ! -x "$3" ]; then
    echo "SKIP: no native fftext-plot and fftext at $2 and $3 (build the release preset first)"
    exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
native_plot=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
. "$here/wine_env.sh"
wine_session_begin || exit 1
trap wine_session_end EXIT
status=0
PLOT_HOOK=$here/plot_hook.sh NATIVE_PLOT=$native_plot bash "$here/../e2e/plot.sh" "$exe" "$3" || status=1

# The dropped file, checked to the letter.
work=$(mktemp -d)
printf '0\t2\t0\r\n1\t0.5\t1\r\n2\t0.25\t-1\r\n' >"$work/drop.txt"
(cd "$work" && wine_cli "$work/relay.log" "$exe" drop.txt)
rc=$?
want='Call shell32.ShellExecuteW(00000000,[0-9a-f]{8} L"open",[0-9a-f]{8} L"drop.svg",00000000,00000000,00000001)'
if ! relay_calls "$work/relay.log" shell32.ShellExecuteW | grep -qE "$(printf '%s' "$want" | sed 's/[().]/\\&/g')"; then
    echo "FAIL drop: no ShellExecuteW open call for drop.svg"; status=1
elif ! "$native_plot" "$work/drop.txt" "$work/native.svg" || ! cmp -s "$work/drop.svg" "$work/native.svg"; then
    echo "FAIL drop: drop.svg is not the native program's picture"; status=1
elif [ "$rc" != 0 ]; then
    echo "FAIL drop: exit code $rc (the picture was written, not opened: still 0)"; status=1
else
    echo "drop: picture written beside the file and opened"
fi

# The spectrum is never replaced. Windows names ignore case: spectrum.SVG dropped
# on the program would give the picture spectrum.svg, the spectrum itself, so the
# picture takes the whole name and ".svg"; SPECTRUM.svg as the picture of
# spectrum.svg is refused. Each time the spectrum stays as it was.
printf '0\t2\t0\r\n1\t0.5\t1\r\n2\t0.25\t-1\r\n' >"$work/spectrum.SVG"
cp "$work/spectrum.SVG" "$work/kept.txt"
(cd "$work" && wine_cli "$work/relay.log" "$exe" spectrum.SVG)
rc=$?
"$native_plot" "$work/spectrum.SVG" "$work/native.svg"
if [ "$rc" != 0 ] || ! cmp -s "$work/spectrum.SVG" "$work/kept.txt" || ! cmp -s "$work/spectrum.SVG.svg" "$work/native.svg"; then
    echo "FAIL drop_svg: exit code $rc, files: $(cd "$work" && ls spectrum*)"; status=1
else
    echo "drop_svg: spectrum.SVG kept, picture spectrum.SVG.svg"
fi
rm -f "$work/spectrum.SVG" "$work/spectrum.SVG.svg"
cp "$work/kept.txt" "$work/spectrum.svg"
(cd "$work" && wine_cli "$work/relay.log" "$exe" spectrum.svg SPECTRUM.svg)
rc=$?
want='L"SPECTRUM.svg is the spectrum spectrum.svg under another name: the picture would replace it"'
if [ "$rc" != 2 ] || ! cmp -s "$work/spectrum.svg" "$work/kept.txt" ||
    ! relay_calls "$work/relay.log" user32.MessageBoxW | grep -qF "$want"; then
    echo "FAIL picture_is_spectrum: exit code $rc, $(relay_calls "$work/relay.log" user32.MessageBoxW)"; status=1
else
    echo "picture_is_spectrum: refused, spectrum.svg kept"
fi

# A picture whose whole name (Z:\...\p.svg) has 255 characters, within 14
# of MAX_PATH: the new file beside it is made all the same.
base=$(printf 'Z:%s\\' "$work" | wc -c)
long=$work/$(head -c $((255 - base - 6)) /dev/zero | tr '\0' f)
mkdir -p "$long"
(cd "$long" && wine_cli "$work/relay.log" "$exe" ../kept.txt p.svg)
rc=$?
"$native_plot" "$work/kept.txt" "$work/native.svg"
if [ "$rc" != 0 ] || ! cmp -s "$long/p.svg" "$work/native.svg"; then
    echo "FAIL long_folder: exit code $rc, $(relay_calls "$work/relay.log" user32.MessageBoxW)"; status=1
else
    echo "long_folder: picture written, its name 255 characters long"
fi
rm -rf "$long"

# No argument: the open dialog, which without a display returns at once as
# if cancelled: exit code 1, no message, no picture.
(cd "$work" && wine_cli "$work/relay.log" "$exe")
rc=$?
if ! relay_calls "$work/relay.log" comdlg32.GetOpenFileNameW | grep -q .; then
    echo "FAIL no_argument: no open dialog"; status=1
elif [ "$rc" != 1 ] || relay_calls "$work/relay.log" user32.MessageBoxW | grep -q .; then
    echo "FAIL no_argument: exit code $rc, want 1 and no message box"; status=1
else
    echo "no_argument: open dialog asked for, cancelled"
fi
rm -rf "$work"
exit $status
