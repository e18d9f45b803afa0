#!/usr/bin/env bash
# The whole job on Windows, as shipped: a release Setup.exe (no test
# switches, no test PKI; scripts/make-installer.sh --x86_64 --for-tests
# --layout-report builds it into
# build/installer-e2e from a publisher's folder whose hosts are the loopback
# peers) under wine64 on a virtual X screen installs the signed stand-in (a
# PE program) from them, driven with xdotool by a user who has only the
# keyboard, and ends with the demo product's window up: the shipped
# configuration starts it by itself once the install has finished. Every test
# switch is dropped beside it ("ov_downloader.cfg" and the SDK's "test.wk")
# and must change nothing: the configuration comes over HTTPS from the
# built-in host, analytics go to the production collector, the licence box
# starts unticked and Install does not crash. A second run gets a tampered
# package and must end on the failure page with DL014, driven with the mouse.
# Writes what a user sees to build/screens/: the close confirmation, every
# stop of the settings page and of its panel with its focus mark
# (e2e-focus-*.png), the settings panel, the running page mid-download, the
# product's window, the signature box and the failure page.
# The mouse clicks each control at the centre of the rectangle where the
# windows report it ("setup-layout.txt", written by this build only, see
# toolkit/win32/LayoutReport.h), and each step waits for what it should bring
# about (a focus that moved, a control or a window that shows, a log line),
# never for a fixed time.
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

say "building the release installer"
# A release names its hosts at build time: a port of its own keeps this run
# apart from any other on the machine.
SERVICES_PORT=$(loopback_free_port)
loopback_timestamps "$dir/timestamps" || fail "the time-stamp server did not start"
loopback_publisher "$dir/publisher" "$win64/test-pki"
release=$root/build/installer-e2e
"$root/scripts/make-installer.sh" --x86_64 --for-tests --layout-report "$dir/publisher" "$release" >"$dir/make-installer.log" 2>&1 ||
  { tail -30 "$dir/make-installer.log" >&2; fail "the release installer was not built (see $dir/make-installer.log)"; }

loopback_start "$dir/services" "$linux/bin/refservices" 150k || fail "the loopback peers did not start"
good=$win64/bin/packages/quenlo_setup.exe
[ -f "$good" ] || fail "no $good"
loopback_tamper "$good" "$dir/tampered.exe"
loopback_answer "$good" "$dir/tampered.exe"
cp "$release/Setup.exe" "$dir/setup/Setup.exe"
# What a local user may drop beside Setup.exe: a release honours none of it.
printf '[Settings]\nTestEnv=1\nAutoRun=1\nCrashTest=1\nTlsVerify=0\nCaBundle=Z:\\nowhere.pem\nServiceHost=127.0.0.1:9\nAnalyticsHost=127.0.0.1:9\n' \
  >"$dir/setup/ov_downloader.cfg"
printf '[Configs]\nTestEnv=1\n' >"$dir/setup/test.wk"

# wait_for SECONDS COMMAND...: polls the command until it succeeds, for at
# most that long.
wait_for() {
  local tries=$(( $1 * 10 )); shift
  until "$@"; do
    (( --tries > 0 )) || return 1
    sleep 0.1
  done
}
# The windows' report of their controls: "<window> <control> <left> <top>
# <width> <height>[ focused][ <n>%]", one line each, for the windows that show.
layout=$dir/setup/setup-layout.txt
shows() { awk -v name="$1" '$2 == name { found = 1 } END { exit !found }' "$layout" 2>/dev/null; }
# under_way CONTROL: the progress bar shows more than 0 %.
under_way() { awk -v name="$1" '$2 == name && $NF ~ /^[0-9]+%$/ && $NF + 0 > 0 { found = 1 } END { exit !found }' "$layout" 2>/dev/null; }
focused() { awk '$7 == "focused" { print $2 }' "$layout" 2>/dev/null; }
focus_on() { [ "$(focused)" = "$1" ]; }
focus_left() { [ "$(focused)" != "$1" ]; }
# The visible windows of Setup.exe, newest last.
setup_windows() { xdotool search --onlyvisible --classname setup.exe 2>/dev/null || true; }
windows_up() { [ "$(setup_windows | grep -c .)" -ge "$1" ]; }
# wait_windows COUNT: waits until that many windows of Setup.exe are up;
# prints the newest.
wait_windows() { wait_for 60 windows_up "$1" && setup_windows | tail -1; }
height_is() { eval "$(xdotool getwindowgeometry --shell "$1")"; [ "$HEIGHT" = "$2" ]; }
# The windows report a drawing once it is done: what the report names is on
# the screen.
shoot() {  # window file
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage "$out/e2e-$2.png"
}
# click CONTROL: at the centre of the control, once a window shows it.
click() {
  wait_for 30 shows "$1" || fail "no window shows $1 (see $layout)"
  local x y
  read -r x y < <(awk -v name="$1" '$2 == name { print $3 + int($5 / 2), $4 + int($6 / 2); exit }' "$layout")
  xdotool mousemove --sync "$x" "$y" click 1
}
wait_log() {  # log text seconds
  wait_for "$3" grep -qs "$2" "$1"
}
# start_run NAME PACKAGE: serves the package, starts Setup.exe (its output in
# $log) and waits for its window ($main).
start_run() {
  loopback_serve "$2"
  rm -f "$layout"
  log=$dir/setup-$1.log
  (cd "$dir/setup" && LANG=en_US.UTF-8 STANDIN_SECONDS=2 STANDIN_PRODUCT_SECONDS=5 exec "$wine" "$dir/setup/Setup.exe") >"$log" 2>&1 &
  setup_pid=$!
  main=$(wait_windows 1) || fail "no window (see $log)"
}

