#!/usr/bin/env bash
# The whole job on Windows, as shipped: a release Setup.exe (no test
# switches, no test PKI; scripts/make-installer.sh --x86_64 builds it into
# build/installer-e2e from a publisher's folder whose hosts are the loopback
# peers) under wine64 on a virtual X screen installs the signed stand-in (a
# PE program) from them, driven with xdotool as a user drives it, and ends
# with the demo product's window up. Every test switch is dropped beside it
# ("ov_downloader.cfg" and the SDK's "test.wk") and must change nothing: the
# configuration comes over HTTPS from the built-in host, analytics go to the
# production collector, the licence box starts unticked and Install does not
# crash. A second run gets a tampered package and must end on the failure
# page with DL014. Writes what a user sees to build/screens/: the close
# confirmation, the settings panel, the running page mid-download, the
# finished page, the product's window, the signature box and the failure page.
#
# The publisher is the win64 build's throwaway test publisher: it signed the
# stand-in package, signs Setup.exe and is the one pinned. Its root is no
# root the machine trusts, which only Wine lets pass: its WinVerifyTrust
# accepts any intact signature, and its Schannel does not check the loopback
# peers' TLS certificates either.
#
# usage: scripts/e2e-windows.sh <win64 builddir> <linux builddir>
#   (the win64 build provides the stand-in package, the Linux build the
#   reference services and the publisher folder check)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
win64=${1:?usage: $0 <win64 builddir> <linux builddir>}
linux=${2:?usage: $0 <win64 builddir> <linux builddir>}
case "$win64" in /*) ;; *) win64=$root/$win64 ;; esac
case "$linux" in /*) ;; *) linux=$root/$linux ;; esac
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$@"
fi
# shellcheck source=wine-screen.sh
. "$root/scripts/wine-screen.sh"
wine_screen_ready

dir=$root/build/e2e-windows
out=$root/build/screens
rm -rf "$dir"
mkdir -p "$dir/setup" "$out"
rm -f "$out"/e2e-*.png
fail() { echo "[e2e-windows] FAILED: $*" >&2; exit 1; }
say() { echo "[e2e-windows] $*"; }
# shellcheck source=loopback-services.sh
. "$root/scripts/loopback-services.sh"

# Points in the 650-pixel-wide window, as the Linux demo's scripted user
# reports them for the same layouts ("setup-ui: click <control> at x,y").
declare -A at=([closebtn]="632,16" [license_checkbox]="32,330" [install_btn]="325,232" [install_setting]="556,330"
               [start_app]="325,232" [btn_yes]="200,150" [btn_no]="380,150")

say "building the release installer"
# A release names its hosts at build time: a port of its own keeps this run
# apart from any other on the machine.
SERVICES_PORT=$(loopback_free_port)
loopback_timestamps "$dir/timestamps" || fail "the time-stamp server did not start"
loopback_publisher "$dir/publisher" "$win64/test-pki"
release=$root/build/installer-e2e
"$root/scripts/make-installer.sh" --x86_64 "$dir/publisher" "$release" >"$dir/make-installer.log" 2>&1 ||
  { tail -30 "$dir/make-installer.log" >&2; fail "the release installer was not built (see $dir/make-installer.log)"; }

loopback_start "$dir/services" "$linux/bin/refservices" 150k || fail "the loopback peers did not start"
good=$win64/bin/packages/quenlo_setup.exe
[ -f "$good" ] || fail "no $good"
loopback_tamper "$good" "$dir/tampered.exe"
loopback_answer "$good" "$dir/tampered.exe"
cp "$release/Setup.exe" "$dir/setup/Setup.exe"
# What a local user may drop beside Setup.exe: a release honours none of it.
printf '[Settings]\nTestEnv=1\nAutoRun=1\nCrashTest=1\nTlsVerify=0\nCaBundle=Z:\\nowhere.pem\nServiceHost=127.0.0.1:9\n' \
  >"$dir/setup/ov_downloader.cfg"
printf '[Configs]\nTestEnv=1\n' >"$dir/setup/test.wk"

# The visible windows of Setup.exe, newest last.
setup_windows() { xdotool search --onlyvisible --classname setup.exe 2>/dev/null || true; }
# Waits until `count` windows of Setup.exe are up; prints the newest.
wait_windows() {
  local count=$1 ids
  for _ in $(seq 120); do
    ids=$(setup_windows)
    [ "$(echo "$ids" | grep -c .)" -ge "$count" ] && { echo "$ids" | tail -1; return 0; }
    sleep 0.5
  done
  return 1
}
shoot() {  # window file
  eval "$(xdotool getwindowgeometry --shell "$1")"
  sleep 1
  import -window root -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage "$out/e2e-$2.png"
}
click() {  # window control
  eval "$(xdotool getwindowgeometry --shell "$1")"
  local point=${at[$2]}
  xdotool mousemove $((X + ${point%,*})) $((Y + ${point#*,})) sleep 0.2 click 1
}
wait_log() {  # log text seconds
  for _ in $(seq $(( $3 * 2 ))); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.5; done
  return 1
}
# start_run NAME PACKAGE: serves the package, starts Setup.exe (its output in
# $log) and waits for its window ($main).
start_run() {
  loopback_serve "$2"
  log=$dir/setup-$1.log
  (cd "$dir/setup" && LANG=en_US.UTF-8 STANDIN_SECONDS=2 STANDIN_PRODUCT_SECONDS=5 exec "$wine" "$dir/setup/Setup.exe") >"$log" 2>&1 &
  setup_pid=$!
  main=$(wait_windows 1) || fail "no window (see $log)"
}

say "run 1: the signed package"
start_run good "$good"
click "$main" closebtn
box=$(wait_windows 2) || fail "no close confirmation"
shoot "$box" close-confirmation
click "$box" btn_no
# The owner is enabled again once the box has gone: a click before that is lost.
for _ in 1 2 3; do
  sleep 1
  click "$main" install_setting
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$main")"
  [ "$HEIGHT" = 560 ] && break
done
[ "$HEIGHT" = 560 ] || fail "the settings panel did not open the window to 560 pixels (${HEIGHT})"
shoot "$main" settings-panel
click "$main" install_setting
sleep 1
click "$main" license_checkbox
click "$main" install_btn
sleep 4
shoot "$main" running
wait_log "$log" "Install Totally Take" 120 || fail "the install did not finish (see $log)"
sleep 1
shoot "$main" finished
click "$main" start_app
product=""
for _ in $(seq 60); do
  product=$(xdotool search --onlyvisible --name "Quenlo PDF Editor" 2>/dev/null | head -1 || true)
  [ -n "$product" ] && break
  sleep 0.5
done
[ -n "$product" ] || fail "the product's window did not appear"
shoot "$product" product
for _ in $(seq 60); do kill -0 "$setup_pid" 2>/dev/null || break; sleep 0.5; done
kill -0 "$setup_pid" 2>/dev/null && fail "Setup.exe still runs after starting the product"
# The product closes itself after a few seconds; a running product would
# stop the next install (message box 3).
for _ in $(seq 40); do
  [ -z "$(xdotool search --onlyvisible --name "Quenlo PDF Editor" 2>/dev/null)" ] && break
  sleep 0.5
done
say "installed, started the product, Setup ended"
# The dropped switches changed nothing: the configuration came over HTTPS from
# the built-in host (the reference services speak nothing else), and the
# analytics went to the production collector.
grep -Eq 'GetCbsInfo New interface V2\((Async|Sync) com\): 0,' "$log" ||
  fail "the configuration did not come from the built-in host over HTTPS (see $log)"
curl -s --cacert "$CA_PEM" "https://127.0.0.1:$SERVICES_PORT/_control/requests" >"$dir/requests.json"
python3 - "$dir/requests.json" <<'PY' || fail "a dropped switch was honoured (requests: $dir/requests.json)"
import json, sys
targets = [r["method"] + " " + r["target"] for r in json.load(open(sys.argv[1]))]
config = any(t.startswith("GET /queryDownloaderV2?") for t in targets)
production = any(t == "POST /collect" for t in targets)
test = [t for t in targets if t.startswith("POST /collector")]
print(f"[e2e-windows] configuration query: {config}, events to the production collector: {production}, "
      f"to the test collector: {len(test)}")
sys.exit(0 if config and production and not test else 1)
PY

say "run 2: a tampered package"
start_run tampered "$dir/tampered.exe"
click "$main" license_checkbox
click "$main" install_btn
box=$(wait_windows 2) || fail "no message box for the tampered package (see $log)"
shoot "$box" signature-box
click "$box" btn_yes
sleep 1
shoot "$main" failure
grep -q "DL014" "$log" || fail "no DL014 in $log"
xdotool mousemove 100 100 click 1 key alt+F4
for _ in $(seq 60); do kill -0 "$setup_pid" 2>/dev/null || break; sleep 0.5; done
kill "$setup_pid" 2>/dev/null || true
"$wineserver" -w 2>/dev/null || true
say "the tampered package was refused with DL014; pictures in $out/e2e-*.png"
