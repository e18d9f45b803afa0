#!/usr/bin/env bash
# Builds the Windows dependencies of the installer for one mingw-w64 target
# from Debian SOURCE packages, into build/deps/<triple>/{include,lib}:
#   libcurl (static, Schannel + zlib, library only, built with curl's own
#   mingw make file), jsoncpp (amalgamated), tinyxml2, minizip (zlib's
#   contrib/minizip), GoogleTest (gtest, gtest_main, gmock from
#   /usr/src/googletest) and, for i686, libsensapi.a made with dlltool.
#
# usage: scripts/build-win-deps.sh <i686-w64-mingw32|x86_64-w64-mingw32>
#
# The sources are downloaded once into build/deps/src and shared by both
# targets. Every piece leaves a stamp file; a piece whose stamp and outputs
# exist is skipped, so a warm run takes well under a second.
set -euo pipefail

triple=${1:?usage: $0 <triple>}
case "$triple" in
  i686-w64-mingw32|x86_64-w64-mingw32) ;;
  *) echo "build-win-deps: unknown target '$triple'" >&2; exit 2 ;;
esac

root=$(cd "$(dirname "$0")/.." && pwd)
deps=${SETUP_WIN_DEPS_ROOT:-$root/build/deps}
src=$deps/src
out=$deps/$triple
stamps=$out/stamps
bld=$out/build
jobs=${JOBS:-2}
# Bump when a recipe below changes so that existing caches are rebuilt.
recipe=5

mkdir -p "$deps"
exec 9>"$deps/.lock"
flock 9   # the shared source folder and parallel callers

log() { printf '[win-deps %s] %s\n' "$triple" "$*"; }
die() { printf '[win-deps %s] ERROR: %s\n' "$triple" "$*" >&2; exit 1; }

# ---- stamps -----------------------------------------------------------------
# A stamp holds a key (recipe revision and source version); the piece is done
# when the stamp holds the same key and every listed output exists.
done_already() {  # name key outputs...
  local name=$1 key=$2; shift 2
  [ -f "$stamps/$name" ] && [ "$(cat "$stamps/$name")" = "$key" ] || return 1
  local f
  for f in "$@"; do [ -e "$f" ] || return 1; done
}
mark_done() { mkdir -p "$stamps"; printf '%s' "$2" >"$stamps/$1"; }

# ---- tools ------------------------------------------------------------------
CC=$triple-gcc-posix
CXX=$triple-g++-posix
AR=$triple-ar
RANLIB=$triple-ranlib
DLLTOOL=$triple-dlltool
sysroot=/usr/$triple
PYTHON=/usr/bin/python3; [ -x "$PYTHON" ] || PYTHON=python3

# ---- sources (shared by both targets) ------------------------------------------
# Source package -> unpacked folder under build/deps/src.
source_pkgs=(curl libjsoncpp tinyxml2 zlib)

need_sudo() { [ "$(id -u)" -eq 0 ] && echo "" || echo "sudo"; }

ensure_deb_src() {
  # apt-get source needs deb-src entries; add a copy of the system's entries.
  if grep -rqs -E '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null; then
    return 1  # already present: no update needed on their account
  fi
  local s; s=$(need_sudo)
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    log "adding deb-src entries (/etc/apt/sources.list.d/websetup-deb-src.sources)"
    sed -E 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $s tee /etc/apt/sources.list.d/websetup-deb-src.sources >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    log "adding deb-src entries (/etc/apt/sources.list.d/websetup-deb-src.list)"
    grep -E '^deb ' /etc/apt/sources.list | sed -E 's/^deb /deb-src /' |
      $s tee /etc/apt/sources.list.d/websetup-deb-src.list >/dev/null
  else
    die "no apt sources found to derive deb-src entries from"
  fi
  return 0
}

fetch_sources() {
  local missing=() p
  for p in "${source_pkgs[@]}"; do
    [ -f "$src/.stamp-$p" ] && [ -d "$src/$(cat "$src/.stamp-$p")" ] || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  command -v dpkg-source >/dev/null || die "dpkg-source missing (apt-get install dpkg-dev)"
  mkdir -p "$src/dl"
  local s; s=$(need_sudo)
  if ensure_deb_src; then $s apt-get update -qq; fi
  log "downloading source packages: ${missing[*]}"
  # Each package on its own: the security suite's sources are not always on
  # the mirror, and then the release suite's version serves.
  local codename updated=0
  codename=$(. /etc/os-release 2>/dev/null; echo "${VERSION_CODENAME:-bookworm}")
  for p in "${missing[@]}"; do
    get_src() { (cd "$src/dl" && apt-get source --download-only -qq "$1" >"apt-source-$p.log" 2>&1); }
    get_src "$p" && continue
    get_src "$p/$codename" && continue
    if [ "$updated" -eq 0 ]; then
      $s apt-get update -qq; updated=1
      get_src "$p" && continue
      get_src "$p/$codename" && continue
    fi
    cat "$src/dl/apt-source-$p.log" >&2
    die "apt-get source $p failed"
  done
  for p in "${missing[@]}"; do
    local dsc
    dsc=$(ls -t "$src/dl/${p}_"*.dsc 2>/dev/null | head -1)
    [ -n "$dsc" ] || die "no .dsc downloaded for $p"
    local dir=${p}-$(basename "$dsc" .dsc | sed -E "s/^${p}_//")
    rm -rf "${src:?}/$dir"
    log "unpacking $(basename "$dsc")"
    dpkg-source -q -x "$dsc" "$src/$dir" >"$src/dl/unpack-$p.log" 2>&1 ||
      { cat "$src/dl/unpack-$p.log" >&2; die "dpkg-source -x $p failed"; }
    printf '%s' "$dir" >"$src/.stamp-$p"
  done
}

