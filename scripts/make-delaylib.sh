#!/usr/bin/env bash
# Makes a delay-load import library for one system DLL out of its ordinary
# import library: every function the import library has a thunk for.
#
# usage: scripts/make-delaylib.sh <triple> <import library> <dll name> <output .a>
set -euo pipefail
triple=${1:?usage: $0 <triple> <import library> <dll name> <output .a>}
implib=${2:?} dll=${3:?} out=${4:?}
def=${out%.a}.def

# i686 symbols carry the cdecl underscore and the stdcall suffix (_Name@8):
# the .def keeps "@8", and dlltool -k imports the plain name from the DLL.
case "$triple" in
  i686-*) unprefix='s/^_//'; kill_at=(-k) ;;
  *) unprefix=; kill_at=() ;;
esac
{
  printf 'LIBRARY "%s"\nEXPORTS\n' "$dll"
  "$triple-nm" -g --defined-only "$implib" | awk '$2 == "T" { print $3 }' | sed "$unprefix" | sort -u
} >"$def.tmp"
grep -q '^[A-Za-z]' <(tail -n +3 "$def.tmp") || { echo "make-delaylib: no functions in $implib" >&2; exit 1; }
mv -f "$def.tmp" "$def"
"$triple-dlltool" "${kill_at[@]}" --input-def "$def" --output-delaylib "$out"
