#!/usr/bin/env bash
# Builds one libFuzzer target of tests/fuzz/FuzzTargets.cmake into build/fuzz
# (clang with AddressSanitizer and UndefinedBehaviorSanitizer), for the
# scripts/fuzz-*.sh scripts.
#
#   scripts/fuzz-build.sh <target>
#
# Installs clang and its libFuzzer runtime when missing (scripts/install-deps.sh fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: $0 <target>}
build=build/fuzz
scripts/install-deps.sh fuzz

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSETUP_TRUST_SWITCHES=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSETUP_BUILD_TESTS=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_PROJECT_INCLUDE="$PWD/tests/fuzz/FuzzTargets.cmake" >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target "$target"