srcdir() { echo "$src/$(cat "$src/.stamp-$1")"; }

prepare_jsoncpp_amalgamation() {
  local d; d=$(srcdir libjsoncpp)
  [ -f "$d/dist/jsoncpp.cpp" ] && [ -f "$d/dist/json/json.h" ] && return 0
  log "amalgamating jsoncpp"
  (cd "$d" && "$PYTHON" amalgamate.py >/dev/null) || die "jsoncpp amalgamation failed"
}

# ---- pieces -----------------------------------------------------------------

# libcurl with curl's own GNU make file for mingw (lib/Makefile.mk, which
# uses the maintained lib/config-win32.h): no configure step at all, which
# saves the one to two minutes of CMake checks per target. Static library
# only, Schannel + SSPI + zlib + IPv6, Unicode file names; LDAP and the
# protocols the installer never speaks are left out.
curl_features="-DCURL_STATICLIB -DUNICODE -D_UNICODE -DCURL_DISABLE_LDAP -DCURL_DISABLE_LDAPS \
  -DCURL_DISABLE_DICT -DCURL_DISABLE_GOPHER -DCURL_DISABLE_IMAP -DCURL_DISABLE_MQTT \
  -DCURL_DISABLE_POP3 -DCURL_DISABLE_RTSP -DCURL_DISABLE_SMB -DCURL_DISABLE_SMTP \
  -DCURL_DISABLE_TELNET -DCURL_DISABLE_TFTP -DCURL_DISABLE_FTP -DCURL_DISABLE_FILE \
  -DCURL_DISABLE_COOKIES -DCURL_DISABLE_DOH -DCURL_DISABLE_NETRC -DCURL_DISABLE_ALTSVC \
  -DCURL_DISABLE_GETOPTIONS -DCURL_DISABLE_HEADERS_API -DCURL_DISABLE_PROGRESS_METER"

# The libraries Setup.exe links are built for size: -Os, and every function
# and datum in a section of its own so that the linker keeps only what is
# reached. C code gets no unwind tables (no exception passes through it).
size_flags=(-Os -ffunction-sections -fdata-sections)
c_size_flags=("${size_flags[@]}" -fno-asynchronous-unwind-tables)

