#!/usr/bin/env bash
# Fails unless the Windows program imports system DLLs only (a statically
# linked build: no libstdc++/libgcc/winpthread/libcurl DLLs beside it).
#
# usage: scripts/check-pe-imports.sh <program.exe> [expected file(1) prefix]
set -euo pipefail
exe=${1:?usage: $0 <program.exe> [file-type prefix]}
want=${2:-}
[ -f "$exe" ] || { echo "check-pe-imports: $exe does not exist" >&2; exit 1; }

if [ -n "$want" ]; then
  info=$(file -b "$exe")
  case "$info" in
    "$want"*) ;;
    *) echo "check-pe-imports: $exe is not '$want...': $info" >&2; exit 1 ;;
  esac
fi

# The objdump of the program's own target (PE32 or PE32+).
case "$(file -b "$exe")" in
  PE32+*) objdump=x86_64-w64-mingw32-objdump ;;
  *) objdump=i686-w64-mingw32-objdump ;;
esac
command -v "$objdump" >/dev/null || objdump=objdump

system_dlls='^(kernel32|user32|gdi32|gdiplus|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|version|psapi|iphlpapi|sensapi|wintrust|urlmon|ws2_32|crypt32|bcrypt|secur32|wldap32|normaliz|msvcrt|ntdll|winmm|imm32|uxtheme|dwmapi|setupapi|userenv|netapi32|dbghelp|rpcrt4|wininet|winhttp|msimg32|api-ms-win-[a-z0-9-]+)\.dll$'

dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
if [ -z "$dlls" ]; then
  echo "check-pe-imports: $exe has no import table" >&2
  exit 1
fi
bad=$(grep -Ev "$system_dlls" <<<"$dlls" || true)
if [ -n "$bad" ]; then
  echo "check-pe-imports: $exe imports non-system DLLs (link statically):" >&2
  sed 's/^/    /' <<<"$bad" >&2
  exit 1
fi
echo "$(basename "$exe") imports system DLLs only: $(tr '\n' ' ' <<<"$dlls")"
