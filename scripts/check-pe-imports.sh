#!/usr/bin/env bash
# Fails unless a Windows program is hardened against DLL planting and for
# address-space layout:
#  - its import table names only DLLs on Windows' KnownDLLs list, which the
#    loader maps from System32 whatever folder the program runs from (every
#    other system DLL is delay-loaded, see cmake/DelayLoad.cmake; and being
#    statically linked, it needs no libstdc++/libgcc/libcurl DLL beside it);
#  - its DllCharacteristics hold DYNAMIC_BASE and NX_COMPAT, and
#    HIGH_ENTROPY_VA for a 64-bit program, and its relocations are kept.
# Prints the imported and the other DLLs and the flags when all holds.
#
# usage: scripts/check-pe-imports.sh <program.exe> [expected file(1) prefix]
set -euo pipefail
exe=${1:?usage: $0 <program.exe> [file-type prefix]}
want=${2:-}
[ -f "$exe" ] || { echo "check-pe-imports: $exe does not exist" >&2; exit 1; }
info=$(file -b "$exe")

if [ -n "$want" ]; then
  case "$info" in
    "$want"*) ;;
    *) echo "check-pe-imports: $exe is not '$want...': $info" >&2; exit 1 ;;
  esac
fi

# The objdump of the program's own target (PE32 or PE32+).
case "$info" in
  PE32+*) objdump=x86_64-w64-mingw32-objdump; wide=1 ;;
  *) objdump=i686-w64-mingw32-objdump; wide=0 ;;
esac
command -v "$objdump" >/dev/null || objdump=objdump

# HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs of Windows
# 10 (22H2) and 11 (23H2), lower-cased, without the loader's own WoW64 and
# emulation entries (_wow64cpu, _wowarmhw, _xtajit, wow64*, xtajit64):
#   advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp
#   imm32 kernel32 msctf msvcrt normaliz nsi ole32 oleaut32 psapi rpcrt4
#   sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32
# gdiplus is left out below: it joined the list with Windows 10, and on
# Windows 7 and 8.1, where the program also runs, it is searched for like
# any other DLL. ntdll is not listed but the kernel maps it into every process.
known_dlls='^(advapi32|clbcatq|combase|comdlg32|coml2|difxapi|gdi32|imagehlp|imm32|kernel32|msctf|msvcrt|normaliz|nsi|ntdll|ole32|oleaut32|psapi|rpcrt4|sechost|setupapi|shcore|shell32|shlwapi|user32|wldap32|ws2_32)\.dll$'

dump=$("$objdump" -p "$exe")
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
if [ -z "$dlls" ]; then
  echo "check-pe-imports: $exe has no import table" >&2
  exit 1
fi
bad=$(grep -Ev "$known_dlls" <<<"$dlls" || true)
if [ -n "$bad" ]; then
  echo "check-pe-imports: $exe imports DLLs that are not KnownDLLs (delay-load them, cmake/DelayLoad.cmake):" >&2
  sed 's/^/    /' <<<"$bad" >&2
  exit 1
fi

# IMAGE_DLLCHARACTERISTICS_* and IMAGE_FILE_RELOCS_STRIPPED.
characteristics=$((16#$(awk '$1 == "DllCharacteristics" { print $2 }' <<<"$dump")))
file_flags=$(( $(awk '$1 == "Characteristics" { print $2 }' <<<"$dump") ))
missing=()
(( characteristics & 0x40 )) || missing+=(DYNAMIC_BASE)
(( characteristics & 0x100 )) || missing+=(NX_COMPAT)
(( wide == 0 || characteristics & 0x20 )) || missing+=(HIGH_ENTROPY_VA)
(( file_flags & 0x1 )) && missing+=("relocations (stripped: DYNAMIC_BASE has no effect)")
if [ ${#missing[@]} -gt 0 ]; then
  echo "check-pe-imports: $exe lacks: ${missing[*]} (link with -Wl,--dynamicbase,--nxcompat[,--high-entropy-va])" >&2
  exit 1
fi

echo "$(basename "$exe") imports KnownDLLs only: $(tr '\n' ' ' <<<"$dlls")"
# GNU ld leaves the delay-load directory entry empty, so the other DLLs are
# listed from the names the program holds.
others=$(strings -a "$exe" | tr 'A-Z' 'a-z' | grep -E '^[a-z0-9_.-]+\.dll$' | sort -u |
  comm -23 - <(printf '%s\n' "$dlls") | tr '\n' ' ')
echo "$(basename "$exe") names other DLLs (delay-loaded or looked up at run time): ${others:-(none)}"
flags=(DYNAMIC_BASE NX_COMPAT)
(( characteristics & 0x20 )) && flags+=(HIGH_ENTROPY_VA)
echo "$(basename "$exe") DllCharacteristics: $(printf '0x%04x' "$characteristics") ${flags[*]}"