build_curl() {
  local d key inc=$out/include lib=$out/lib b=$bld/curl
  d=$(srcdir curl); key="$recipe $(basename "$d")"
  done_already curl "$key" "$lib/libcurl.a" "$inc/curl/curl.h" && return 0
  [ -f "$d/lib/Makefile.mk" ] || die "curl source without lib/Makefile.mk"
  log "libcurl: building ($(basename "$d"))"
  rm -rf "$b"; mkdir -p "$b/obj" "$inc" "$lib"
  # Variables from the environment, so that the make file's own += additions
  # (include paths, feature macros) stay; the two := ones on the command line.
  TRIPLET=$triple CC=$CC AR=$AR CFG=-zlib-sspi-schannel-ipv6 ZLIB_PATH=$sysroot \
  CFLAGS="${c_size_flags[*]}" CPPFLAGS="$curl_features" \
    make -C "$d/lib" -f Makefile.mk -j "$jobs" \
      OBJ_DIR="$b/obj" libcurl_a_LIBRARY="$b/libcurl.a" "$b/libcurl.a" \
      >"$b.build.log" 2>&1 || { tail -40 "$b.build.log" >&2; die "libcurl build failed"; }
  cp "$b/libcurl.a" "$lib/libcurl.a"
  rm -rf "$inc/curl"; mkdir -p "$inc/curl"
  cp "$d"/include/curl/*.h "$inc/curl/"
  rm -rf "$b/obj"  # 4 MB of objects, not needed once archived
  mark_done curl "$key"
}

# Compiles sources to objects and archives them. args: lib-name flags-var srcs...
# The flags follow -O2, so a library built for size passes its own -Os.
compile_lib() {
  local name=$1 flagsvar=$2; shift 2
  local -n flags=$flagsvar
  local odir=$bld/$name objs=() s o
  rm -rf "$odir"; mkdir -p "$odir" "$out/lib"
  for s in "$@"; do
    o=$odir/$(basename "${s%.*}").o
    objs+=("$o")
    case "$s" in
      *.c) "$CC" -O2 "${flags[@]}" -c "$s" -o "$o" ;;
      *) "$CXX" -O2 -std=c++17 "${flags[@]}" -c "$s" -o "$o" ;;
    esac
  done
  rm -f "$out/lib/lib$name.a"
  "$AR" rcs "$out/lib/lib$name.a" "${objs[@]}"
}

build_jsoncpp() {
  local d key; d=$(srcdir libjsoncpp); key="$recipe $(basename "$d")"
  done_already jsoncpp "$key" "$out/lib/libjsoncpp.a" "$out/include/json/json.h" && return 0
  log "jsoncpp"
  prepare_jsoncpp_amalgamation
  local f=("${size_flags[@]}" -I"$d/dist" -w)
  compile_lib jsoncpp f "$d/dist/jsoncpp.cpp"
  rm -rf "$out/include/json"; mkdir -p "$out/include/json"
  # The single headers too, so that <json/value.h> works as on Linux; the
  # amalgamated json.h keeps their include guards and replaces json.h.
  cp "$d"/include/json/*.h "$out/include/json/"
  cp "$d"/dist/json/json.h "$d"/dist/json/json-forwards.h "$out/include/json/"
  mark_done jsoncpp "$key"
}

build_tinyxml2() {
  local d key; d=$(srcdir tinyxml2); key="$recipe $(basename "$d")"
  done_already tinyxml2 "$key" "$out/lib/libtinyxml2.a" "$out/include/tinyxml2.h" && return 0
  log "tinyxml2"
  local f=("${size_flags[@]}" -w)
  compile_lib tinyxml2 f "$d/tinyxml2.cpp"
  mkdir -p "$out/include"; cp "$d/tinyxml2.h" "$out/include/"
  mark_done tinyxml2 "$key"
}

build_minizip() {
  local d key m; d=$(srcdir zlib); key="$recipe $(basename "$d")"; m=$d/contrib/minizip
  done_already minizip "$key" "$out/lib/libminizip.a" "$out/include/minizip/unzip.h" && return 0
  log "minizip"
  local f=("${c_size_flags[@]}" -DNOCRYPT -DNOUNCRYPT -I"$m" -w)
  compile_lib minizip f "$m/zip.c" "$m/unzip.c" "$m/ioapi.c" "$m/iowin32.c"
  rm -rf "$out/include/minizip"; mkdir -p "$out/include/minizip"
  cp "$m"/{zip.h,unzip.h,ioapi.h,iowin32.h} "$out/include/minizip/"
  mark_done minizip "$key"
}

build_gtest() {
  local g=/usr/src/googletest key
  [ -f "$g/googletest/src/gtest-all.cc" ] || die "GoogleTest sources missing (apt-get install googletest)"
  key="$recipe $(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo unknown)"
  done_already gtest "$key" "$out/lib/libgtest.a" "$out/lib/libgtest_main.a" \
    "$out/lib/libgmock.a" "$out/include/gtest/gtest.h" && return 0
  log "GoogleTest"
  local ft=(-I"$g/googletest/include" -I"$g/googletest" -w)
  local fm=(-I"$g/googlemock/include" -I"$g/googlemock" -I"$g/googletest/include" -w)
  compile_lib gtest ft "$g/googletest/src/gtest-all.cc"
  compile_lib gtest_main ft "$g/googletest/src/gtest_main.cc"
  compile_lib gmock fm "$g/googlemock/src/gmock-all.cc"
  rm -rf "$out/include/gtest" "$out/include/gmock"; mkdir -p "$out/include"
  cp -r "$g/googletest/include/gtest" "$g/googlemock/include/gmock" "$out/include/"
  mark_done gtest "$key"
}

build_sensapi() {
  # mingw-w64 ships libsensapi.a for x86_64 only.
  [ "$triple" = i686-w64-mingw32 ] || return 0
  local key="$recipe"
  done_already sensapi "$key" "$out/lib/libsensapi.a" && return 0
  log "libsensapi.a (dlltool)"
  mkdir -p "$bld" "$out/lib"
  printf '%s\n' 'LIBRARY "SensApi.dll"' EXPORTS \
    'IsDestinationReachableA@8' 'IsDestinationReachableW@8' 'IsNetworkAlive@4' >"$bld/sensapi32.def"
  "$DLLTOOL" -k -d "$bld/sensapi32.def" -l "$out/lib/libsensapi.a"
  mark_done sensapi "$key"
}

# ---- main -------------------------------------------------------------------
command -v "$CXX" >/dev/null || die "$CXX missing (scripts/install-deps.sh)"
start=$(date +%s)
fetch_sources
mkdir -p "$out/include" "$out/lib" "$bld"

# libcurl (the bulk of the work) builds in the background beside the small
# libraries.
curl_rc=0
if done_already curl "$recipe $(basename "$(srcdir curl)")" "$out/lib/libcurl.a" "$out/include/curl/curl.h"; then
  curl_pid=""
else
  build_curl & curl_pid=$!
fi
build_sensapi
build_tinyxml2
build_minizip
build_jsoncpp
build_gtest
if [ -n "$curl_pid" ]; then wait "$curl_pid" || curl_rc=$?; fi
[ "$curl_rc" -eq 0 ] || die "libcurl failed"
log "ready in $(( $(date +%s) - start )) s: $out"
