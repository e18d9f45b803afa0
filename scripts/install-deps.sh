#!/usr/bin/env bash
# Installs the Debian packages that the builds, tests and benchmarks need.
# Quick when everything is present: it asks dpkg first and apt only for gaps.
set -euo pipefail
packages=(
  cmake ninja-build make pkg-config g++ zip unzip
  libcurl4-openssl-dev libjsoncpp-dev libtinyxml2-dev libeasyloggingpp-dev
  libminizip-dev libpng-dev libstb-dev zlib1g-dev libssl-dev googletest libgtest-dev libgmock-dev
  libcpp-httplib-dev nginx-light tinyproxy squid aria2 curl openssl iproute2 bc time util-linux
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  mingw-w64-tools dpkg-dev bzip2 xz-utils python3 file xvfb xauth wine wine64 osslsigncode ccache
  fonts-wine fonts-noto-core fonts-noto-cjk fonts-tlwg-garuda-ttf xdotool imagemagick locales-all
)
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
