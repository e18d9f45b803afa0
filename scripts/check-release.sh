#!/usr/bin/env bash
# Fails unless a Windows program is built as it ships: a program that honours
# the test switches of the files beside it holds their names as UTF-16 texts
# ("ov_downloader.cfg": TestEnv, AutoRun, CrashTest, CaBundle, TlsVerify,
# ServiceHost, AnalyticsHost; the SDK's "test.wk": TestEnv), and one that
# trusts a test signing root holds it as hexadecimal DER, and one whose windows
# write where their controls are holds the name of that report
# ("setup-layout.txt", UTF-16). Names everything it finds.
#
# usage: scripts/check-release.sh [--layout-report] <program.exe> [test root .der...]
#   --layout-report: the release is for a test bed whose script clicks its
#   controls (scripts/make-installer.sh --layout-report): the report may be in it.
set -euo pipefail
layout_report=0
[ "${1:-}" = --layout-report ] && { layout_report=1; shift; }
exe=${1:?usage: $0 [--layout-report] <program.exe> [test root .der...]}
shift
[ -f "$exe" ] || { echo "check-release: $exe does not exist" >&2; exit 1; }
found=()
holds_utf16() { LC_ALL=C grep -qaP "$(printf '%s' "$1" | sed 's/./&\\x00/g')" "$exe"; }
for name in TestEnv AutoRun CrashTest CaBundle TlsVerify ServiceHost AnalyticsHost; do
  if holds_utf16 "$name"; then found+=("the test switch $name"); fi
done
if ((!layout_report)) && holds_utf16 setup-layout.txt; then found+=("the layout report"); fi
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
if ((layout_report)); then
  echo "$(basename "$exe") holds no test switch and no test signing root (a layout report may be in it)"
else
  echo "$(basename "$exe") holds no test switch, no layout report and no test signing root"
fi
