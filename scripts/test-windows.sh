#!/usr/bin/env bash
# Runs the Windows tests: the x86_64 test program under wine64 (32-bit code
# cannot run on these machines), the whole job of an x86_64 release
# Setup.exe from loopback servers (scripts/e2e-windows.sh builds it), the
# window of the x86_64 build for tests in every language
# (scripts/screenshots.sh),
# and the check that both Setup.exe builds import only KnownDLLs (the others
# are delay-loaded) and have ASLR and NX.
#
# usage: scripts/test-windows.sh <win64 builddir> <win32 builddir>
#
# Wine runs in a prefix inside the build tree (build/wine-prefix), without
# Mono/Gecko prompts and without debug output. Never install wine32 or the
# i386 architecture: with it, /usr/bin/wine picks the 32-bit loader and every
# program fails with exit code 126.
set -uo pipefail

win64=${1:?usage: $0 <win64 builddir> <win32 builddir>}
win32=${2:?usage: $0 <win64 builddir> <win32 builddir>}
root=$(cd "$(dirname "$0")/.." && pwd)
case "$win64" in /*) ;; *) win64=$root/$win64 ;; esac
case "$win32" in /*) ;; *) win32=$root/$win32 ;; esac

export WINEPREFIX=${SETUP_WINEPREFIX:-$root/build/wine-prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
test_timeout=${SETUP_WIN_TEST_TIMEOUT:-900}

log() { printf '[test-windows] %s\n' "$*"; }
failures=()
fail() { printf '[test-windows] FAILED: %s\n' "$*" >&2; failures+=("$*"); }

wine=""
for w in /usr/lib/wine/wine64 wine64 /usr/bin/wine; do
  if command -v "$w" >/dev/null 2>&1; then wine=$(command -v "$w"); break; fi
done
[ -n "$wine" ] || { echo "[test-windows] wine64 missing (scripts/install-deps.sh)" >&2; exit 1; }
if dpkg --print-foreign-architectures 2>/dev/null | grep -qx i386; then
  log "warning: the i386 architecture is enabled; if wine32 is installed, wine fails (exit 126)"
fi
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

# ---- 1. both programs: KnownDLLs only, ASLR and NX ----------------------------
setup32=$win32/Setup.exe
if "$root/scripts/check-pe-imports.sh" "$setup32" "PE32 executable (GUI) Intel 80386"; then
  log "win32 Setup.exe: PE32 i386 GUI, $(stat -c %s "$setup32") bytes"
else
  fail "win32 Setup.exe import and DllCharacteristics check"
fi
"$root/scripts/check-pe-imports.sh" "$win64/bin/Setup.exe" "PE32+ executable (GUI) x86-64" ||
  fail "win64 Setup.exe import and DllCharacteristics check"

# ---- 2. the x86_64 test program under wine64 ---------------------------------
tests_exe=$win64/bin/setup_tests.exe
"$root/scripts/check-pe-imports.sh" "$tests_exe" >/dev/null || fail "setup_tests.exe import check"

mkdir -p "$(dirname "$WINEPREFIX")"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  log "creating the wine prefix $WINEPREFIX"
  start=$(date +%s)
  DISPLAY= "$wine" wineboot -i >/dev/null 2>&1 || true
  "$wineserver" -w || true
  log "wine prefix ready in $(( $(date +%s) - start )) s"
fi
"$root/scripts/wine-fonts.sh" "$wine" || fail "wine fonts"

# A display lets the tests that need a top-level window run (else they skip).
run_wine() {  # log-file program args...
  local out=$1; shift
  if command -v xvfb-run >/dev/null 2>&1; then
    timeout "$test_timeout" xvfb-run -a -s "-screen 0 1280x800x24" \
      sh -c '"$0" "$@"; rc=$?; "'"$wineserver"'" -w; exit $rc' "$wine" "$@" >"$out" 2>&1
  else
    timeout "$test_timeout" "$wine" "$@" >"$out" 2>&1
  fi
}

report=$win64/setup_tests-wine.log
log "running $(basename "$tests_exe") under $(basename "$wine")"
start=$(date +%s)
(cd "$(dirname "$tests_exe")" && run_wine "$report" "$tests_exe" --gtest_color=no)
rc=$?
elapsed=$(( $(date +%s) - start ))
passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$report" | tail -1)
failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?, listed below:.*/\1/p' "$report" | tail -1)
skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?, listed below:.*/\1/p' "$report" | tail -1)
total=$(sed -n 's/^\[==========\] \([0-9]*\) tests\? from .* ran\..*/\1/p' "$report" | tail -1)
grep -E '^\[  (FAILED|SKIPPED) \] [A-Za-z_0-9]+\.' "$report" | sort -u | sed 's/^/    /'
if [ "$rc" -ne 0 ] || [ -z "$total" ]; then
  tail -40 "$report" >&2
  [ -z "$total" ] && fail "setup_tests.exe did not finish (exit $rc)"
  [ "$rc" -ne 0 ] && fail "setup_tests.exe exit code $rc"
fi
log "setup_tests.exe: ${total:-0} tests in ${elapsed} s (log: $report)"

# ---- 3. a release's whole job under Wine: install, start, a tampered package --
if "$root/scripts/e2e-windows.sh" "$win64" "$root/build/linux"; then
  log "the release Setup.exe installed and started the product and refused a tampered package"
else
  fail "Setup.exe end to end (scripts/e2e-windows.sh)"
fi

# ---- 4. the x86_64 Setup.exe's window in every language: build/screens/ ----
if "$root/scripts/screenshots.sh" "$win64"; then
  log "Setup.exe showed its window in every language (build/screens/index.png)"
else
  fail "Setup.exe window check (scripts/screenshots.sh)"
fi

"$wineserver" -k >/dev/null 2>&1 || true   # this prefix's server only

echo "wine64: ${passed:-0} passed, ${failed:-0} failed, ${skipped:-0} skipped"
if ((${#failures[@]})); then
  printf '[test-windows] %d problem(s):\n' "${#failures[@]}" >&2
  printf '    %s\n' "${failures[@]}" >&2
  exit 1
fi
log "all Windows checks passed"
