#!/usr/bin/env bash
# Builds one libFuzzer target of tests/fuzz/FuzzTargets.cmake into build/fuzz
# (clang with AddressSanitizer and UndefinedBehaviorSanitizer), for the
# scripts/fuzz-*.sh scripts.
#
#   scripts/fuzz-build.sh <target>
#
# Needs clang and libclang-rt-14-dev (Debian).
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: $0 <target>}
build=build/fuzz
command -v clang++ >/dev/null || { echo "clang++ is missing (apt-get install clang libclang-rt-14-dev)"; exit 1; }

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DSETUP_BUILD_TESTS=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_PROJECT_INCLUDE="$PWD/tests/fuzz/FuzzTargets.cmake" >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target "$target"
