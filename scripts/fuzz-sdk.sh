#!/usr/bin/env bash
# Fuzzes the reporting SDK's queue-file reader and SetExtraCommon with
# libFuzzer (clang, AddressSanitizer and UndefinedBehaviorSanitizer).
#
# usage: scripts/fuzz-sdk.sh [seconds per target, default 180]
#
# The libraries are built with coverage instrumentation in build/fuzz-sdk;
# corpora and crash inputs stay in build/fuzz-sdk/<target>/. The JSON library
# itself is not instrumented, so the runs start from the seed files of
# tests/fuzz/seeds/<target> with a dictionary of JSON tokens.
set -euo pipefail

seconds=${1:-180}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz-sdk
jobs=${JOBS:-2}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g -O1"
"$root/scripts/install-deps.sh" fuzz

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSETUP_TRUST_SWITCHES=ON \
  -DSETUP_BUILD_TESTS=OFF -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" -j "$jobs" --target reportsdk setupcore elpp

libs=("$build/libreportsdk.a" "$build/libsetupcore.a" "$build/libreportsdk.a" "$build/libelpp.a")
deps=$(pkg-config --libs libcurl jsoncpp tinyxml2 minizip)
includes=(-I"$root/reportsdk" -I"$root/src" -I"$root" $(pkg-config --cflags jsoncpp))

for target in QueueFile ExtraCommon; do
  binary=$build/fuzz_$target
  clang++ -std=c++17 -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer -g -O1 "${includes[@]}" \
    "$root/tests/fuzz/${target}Fuzz.cpp" "${libs[@]}" $deps -lssl -lcrypto -lpthread -ldl -o "$binary"
  mkdir -p "$build/$target/corpus"
  echo "== fuzzing $target for $seconds s"
  (cd "$build/$target" && "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=1024 \
    -dict="$root/tests/fuzz/sdk_json.dict" -print_final_stats=1 corpus "$root/tests/fuzz/seeds/$target" 2>&1 |
    tail -n 15)
done
