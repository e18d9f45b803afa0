#!/usr/bin/env bash
# A user whose profile path the ANSI code page cannot spell uploads a log:
# the x86_64 Setup.exe under wine64, in a prefix whose user is
# "José Müller 山田" (so APPDATA is C:\users\José Müller 山田\AppData\Roaming)
# on a Russian system (code page 1251, LC_ALL=ru_RU.UTF-8), runs the close
# upload of a log of that profile; the loopback log collection service must
# receive it whole, and the upload run's own log must be there too.
#
# usage: scripts/e2e-unicode-profile.sh <win64 builddir> <linux builddir>
#   (the Linux build provides the reference services)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"  # build folders may be named relative to it
win64=$(realpath "${1:?usage: $0 <win64 builddir> <linux builddir>}")
linux=$(realpath "${2:?usage: $0 <win64 builddir> <linux builddir>}")
user="José Müller 山田"
export WINEPREFIX=$root/build/wine-prefix-unicode WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
export USER=$user LOGNAME=$user LC_ALL=ru_RU.UTF-8
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
fail() { echo "[e2e-unicode-profile] FAILED: $*" >&2; exit 1; }
say() { echo "[e2e-unicode-profile] $*"; }

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  say "creating the wine prefix of $user"
  DISPLAY= "$wine" wineboot -i >/dev/null 2>&1 || true
  "$wineserver" -w || true
fi
logs="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/RIVovaravizu/logs/QuenloSetup"
[ -d "$WINEPREFIX/drive_c/users/$user" ] || fail "the prefix has no profile $user"

dir=$root/build/e2e-unicode-profile
rm -rf "$dir" "$logs"
mkdir -p "$dir/setup" "$logs"
# shellcheck source=loopback-services.sh
. "$root/scripts/loopback-services.sh"
loopback_start "$dir/services" "$linux/bin/refservices" 1m || fail "the loopback peers did not start"
cp "$win64/bin/Setup.exe" "$dir/setup/Setup.exe"
# Wine's Schannel does not take a CA file: this build for tests runs without TLS checks.
loopback_settings "$dir/setup" "" "TlsVerify=0"
printf 'a line of %s\n' "$user" >"$logs/QuenloSetup_1.log"

(cd "$dir/setup" && timeout 120 "$wine" "$dir/setup/Setup.exe" -close01 QuenloSetup_1.log) >"$dir/setup.out" 2>&1 ||
  fail "Setup.exe -close01 failed (see $dir/setup.out)"
"$wineserver" -k 2>/dev/null || true  # this prefix's server only
received=$(loopback_log_uploads | python3 -c 'import json, sys
for u in json.load(sys.stdin):
    if u["accepted"] and u["catalogue"] == "close01" and [e["name"] for e in u["entries"]] == ["QuenloSetup_1.log"]:
        print(u["fileName"]); break')
[ -n "$received" ] || fail "the log collection service received no upload of QuenloSetup_1.log (see $dir/setup.out)"
run_log=$(find "$logs" -name '*.log' ! -name 'QuenloSetup_1.log*' | head -1)
[ -n "$run_log" ] && grep -q "Log upload $received (close01): result 0, status 200" "$run_log" ||
  fail "the upload run's own log is not in $logs"
say "uploaded as $received from C:\\users\\$user (code page 1251); the run's log is beside it"
