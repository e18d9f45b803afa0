#!/usr/bin/env bash
# Fuzzes the configuration answer (the <Downloader> extraction and
# CConfigure::readDownloadInfoFromXml) with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer. Not part of CI.
#
#   scripts/fuzz-configure.sh [seconds]     (default 300)
#
# Builds with scripts/fuzz-build.sh into build/fuzz; the growing corpus stays in build/fuzz/corpus/configure, crashes in build/fuzz
# (the harness binary is build/fuzz/configure_fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
build=build/fuzz
scripts/fuzz-build.sh configure_fuzz

corpus="$build/corpus/configure"
mkdir -p "$corpus"
cp -n tests/fuzz/seeds/configure/* "$corpus"/
cd "$build"
./configure_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -dict=../../tests/fuzz/configure.dict -print_final_stats=1 corpus/configure