say "run 1: the signed package, by keyboard alone"
start_run good "$good"
# Keys go to the window that has the keyboard (xdotool key: no clicks at
# all). The settings page starts on Install; its stops, as a Tab reaches
# them: minimize, close, Install, the licence box, its two links and
# Customize; with the panel open, then the language, the folder and Browse.
# Each is photographed with its focus mark.
keys() { xdotool key --delay 150 "$@"; }
# tab: one Tab, then waits until the focus has moved.
tab() {
  local from; from=$(focused)
  keys Tab
  wait_for 10 focus_left "$from" || fail "Tab did not move the focus from ${from:-nothing} (see $layout)"
}
# focus_shots NAME COUNT: the focus now and after each of COUNT-1 Tabs.
focus_shots() {
  shoot "$main" "focus-$1-1"
  for n in $(seq 2 "$2"); do tab; shoot "$main" "focus-$1-$n"; done
}
# The page takes keys once it is drawn with Install focused.
wait_for 30 focus_on install_btn || fail "the settings page did not show with Install focused (see $layout)"
keys Escape
box=$(wait_windows 2) || fail "Escape asked no close question"
wait_for 10 shows btn_no || fail "the close question shows no No (see $layout)"
shoot "$box" close-confirmation
keys Escape   # the box's No
wait_for 10 eval '! windows_up 2' || fail "Escape did not answer the close question"
wait_for 10 eval '! shows btn_no' || fail "the close question still shows (see $layout)"
focus_shots settings 7
keys Tab Tab Tab Tab Tab   # from close round to Install, on to Customize
wait_for 10 focus_on install_setting || fail "five Tabs did not reach Customize (see $layout)"
keys Return                # the panel opens
wait_for 10 height_is "$main" 560 || fail "Enter on Customize did not open the window to 560 pixels (${HEIGHT})"
wait_for 10 shows browser_btn || fail "the panel shows no Browse (see $layout)"
shoot "$main" settings-panel
tab
focus_shots panel 3   # the language, the folder, Browse (the statistics box, when shown, comes after)
keys shift+Tab shift+Tab shift+Tab   # back to Customize
wait_for 10 focus_on install_setting || fail "three Shift+Tabs did not come back to Customize (see $layout)"
keys Return                          # the panel closes
wait_for 10 height_is "$main" 360 || fail "Enter on Customize did not close the panel (${HEIGHT})"
keys shift+Tab shift+Tab shift+Tab   # the licence box
wait_for 10 focus_on license_checkbox || fail "three Shift+Tabs did not reach the licence box (see $layout)"
keys space shift+Tab Return          # ticked; Install
wait_for 60 under_way install_progress || fail "Install did not start downloading (see $log)"
shoot "$main" running
wait_log "$log" "Install Totally Take" 120 || fail "the install did not finish (see $log)"
product=$(timeout 30 xdotool search --sync --onlyvisible --name "Quenlo PDF Editor" 2>/dev/null | head -1) ||
  fail "the product did not start by itself (see $log)"
shoot "$product" product
setup_ended() { ! kill -0 "$setup_pid" 2>/dev/null; }
wait_for 30 setup_ended || fail "Setup.exe still runs after starting the product"
# The product closes itself after a few seconds; a running product would
# stop the next install (message box 3).
product_gone() { [ -z "$(xdotool search --onlyvisible --name "Quenlo PDF Editor" 2>/dev/null)" ]; }
wait_for 20 product_gone || fail "the product did not close itself"
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
click license_checkbox
click install_btn
box=$(wait_windows 2) || fail "no message box for the tampered package (see $log)"
wait_for 10 shows btn_yes || fail "the signature box shows no button (see $layout)"
shoot "$box" signature-box
click btn_yes
wait_for 10 shows text_fail_advice || fail "the failure page did not show (see $layout)"
shoot "$main" failure
wait_log "$log" DL014 10 || fail "no DL014 in $log"
xdotool mousemove 100 100 click 1 key alt+F4
wait_for 30 setup_ended || true
kill "$setup_pid" 2>/dev/null || true
"$wineserver" -w 2>/dev/null || true
say "the tampered package was refused with DL014; pictures in $out/e2e-*.png"
