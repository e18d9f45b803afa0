#!/usr/bin/env bash
# Fuzzes the configuration answer (the <Downloader> extraction and
# CConfigure::readDownloadInfoFromXml) with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer. Not part of CI.
#
#   scripts/fuzz-configure.sh [seconds]     (default 300)
#
# Needs clang and libclang-rt-14-dev (Debian). Builds into build/fuzz; the
# growing corpus stays in build/fuzz/corpus/configure, crashes in build/fuzz
# (the harness binary is build/fuzz/configure_fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
build=build/fuzz
command -v clang++ >/dev/null || { echo "clang++ is missing (apt-get install clang libclang-rt-14-dev)"; exit 1; }

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSETUP_BUILD_TESTS=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_PROJECT_INCLUDE="$PWD/tests/fuzz/FuzzTargets.cmake" >/dev/null
cmake --build "$build" --target configure_fuzz

corpus="$build/corpus/configure"
mkdir -p "$corpus"
cp -n tests/fuzz/seeds/configure/* "$corpus"/
cd "$build"
./configure_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -dict=../../tests/fuzz/configure.dict -print_final_stats=1 corpus/configure
