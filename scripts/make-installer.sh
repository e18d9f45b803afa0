#!/usr/bin/env bash
# Builds a publisher's signed i686 Setup.exe from a folder of their own,
# without editing a source file (publisher-example/ is the template and its
# README.md describes each file). It is a release: no test switches, the
# folder's publisher pin, signed with the folder's key and time-stamp server.
#
# usage: scripts/make-installer.sh [--x86_64] [--for-tests] [--layout-report] FOLDER [BUILDDIR]
#   BUILDDIR: build/installer, or build/installer-x86_64 with --x86_64, which
#   builds the same release for x86_64 (it runs under wine64, where 32-bit
#   programs cannot; scripts/e2e-windows.sh runs one).
#   --for-tests: the release is for a test bed, so the check lets its hosts be
#   this machine's and its GA4 measurement id the test one, which it refuses
#   for a release users get.
#   --layout-report: the windows write where their controls are, for a script
#   that clicks them (scripts/e2e-windows.sh); the release check lets it pass.
#
# The folder is checked first (build/linux/bin/publishercheck, built when
# missing): every problem is reported by file and line and nothing is built.
# Then the skin is staged in BUILDDIR/skin-archive (FOLDER/skin with
# FOLDER/configure.xml as configure/configure.xml) and scripts/build-windows.sh
# builds the product with the folder's hosts, publisher settings, icon and
# signing key, leaving the stripped, signed BUILDDIR/Setup.exe. ccache, when
# installed, lets a build tree share the objects of build/win32.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
triple=i686-w64-mingw32 default_build=installer
check_options=() build_options=()
while [[ "${1:-}" == --* ]]; do
  case $1 in
    --x86_64) triple=x86_64-w64-mingw32 default_build=installer-x86_64 ;;
    --for-tests) check_options+=(--for-tests) ;;
    --layout-report) build_options+=(-DSETUP_LAYOUT_REPORT=ON) ;;
    *) echo "make-installer: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
folder=${1:?usage: $0 [--x86_64] [--for-tests] [--layout-report] FOLDER [BUILDDIR]}
builddir=${2:-$root/build/$default_build}
[ -d "$folder" ] || { echo "make-installer: no folder $folder" >&2; exit 2; }
folder=$(cd "$folder" && pwd)
mkdir -p "$builddir"
builddir=$(cd "$builddir" && pwd)
start=$(date +%s)
log() { printf '[make-installer] %s\n' "$*"; }

if command -v ccache >/dev/null && [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
fi

# The checker runs on this machine: a Linux build of it.
checker=$root/build/linux/bin/publishercheck
if [ ! -x "$checker" ] || [ "$root/tools/publishercheck.cpp" -nt "$checker" ]; then
  log "building the folder checker"
  [ -f "$root/build/linux/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$root/build/linux" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSETUP_TRUST_SWITCHES=ON >/dev/null
  cmake --build "$root/build/linux" --target publishercheck >/dev/null
fi

# The skin archive as the build packs it.
staged=$builddir/skin-archive
rm -rf "$staged" "$builddir/skin-check.zip"
mkdir -p "$staged/configure"
[ -d "$folder/skin" ] && cp -R "$folder/skin/." "$staged/"
[ -f "$folder/configure.xml" ] && cp "$folder/configure.xml" "$staged/configure/configure.xml"
(cd "$staged" && find . -type f | sed 's|^\./||' | LC_ALL=C sort >"$builddir/skin-files.txt" &&
  cmake -E tar cf "$builddir/skin-check.zip" --format=zip --files-from="$builddir/skin-files.txt")

# Every host setting the build declares must be in hosts.txt.
mapfile -t host_settings < <(grep -oE '^set\(SETUP_[A-Z0-9_]+_HOSTS? ' "$root/CMakeLists.txt" | sed 's/^set(//; s/ $//')
log "checking $folder"
"$checker" "${check_options[@]}" "$folder" "$builddir/skin-check.zip" "${host_settings[@]}" || {
  echo "make-installer: fix the problems above in $folder" >&2
  exit 1
}

# KEY=value lines of a settings file as CMake settings.
settings() { grep -vE '^[[:space:]]*(#|$)' "$1" | sed -E 's/^[[:space:]]*([A-Z0-9_]+)[[:space:]]*=[[:space:]]*/-D\1=/; s/[[:space:]]*$//'; }
args=("${build_options[@]}" "-DSETUP_SKIN_DIR=$staged"
      "-DSETUP_SIGNING_KEY=$folder/signing/key.pem" "-DSETUP_SIGNING_CERT=$folder/signing/cert.pem")
[ -f "$folder/setup.ico" ] && args+=("-DSETUP_ICON=$folder/setup.ico")
mapfile -t -O ${#args[@]} args < <(settings "$folder/hosts.txt"; settings "$folder/publisher.txt")
# A fresh cache, so that nothing of an earlier folder stays; the objects stay.
rm -f "$builddir/CMakeCache.txt"
"$root/scripts/build-windows.sh" "$triple" "$builddir" "${args[@]}"
log "$builddir/Setup.exe built and signed in $(( $(date +%s) - start )) s"
