#!/usr/bin/env bash
# icon.sh SOURCE-DIR: the committed icons are what scripts/make_icon.py draws
# today (a changed drawing must be committed with its pictures), and each is
# a well-formed file of its kind and size.
set -u
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
python3 "$source/scripts/make_icon.py" "$work"
check script_runs $? "scripts/make_icon.py failed"
for pair in data/icons/fftext.svg data/icons/fftext-48.png data/icons/fftext-256.png src/platform/win32/fftext.ico; do
    cmp -s "$work/$(basename "$pair")" "$source/$pair"
    check "committed_$(basename "$pair")" $? "$pair differs from what scripts/make_icon.py writes: run it and commit"
done
file "$source/data/icons/fftext-48.png" | grep -q 'PNG image data, 48 x 48, 8-bit/color RGBA'
check png_48 $? "$(file "$source/data/icons/fftext-48.png")"
file "$source/data/icons/fftext-256.png" | grep -q 'PNG image data, 256 x 256, 8-bit/color RGBA'
check png_256 $? "$(file "$source/data/icons/fftext-256.png")"
file "$source/src/platform/win32/fftext.ico" | grep -q 'MS Windows icon resource - 6 icons, 16x16, 32 bits/pixel'
check ico $? "$(file "$source/src/platform/win32/fftext.ico")"
if command -v xmllint >/dev/null 2>&1; then
    xmllint --noout "$source/data/icons/fftext.svg"
    check svg_well_formed $? "fftext.svg is not well-formed XML"
fi
checks_end
