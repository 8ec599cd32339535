#!/usr/bin/env bash
# check_pe.sh FFTEXT.EXE [LINK-MAP]: what the Windows program is as a file.
# A 32-bit GUI program that imports only DLLs every Windows has (so nothing of
# the compiler's runtime must be shipped beside it), large-address-aware, with
# the asInvoker manifest as its resource; given the linker's map, also that
# mingw's x87 cosine and sine were not linked in.
set -u
if [ $# -lt 1 ] || [ ! -f "$1" ]; then
    echo "usage: check_pe.sh FFTEXT.EXE [LINK-MAP]" >&2
    exit 2
fi
exe=$1
map=${2:-}
objdump=${FFTEXT_OBJDUMP:-i686-w64-mingw32-objdump}
objcopy=${FFTEXT_OBJCOPY:-i686-w64-mingw32-objcopy}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
check() {  # NAME CONDITION-STATUS DETAIL
    if [ "$2" = 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $1: $3"; fi
}

"$objdump" -p "$exe" >"$work/headers" 2>"$work/errors" || { echo "FAIL: $objdump -p: $(cat "$work/errors")"; echo "0 passed, 1 failed"; exit 1; }
field() { awk -v key="$1" '$1 == key { print $2; exit }' "$work/headers"; }

grep -q 'file format pei-i386' "$work/headers"
check format $? "not a pei-i386 image: $(grep 'file format' "$work/headers")"
[ "$(field Magic)" = 010b ]
check pe32 $? "optional header magic $(field Magic), want 010b (PE32)"
[ "$(field Subsystem)" = 00000002 ]
check gui_subsystem $? "subsystem $(field Subsystem), want 00000002 (Windows GUI)"
grep -q '^[[:space:]]*large address aware' "$work/headers"
check large_address_aware $? "the largest input needs more than 2 GiB of address space"

# Imports: system DLLs only, compared case-blind. The C runtime is msvcrt or
# the universal CRT, both part of Windows.
system_dlls=' kernel32.dll user32.dll comdlg32.dll shell32.dll msvcrt.dll ucrtbase.dll '
imports=$(awk '/DLL Name:/ { print tolower($3) }' "$work/headers" | sort -u)
[ -n "$imports" ]
check has_imports $? "no import table found"
for dll in $imports; do
    case $system_dlls in
        *" $dll "*) check "import_$dll" 0 "" ;;
        *) check "import_$dll" 1 "imports $dll, which is not a system DLL" ;;
    esac
done
for needed in kernel32.dll user32.dll comdlg32.dll shell32.dll; do
    case " $(echo $imports) " in
        *" $needed "*) check "needs_$needed" 0 "" ;;
        *) check "needs_$needed" 1 "$needed not imported" ;;
    esac
done

# The Windows calls the program is made of, each from its DLL.
imported_names() {  # DLL: the names imported from it
    awk -v dll="$1" 'tolower($0) ~ /dll name:/ { on = (tolower($3) == dll) ; next }
                     on && NF == 0 { on = 0 }
                     on && $1 ~ /^[0-9a-f]+$/ && NF >= 3 { print $3 }' "$work/headers"
}
for pair in kernel32.dll:CreateFileW kernel32.dll:GetFileSizeEx kernel32.dll:ReadFile \
            kernel32.dll:WriteFile kernel32.dll:CloseHandle kernel32.dll:VirtualAlloc \
            kernel32.dll:GetCommandLineW shell32.dll:CommandLineToArgvW \
            kernel32.dll:GetFileInformationByHandle kernel32.dll:MoveFileExW kernel32.dll:DeleteFileW \
            comdlg32.dll:GetOpenFileNameW comdlg32.dll:GetSaveFileNameW comdlg32.dll:CommDlgExtendedError \
            user32.dll:MessageBoxA; do
    imported_names "${pair%%:*}" | grep -qx "${pair#*:}"
    check "calls_${pair#*:}" $? "${pair#*:} is not imported from ${pair%%:*}"
done

# Looked up at run time instead, so that the program still loads on systems
# from before it (which have no links to resolve).
! imported_names kernel32.dll | grep -qx GetFinalPathNameByHandleW
check late_bound_GetFinalPathNameByHandleW $? "GetFinalPathNameByHandleW is imported"

# The manifest: resource type 24 (RT_MANIFEST), id 1, asking for asInvoker
# without UI access.
sed -n '/The .rsrc Resource Directory section/,/^$/p' "$work/headers" >"$work/resources"
grep -q 'Entry: ID: 0x000018,' "$work/resources"
check manifest_type $? "no RT_MANIFEST (24) resource"
grep -q 'Entry: ID: 0x000001,' "$work/resources"
check manifest_id $? "no resource with id 1"
"$objcopy" -O binary --only-section=.rsrc "$exe" "$work/rsrc" 2>/dev/null
tr -d '\0' <"$work/rsrc" | grep -q '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>'
check manifest_as_invoker $? "the manifest does not request asInvoker without uiAccess"

# mingw's cos and sin work in the x87 unit and differ from other libraries in
# the last bit: the spectrum must use the program's own (common/trig.h), so
# neither libmingwex's nor msvcrt's may be linked. Its atan2 may be: the phase
# printer takes it only where it settles the nine printed digits.
for name in cos sin sincos; do
    ! imported_names msvcrt.dll | grep -qx "$name"
    check "no_msvcrt_$name" $? "$name is imported from msvcrt.dll"
done
if [ -n "$map" ]; then
    # The map's first part names each archive member pulled in, and on the
    # next line the object and symbol that wanted it.
    x87=$(awk '/^(Allocating common symbols|Discarded input sections|Memory Configuration)/ { exit }
               /^[^ ].*libmingwex\.a\([^)]*-(cos|sin|cossin|cosl|sinl|cosl_internal|sinl_internal)\.o\)$/ {
                   member = $0; sub(/.*libmingwex\.a\(/, "", member); sub(/\)$/, "", member)
                   getline; $1 = $1; printf "%s for %s; ", member, $0 }' "$map")
    [ -f "$map" ] && [ -z "$x87" ]
    check no_x87_cos_sin $? "libmingwex's x87 cos or sin was linked: ${x87:-no map $map}"
fi
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
