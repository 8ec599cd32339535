#!/usr/bin/env bash
# check_pe.sh FFTEXT.EXE [LINK-MAP [VERSION]]: what the Windows program is as a file.
# A 32-bit GUI program that imports only DLLs every Windows has (so nothing of
# the compiler's runtime must be shipped beside it), large-address-aware, with
# its manifest (asInvoker, supported Windows versions, DPI awareness, Common
# Controls 6), a version resource (VERSION, when given) and an icon; given the
# linker's map, also that mingw's x87 cosine and sine were not linked in.
set -u
if [ $# -lt 1 ] || [ ! -f "$1" ]; then
    echo "usage: check_pe.sh FFTEXT.EXE [LINK-MAP [VERSION]]" >&2
    exit 2
fi
exe=$1
map=${2:-}
version=${3:-}
objdump=${FFTEXT_OBJDUMP:-i686-w64-mingw32-objdump}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

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
imported_names() {  # DLL: the names imported from it
    awk -v dll="$1" 'tolower($0) ~ /dll name:/ { on = (tolower($3) == dll) ; next }
                     on && NF == 0 { on = 0 }
                     on && $1 ~ /^[0-9a-f]+$/ && NF >= 3 { print $3 }' "$work/headers"
}

# The DLLs and calls below are fftext.exe's own; another program of the zip
# gets every other check of this script.
if [ "$(basename "$exe")" = fftext.exe ]; then
    for needed in kernel32.dll user32.dll comdlg32.dll shell32.dll; do
        case " $(echo $imports) " in
            *" $needed "*) check "needs_$needed" 0 "" ;;
            *) check "needs_$needed" 1 "$needed not imported" ;;
        esac
    done

    # The Windows calls the program is made of, each from its DLL.
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
fi

# The resources, read from the file by pe_resources.py (one fact a line).
python3 "$(dirname "$0")/pe_resources.py" "$exe" >"$work/facts" 2>&1
check resources_readable $? "$(grep -m1 -v '^resource' "$work/facts")"
has() { grep -qxF "$1" "$work/facts"; }

# The manifest: resource 1 of type 24 (RT_MANIFEST), language neutral or
# English, asking for asInvoker without UI access.
grep -Eq '^resource 24 1 (0|1033) [0-9]+$' "$work/facts"
check manifest_resource $? "no RT_MANIFEST (24) resource with id 1"
[ "$(grep -c '^resource 24 ' "$work/facts")" = 1 ]
check one_manifest $? "$(grep -c '^resource 24 ' "$work/facts") manifests"
v1='{urn:schemas-microsoft-com:asm.v1}'
v3='{urn:schemas-microsoft-com:asm.v3}'
compat='{urn:schemas-microsoft-com:compatibility.v1}'
has "manifest ${v3}requestedExecutionLevel level=asInvoker uiAccess=false"
check manifest_as_invoker $? "the manifest does not request asInvoker without uiAccess"
[ "$(grep -c 'requestedExecutionLevel' "$work/facts")" = 1 ]
check manifest_one_level $? "more than one requestedExecutionLevel"
# Windows 7, 8, 8.1, and 10 and 11 (one id), exactly these.
supported=$(grep "^manifest ${compat}supportedOS " "$work/facts" | sed 's/.* Id=//' | sort | tr '\n' ' ')
want='{1f676c76-80e1-4239-95bb-83d0f6d0da78} {35138b9a-5d96-4fbd-8e2d-a2440225f93a} {4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38} {8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a} '
[ "$supported" = "$want" ]
check manifest_supported_os $? "supportedOS ids: $supported; want $want"
has "manifest {http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware  true/pm"
check manifest_dpi_aware $? "no dpiAware true/pm in the 2005 WindowsSettings namespace"
has "manifest {http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness  PerMonitorV2, PerMonitor"
check manifest_dpi_awareness $? "no dpiAwareness PerMonitorV2, PerMonitor in the 2016 namespace"
has "manifest ${v3}windowsSettings"
check manifest_windows_settings $? "no asm.v3 application/windowsSettings"
has "manifest ${v1}assemblyIdentity language=* name=Microsoft.Windows.Common-Controls processorArchitecture=* publicKeyToken=6595b64144ccf1df type=win32 version=6.0.0.0"
check manifest_common_controls_6 $? "no dependency on Common Controls 6.0.0.0"

# The version resource: the fixed and the string versions agree (and equal
# VERSION when given), the names are this program's.
fixed=$(awk '$1 == "fixed" { print $2; exit }' "$work/facts")
product=$(awk '$1 == "fixed" { print $3; exit }' "$work/facts")
string() { sed -n "s/^string $1=//p" "$work/facts"; }
[ -n "$fixed" ] && [ "$fixed" = "$product" ] && [ "$fixed" = "$(string FileVersion).0" ] &&
    [ "$(string ProductVersion)" = "$(string FileVersion)" ]
check version_numbers $? "fixed $fixed/$product, strings $(string FileVersion)/$(string ProductVersion)"
if [ -n "$version" ]; then
    [ "$(string FileVersion)" = "$version" ]
    check version_is_project $? "FileVersion $(string FileVersion), project $version"
fi
has "fixed_type 40004 1"
check version_file_type $? "not an application for 32-bit Windows NT: $(grep fixed_type "$work/facts")"
name=$(basename "$exe")
[ "$(string OriginalFilename)" = "$name" ] && [ "$(string InternalName)" = "${name%.exe}" ]
check version_file_name $? "OriginalFilename $(string OriginalFilename), InternalName $(string InternalName), file $name"
[ "$(string ProductName)" = fftext ]
check version_product $? "ProductName $(string ProductName)"
[ "$(string FileDescription | wc -c)" -gt 20 ]
check version_description $? "FileDescription '$(string FileDescription)'"
string LegalCopyright | grep -q '^Copyright (c) 20[0-9][0-9] '
check version_copyright $? "LegalCopyright '$(string LegalCopyright)'"
has "translation 0409 1200"
check version_translation $? "no US English, Unicode translation entry"

# The application icon: one group, with every size Explorer asks for.
[ "$(grep -c '^resource 14 ' "$work/facts")" = 1 ]
check icon_group $? "$(grep -c '^resource 14 ' "$work/facts") icon groups"
for size in 16x16x32 24x24x32 32x32x32 48x48x32 256x256x32; do
    grep -Eq "^icon [^ ]+ $size (dib|png)$" "$work/facts"
    check "icon_$size" $? "no $size image in the icon"
done

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
checks_end
