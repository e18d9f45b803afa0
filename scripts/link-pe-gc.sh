#!/usr/bin/env bash
# Links a 32-bit Windows program with GNU ld so that --gc-sections drops the
# inline and template functions nothing calls.
#
# usage: scripts/link-pe-gc.sh <compiler> <link arguments...>
#        (CMake's linker launcher for i686-w64-mingw32, cmake/WindowsDeps.cmake)
#
# GCC gives each such function's unwind record a section of its own,
# .eh_frame$<function>, beside .text$<function>. GNU ld's script keeps every
# .eh_frame* section, and each one keeps its function, so the collection
# removes little. The unwind record of a function that stays must stay too,
# or an exception thrown through it ends the program. So the program is
# linked until that holds: each link keeps the records of the functions the
# previous link kept, and the last link keeps no function whose record it
# dropped. The unwind records of ordinary functions (the .eh_frame section)
# are always kept, as are those of functions a kept record refers to.
set -euo pipefail

cxx=${1:?usage: $0 <compiler> <link arguments...>}
shift
out=
prev=
for arg in "$@"; do
  [ "$prev" = -o ] && out=$arg
  prev=$arg
done
[ -n "$out" ] || { echo "link-pe-gc: no -o in the link command" >&2; exit 2; }

work=$out.gc
mkdir -p "$work"
ld=$("$cxx" -print-prog-name=ld)
# The default script, between the lines of '=' that ld --verbose prints.
"$ld" --verbose | sed -n '/^=====/,/^=====/p' | sed '1d;$d' >"$work/default.x"
grep -q 'KEEP(\*(\.eh_frame\*))' "$work/default.x" ||
  { echo "link-pe-gc: $ld's script does not keep .eh_frame* as expected" >&2; exit 1; }

: >"$work/kept"
for pass in 1 2 3 4 5 6; do
  # One input statement for all records, so that they stay in input order
  # and crtend.o's terminator stays last.
  awk -v kept="$work/kept" '
    /KEEP\(\*\(\.eh_frame\*\)\)/ {
      print "    KEEP(*(.eh_frame"
      while ((getline name <kept) > 0) print "      .eh_frame$" name
      print "    ))"
      next
    }
    { print }' "$work/default.x" >"$work/link.x"
  "$cxx" "$@" -Wl,-T,"$work/link.x" -Wl,-Map,"$work/link.map"
  # The functions this link kept: .text$<name> in the memory map.
  sed -n '/^Linker script and memory map/,$p' "$work/link.map" |
    sed -n 's/^ \.text\$\([^ ]*\).*/\1/p' | sort -u >"$work/linked"
  [ -n "$(comm -23 "$work/linked" "$work/kept")" ] || exit 0
  sort -u "$work/kept" "$work/linked" -o "$work/kept"
done
echo "link-pe-gc: the kept functions did not settle in $pass links" >&2
exit 1
