#!/usr/bin/env bash
# deb_package.sh CPACK BUILD-DIR: builds the Debian package from a built tree
# and checks it as a user gets it: its file list, its control fields, the
# compressed and stripped files, the desktop entry, the program unpacked from
# it (dpkg-deb -x) run on the example signal against the build's program, an
# install without the recommended packages (simulated), and lintian with
# neither errors nor warnings.
set -u
if [ $# -ne 2 ] || [ ! -f "$2/CPackConfig.cmake" ]; then
    echo "usage: deb_package.sh CPACK BUILD-DIR" >&2
    exit 2
fi
cpack=$1
build=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The programs the package ships; each brings usr/bin/NAME and its manual page.
programs=(fftext fftext-plot fftext-import)

passed=0
failed=0
check() {  # NAME CONDITION-STATUS DETAIL
    if [ "$2" = 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $1: $3"; fi
}
finish() { echo "$passed passed, $failed failed"; [ "$failed" = 0 ]; exit $?; }

(cd "$work" && "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.log" 2>&1
check cpack $? "$(tail -5 "$work/cpack.log")"
deb=$(ls "$work"/out/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { check deb_built 1 "no .deb in $work/out"; finish; }
case $(basename "$deb") in
    fftext_[0-9]*.[0-9]*.[0-9]*_$(dpkg --print-architecture).deb) check file_name 0 "" ;;
    *) check file_name 1 "$(basename "$deb") is not fftext_VERSION_ARCH.deb" ;;
esac

# Regular files, without the leading "./".
{
    for program in "${programs[@]}"; do
        echo "usr/bin/$program"
        echo "usr/share/man/man1/$program.1.gz"
    done
    cat <<'LIST'
usr/share/applications/fftext.desktop
usr/share/doc/fftext/README.md
usr/share/doc/fftext/changelog.gz
usr/share/doc/fftext/copyright
usr/share/doc/fftext/examples/signal.txt
usr/share/icons/hicolor/256x256/apps/fftext.png
usr/share/icons/hicolor/48x48/apps/fftext.png
usr/share/icons/hicolor/scalable/apps/fftext.svg
LIST
} | sort >"$work/want"
dpkg-deb -c "$deb" | awk '$1 ~ /^-/ { sub(/^\.\//, "", $6); print $6 }' | sort >"$work/have"
diff "$work/want" "$work/have" >"$work/list.diff"
check file_list $? "$(tr '\n' ' ' <"$work/list.diff")"
dpkg-deb -c "$deb" | awk '$1 !~ /^[-d]/ || $2 != "root/root"' >"$work/odd"
[ ! -s "$work/odd" ]
check plain_files_owned_by_root $? "$(head -3 "$work/odd")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = fftext ]
check package_name $? "Package: $(field Package)"
[ "$(field Section)" = science ]
check section $? "Section: $(field Section)"
[ "$(field Recommends)" = "zenity | kdialog" ]
check recommends $? "Recommends: $(field Recommends)"
# Computed from the program by dpkg-shlibdeps, so it names the C library with a version.
field Depends | grep -Eq '(^|, )libc6 \(>= [0-9.]+\)'
check shlibdeps $? "Depends: $(field Depends)"
[ -z "$(field Homepage)" ]
check no_homepage $? "Homepage: $(field Homepage)"
[ "$(field Description | head -1)" = "exact Fourier spectrum of a sampled signal stored as text" ] &&
    [ "$(field Description | wc -l)" -ge 4 ]
check description $? "$(field Description | head -3)"

root=$work/root
dpkg-deb -x "$deb" "$root"
check unpacked $? "dpkg-deb -x failed"

for program in "${programs[@]}"; do
    file "$root/usr/bin/$program" | grep -q ', stripped'
    check "stripped_$program" $? "$(file "$root/usr/bin/$program")"
    # gzip -n: no name and no time stamp in the header (bytes 4-7 are the time).
    man=$root/usr/share/man/man1/$program.1.gz
    gzip -t "$man" 2>/dev/null && [ "$(od -An -tx1 -j3 -N5 "$man" | tr -d ' ')" = 0000000000 ] &&
        zcat "$man" | head -1 | grep -q "^\.TH $(echo "$program" | tr a-z- A-Z-) 1 "
    check "manual_$program" $? "$man: not a gzip -n of a section 1 page"
done
zcat "$root/usr/share/doc/fftext/changelog.gz" 2>/dev/null | head -1 | grep -Eq '^fftext \([0-9.]+\) [a-z]+; urgency=[a-z]+$'
check changelog $? "changelog.gz does not start with a Debian changelog entry"
head -1 "$root/usr/share/doc/fftext/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/'
check copyright_format $? "copyright is not in the machine-readable format"

desktop=$root/usr/share/applications/fftext.desktop
for line in '[Desktop Entry]' 'Type=Application' 'Exec=fftext' 'Icon=fftext' 'Terminal=false'; do
    grep -qxF "$line" "$desktop"
    check "desktop_$line" $? "no line '$line' in fftext.desktop"
done
grep -Eq '^Categories=(.*;)?(Science|Education);' "$desktop"
check desktop_category $? "no main category Science or Education"
grep -Eq '^Comment=.{10,}' "$desktop"
check desktop_comment $? "no comment"

# The unpacked program on the example it ships: the same bytes as the build's.
example=$root/usr/share/doc/fftext/examples/signal.txt
(cd "$work" && env -u DISPLAY "$root/usr/bin/fftext" "$example" packed.txt </dev/null >/dev/null 2>&1)
rc=$?
env -u DISPLAY "$build/fftext" "$example" "$work/built.txt" </dev/null >/dev/null 2>&1
[ "$rc" = 1 ] && cmp -s "$work/packed.txt" "$work/built.txt" && [ -s "$work/built.txt" ]
check packed_runs $? "exit $rc; $(cmp "$work/packed.txt" "$work/built.txt" 2>&1)"
# The example has 3000 points: the padding warning comes first.
head -1 "$work/packed.txt" | grep -q '^%warning There are not 2^n data'
check packed_output_first_line $? "$(head -1 "$work/packed.txt")"
# The plot program, once shipped, draws the packed program's spectrum.
if [[ " ${programs[*]} " == *" fftext-plot "* ]]; then
    (cd "$work" && env -u DISPLAY "$root/usr/bin/fftext-plot" packed.txt picture.svg </dev/null >/dev/null 2>&1)
    rc=$?
    [ -s "$work/picture.svg" ] && grep -q '<svg' "$work/picture.svg" &&
        { ! command -v xmllint >/dev/null || xmllint --noout "$work/picture.svg"; }
    check packed_plot_draws $? "exit $rc; no well-formed picture.svg"
fi
# The import program, once shipped, converts a comma export the packed fftext reads.
if [[ " ${programs[*]} " == *" fftext-import "* ]]; then
    printf 'time,signal\n0,1.5\n0.5,-2\n1,0.25\n1.5,4\n' >"$work/export.csv"
    (cd "$work" && "$root/usr/bin/fftext-import" export.csv </dev/null >/dev/null 2>&1)
    rc=$?
    [ "$rc" = 0 ] && [ "$(cat "$work/export.txt")" = "$(printf '0\t1.5\n0.5\t-2\n1\t0.25\n1.5\t4')" ]
    check packed_import_converts $? "exit $rc; $(head -c 200 "$work/export.txt" 2>&1)"
fi
# The help it prints without a display points at the installed manual.
env -u DISPLAY "$root/usr/bin/fftext" </dev/null 2>"$work/usage" >/dev/null
head -1 "$work/usage" | grep -qx 'usage: fftext INPUT OUTPUT' && grep -q 'man fftext' "$work/usage"
check packed_usage $? "$(cat "$work/usage")"

# The README's install for a machine without a desktop: with
# --no-install-recommends the package comes without the dialog helpers and
# their desktop (apt-get's simulation: nothing is installed).
if command -v apt-get >/dev/null 2>&1; then
    apt-get install --simulate --no-install-recommends "$deb" >"$work/apt" 2>&1
    rc=$?
    [ "$rc" = 0 ] && grep -q '^Inst fftext ' "$work/apt" && ! grep -qE '^Inst (zenity|kdialog|libgtk)' "$work/apt"
    check no_recommends $? "apt-get exit $rc: $(grep -E '^(Inst|E:)' "$work/apt" | head -n 5)"
fi

if command -v lintian >/dev/null 2>&1; then
    lintian --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1
    ! grep -E '^[EW]: ' "$work/lintian"
    check lintian $? "lintian reports errors or warnings"
else
    check lintian 1 "lintian is not installed (scripts/deps.sh test)"
fi
finish
