#!/usr/bin/env bash
# Configures and builds the Windows programs for one mingw-w64 target.
#
# usage: scripts/build-windows.sh [--tests] <i686-w64-mingw32|x86_64-w64-mingw32> <builddir> [-DNAME=value...]
#
# The dependencies must have been built (scripts/build-win-deps.sh <triple>).
#
# Without --tests it builds the release: Setup.exe alone, without the test
# switches of the files beside it and without the test signing root
# (SETUP_TRUST_SWITCHES off), so a publisher pin must be given
# (-DSETUP_PUBLISHER_PIN=...). It puts a stripped, signed copy at
# <builddir>/Setup.exe (build/win32/Setup.exe from the Makefile) and checks
# that it is a GUI program of the target that imports only KnownDLLs, has
# ASLR and NX (scripts/check-pe-imports.sh) and holds no test switch and no
# test root (scripts/check-release.sh).
#
# --tests builds for tests: the switches, the test PKI, the test programs,
# the stand-in packages and skinview; bin/Setup.exe gets the import check.
set -euo pipefail

tests=0
[ "${1:-}" = --tests ] && { tests=1; shift; }
triple=${1:?usage: $0 [--tests] <triple> <builddir>}
builddir=${2:?usage: $0 [--tests] <triple> <builddir>}
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

case "$triple" in
  i686-*) pe_type="PE32 executable (GUI) Intel 80386" ;;
  *) pe_type="PE32+ executable (GUI) x86-64" ;;
esac
kind=release targets=(--target Setup) test_settings=(-DSETUP_TRUST_SWITCHES=OFF -DSETUP_BUILD_TESTS=OFF -DSETUP_LAYOUT_REPORT=OFF)
if ((tests)); then
  kind="build for tests" targets=() test_settings=(-DSETUP_TRUST_SWITCHES=ON -DSETUP_BUILD_TESTS=ON)
fi
start=$(date +%s)
# Configured every time (quick once cached), so that a tree configured
# before takes this kind of build too.
log "configuring $builddir ($kind, $build_type)"
cmake -S "$root" -B "$builddir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE="$build_type" "${test_settings[@]}" "$@" >/dev/null
log "building"
cmake --build "$builddir" -j "$jobs" "${targets[@]}"

exe=$builddir/bin/Setup.exe
[ -f "$exe" ] || die "$exe was not built"
check_imports() { "$root/scripts/check-pe-imports.sh" "$1" "$pe_type" || die "Setup.exe must import KnownDLLs only, with ASLR and NX"; }

if ((tests)); then
  check_imports "$exe"
else
  # The shipped program: <builddir>/Setup.exe, stripped (bin/ keeps symbols).
  "$triple-strip" -o "$builddir/Setup.exe.tmp" "$exe"
  mv -f "$builddir/Setup.exe.tmp" "$builddir/Setup.exe"
  sh "$builddir/sign-setup.sh" "$builddir/Setup.exe"
  check_imports "$builddir/Setup.exe"
  # A release for a test bed may report where its controls are (scripts/make-installer.sh).
  release_check=()
  grep -qx 'SETUP_LAYOUT_REPORT:BOOL=ON' "$builddir/CMakeCache.txt" && release_check=(--layout-report)
  "$root/scripts/check-release.sh" "${release_check[@]}" "$builddir/Setup.exe" "$builddir/test-pki/ca.der" ||
    die "Setup.exe is no release"
  log "$builddir/Setup.exe: $(file -b "$builddir/Setup.exe"), $(stat -c %s "$builddir/Setup.exe") bytes"
fi
log "done in $(( $(date +%s) - start )) s"
