#!/usr/bin/env bash
# Configures and builds the Windows programs for one mingw-w64 target.
#
# usage: scripts/build-windows.sh <i686-w64-mingw32|x86_64-w64-mingw32> <builddir> [-DNAME=value...]
#
# The dependencies must have been built (scripts/build-win-deps.sh <triple>).
# It checks that Setup.exe imports only KnownDLLs and has ASLR and NX
# (scripts/check-pe-imports.sh). For the i686 build (the shipped product) it
# also checks that Setup.exe is a PE32 i386 GUI program and puts a stripped
# copy at <builddir>/Setup.exe (build/win32/Setup.exe from the Makefile).
# The i686 build is the product: it is built without the TLS switches of the
# local settings file and without the test signing root, and the script
# checks that they are gone.
set -euo pipefail

triple=${1:?usage: $0 <triple> <builddir>}
builddir=${2:?usage: $0 <triple> <builddir>}
shift 2  # any further arguments are CMake settings (scripts/make-installer.sh)
root=$(cd "$(dirname "$0")/.." && pwd)
case "$builddir" in /*) ;; *) builddir=$root/$builddir ;; esac
toolchain=$root/cmake/toolchain-$triple.cmake
[ -f "$toolchain" ] || { echo "build-windows: no toolchain file for '$triple'" >&2; exit 2; }
jobs=${JOBS:-$(nproc)}
build_type=${SETUP_WIN_BUILD_TYPE:-MinSizeRel}

log() { printf '[build-windows %s] %s\n' "$triple" "$*"; }
die() { printf '[build-windows %s] ERROR: %s\n' "$triple" "$*" >&2; exit 1; }

[ -f "$root/build/deps/$triple/lib/libcurl.a" ] ||
  "$root/scripts/build-win-deps.sh" "$triple"

trust_switches=ON
[ "$triple" = i686-w64-mingw32 ] && trust_switches=OFF
start=$(date +%s)
# Configured every time (quick once cached), so that an older tree takes
# the product's settings too.
log "configuring $builddir ($build_type)"
cmake -S "$root" -B "$builddir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE="$build_type" \
  -DSETUP_BUILD_TESTS=ON -DSETUP_TRUST_SWITCHES="$trust_switches" "$@" >/dev/null
log "building"
cmake --build "$builddir" -j "$jobs"

exe=$builddir/bin/Setup.exe
[ -f "$exe" ] || die "$exe was not built"

check_imports() { "$root/scripts/check-pe-imports.sh" "$@" || die "Setup.exe must import KnownDLLs only, with ASLR and NX"; }

if [ "$triple" = i686-w64-mingw32 ]; then
  # A PE32 i386 GUI program that imports KnownDLLs only.
  check_imports "$exe" "PE32 executable (GUI) Intel 80386"
  # The shipped program: <builddir>/Setup.exe, stripped (bin/ keeps symbols).
  "$triple-strip" -o "$builddir/Setup.exe.tmp" "$exe"
  mv -f "$builddir/Setup.exe.tmp" "$builddir/Setup.exe"
  sh "$builddir/sign-setup.sh" "$builddir/Setup.exe"
  check_imports "$builddir/Setup.exe" "PE32 executable (GUI) Intel 80386"
  # The switch names are UTF-16 texts in a program that honours them.
  for name in CaBundle TlsVerify; do
    if LC_ALL=C grep -qaP "$(printf '%s' "$name" | sed 's/./&\\x00/g')" "$builddir/Setup.exe"; then
      die "Setup.exe honours the test switch $name"
    fi
  done
  # Nor does it trust the test signing root (compiled in as hexadecimal DER).
  root_hex=$(od -An -tx1 -v "$builddir/test-pki/ca.der" | tr -d ' \n' | head -c 64)
  if LC_ALL=C grep -qa "$root_hex" "$builddir/Setup.exe"; then
    die "Setup.exe trusts the test signing root"
  fi
  log "$builddir/Setup.exe: $(file -b "$builddir/Setup.exe"), $(stat -c %s "$builddir/Setup.exe") bytes"
else
  check_imports "$exe" "PE32+ executable (GUI) x86-64"
fi
log "done in $(( $(date +%s) - start )) s"
