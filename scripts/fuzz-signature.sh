#!/usr/bin/env bash
# Fuzzes the posix signature verifier (PE layout, WIN_CERTIFICATE, PKCS#7 and
# SpcIndirectDataContent, appended CMS signatures) with libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer. Not part of CI.
#
#   scripts/fuzz-signature.sh [seconds]     (default 300)
#
# Builds with scripts/fuzz-build.sh into build/fuzz. The seeds are tiny PE
# and ELF files signed with the throwaway PKI of that build tree; the growing
# corpus stays in build/fuzz/corpus/signature, crashes in build/fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
build=build/fuzz
scripts/fuzz-build.sh signature_fuzz

seeds="$build/seeds/signature"
corpus="$build/corpus/signature"
mkdir -p "$seeds" "$corpus"
for kind in pe elf; do
  python3 tests/signing/tiny_program.py "$kind" "$seeds/unsigned.$kind"
done
scripts/test-signing.sh pe "$build/test-pki" pinned "$seeds/unsigned.pe" "$seeds/pinned.pe"
scripts/test-signing.sh appended "$build/test-pki" pinned "$seeds/unsigned.elf" "$seeds/pinned.elf"
cd "$build"
./signature_fuzz -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 corpus/signature seeds/signature
