#!/usr/bin/env bash
# Installs the Debian packages that the builds, tests and benchmarks need,
# and with a group name also those of the tools outside `make test`:
#   fuzz      clang and its libFuzzer runtime (scripts/fuzz-*.sh)
#   pictures  Pillow and optipng (skin/draw_pictures.py)
# Quick when everything is present: it asks dpkg first and apt only for gaps.
#
# usage: scripts/install-deps.sh [fuzz] [pictures]
set -euo pipefail
# Every program a script, the Makefile or a test calls comes from one of
# these (or from an Essential package: coreutils, grep, sed, util-linux,
# libc-bin, dpkg...). fonts-dejavu-core gives ImageMagick the faces that
# scripts/screenshots.sh names.
packages=(
  cmake ninja-build make pkg-config g++ binutils zip unzip
  libcurl4-openssl-dev libjsoncpp-dev libtinyxml2-dev libeasyloggingpp-dev
  libminizip-dev libpng-dev libstb-dev libicu-dev zlib1g-dev libssl-dev googletest libgtest-dev libgmock-dev
  libcpp-httplib-dev nginx-light tinyproxy squid aria2 curl openssl iproute2 procps bc time
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  libz-mingw-w64-dev mingw-w64-tools dpkg-dev bzip2 xz-utils python3 file xvfb xauth wine wine64
  osslsigncode ccache fontconfig fonts-wine fonts-dejavu-core fonts-noto-core fonts-noto-cjk
  fonts-tlwg-garuda-ttf fonts-lohit-deva xdotool imagemagick locales-all mount
)
for group in "$@"; do
  case $group in
    fuzz) packages+=(clang libclang-rt-dev) ;;
    pictures) packages+=(python3-pil optipng) ;;
    *) echo "usage: $0 [fuzz] [pictures]" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""; [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
