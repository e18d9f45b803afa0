#!/usr/bin/env bash
# Fails unless a Windows program is built as it ships: a program that honours
# the test switches of the files beside it holds their names as UTF-16 texts
# ("ov_downloader.cfg": TestEnv, AutoRun, CrashTest, CaBundle, TlsVerify,
# ServiceHost; the SDK's "test.wk": TestEnv), and one that trusts a test
# signing root holds it as hexadecimal DER. Names everything it finds.
#
# usage: scripts/check-release.sh <program.exe> [test root .der...]
set -euo pipefail
exe=${1:?usage: $0 <program.exe> [test root .der...]}
shift
[ -f "$exe" ] || { echo "check-release: $exe does not exist" >&2; exit 1; }
found=()
for name in TestEnv AutoRun CrashTest CaBundle TlsVerify ServiceHost; do
  if LC_ALL=C grep -qaP "$(printf '%s' "$name" | sed 's/./&\\x00/g')" "$exe"; then
    found+=("the test switch $name")
  fi
done
for root in "$@"; do
  if LC_ALL=C grep -qa "$(od -An -tx1 -v -N32 "$root" | tr -d ' \n')" "$exe"; then
    found+=("the test signing root $root")
  fi
done
if ((${#found[@]})); then
  echo "check-release: $exe is a build for tests: it holds" >&2
  printf '    %s\n' "${found[@]}" >&2
  exit 1
fi
echo "$(basename "$exe") holds no test switch and no test signing root"
