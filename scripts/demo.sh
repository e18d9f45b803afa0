#!/usr/bin/env bash
# The installer's main job, unattended, on Linux: reference services and
# nginx on loopback serve the configuration and the signed package (HTTPS with
# a throwaway CA), and the Linux Setup, on its headless window, is driven by a
# scripted user who chooses a folder, presses Install and, on the finished
# page, Start. A terminal bar shows the download; the end names where Quenlo
# went, that it started, where the log is and whether the log upload that
# closing the window starts arrived. Everything stays in build/demo.
#
#   scripts/demo.sh [--tampered-first | --proxy]
#
# --tampered-first serves a tampered copy first: the run must end on the
# failure page with DL014; the user then retries with the good package.
# While the running page shows, each carousel picture's caption is printed
# as the carousel slides to it.
# --proxy names tinyproxy on loopback (with basic authentication) as the
# system's proxy: every host Setup talks to must be reached through it.
# Exits non-zero when any step fails. `make demo` builds first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bin="${SETUP_BIN_DIR:-$root/build/linux/bin}"
demo="${SETUP_DEMO_DIR:-$root/build/demo}"
tampered_first=0 through_proxy=0
[ "${1:-}" = --tampered-first ] && tampered_first=1
[ "${1:-}" = --proxy ] && through_proxy=1
for tool in nginx openssl python3 md5sum curl $( ((through_proxy)) && echo tinyproxy); do
  command -v "$tool" >/dev/null || { echo "demo: $tool is missing (make deps installs it)" >&2; exit 1; }
done
for file in Setup refservices packages/quenlo_setup.exe; do
  [ -e "$bin/$file" ] || { echo "demo: no $bin/$file: run 'make linux' first" >&2; exit 1; }
done

rm -rf "$demo"
mkdir -p "$demo"/{setup,appdata,data,drive,programs}
fail() { echo "demo: FAILED: $*" >&2; exit 1; }
# shellcheck source=loopback-services.sh
. scripts/loopback-services.sh

echo "== Loopback peers: nginx (HTTPS, HTTP/2, 400 KB/s per connection) and the reference services"
loopback_start "$demo/services" "$bin/refservices" 400k || fail "the services did not start"
if (( through_proxy )); then
  echo "== The system's proxy: tinyproxy on loopback, asking for basic authentication"
  loopback_proxy installer demo-pass || fail "the proxy did not start"
  export http_proxy=$PROXY_URL https_proxy=$PROXY_URL no_proxy=""
  unset HTTP_PROXY HTTPS_PROXY NO_PROXY
fi
echo "== Packages: the signed stand-in installer, and a copy with one byte changed"
cp "$bin/packages/quenlo_setup.exe" "$demo/good.exe"
loopback_tamper "$demo/good.exe" "$demo/tampered.exe"
size=$(stat -c %s "$demo/good.exe")
loopback_serve "$demo/$([ $tampered_first = 1 ] && echo tampered || echo good).exe"
loopback_answer "$demo/good.exe" "$demo/tampered.exe"
cp "$bin/Setup" "$demo/setup/Setup"
loopback_settings "$demo/setup" "$CA_PEM"
printf 'type install_path_edit %s\nclick license_checkbox\nclick install_btn\n' "$demo/programs/Vantrel" >"$demo/user.script"

# Setup puts its download folder at the root of the roomiest fixed drive. As
# root, run it in a private mount namespace whose mount table names only
# build/demo/drive, so that the demo leaves nothing outside build/demo.
run_setup() {
  export APPDATA="$demo/appdata" XDG_DATA_HOME="$demo/data" SETUP_USER_SCRIPT="$demo/user.script"
  export STANDIN_SECONDS=2 STANDIN_PRODUCT_SECONDS=0
  if [ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null; then
    printf '/dev/setup-demo-drive %s ext4 rw 0 0\n' "$demo/drive" >"$demo/mounts"
    unshare -m sh -c 'mount --make-rprivate / && mount --bind "$1" /proc/$$/mounts && exec timeout 120 "$2"' \
      sh "$demo/mounts" "$demo/setup/Setup"
  else
    timeout 120 "$demo/setup/Setup"
  fi
}

# Draws the bar from the window's progress: 0 to 85 is the download (with
# its speed and time left), 85 to 90 the checks, the rest the installer run.
bar() {
  local percent=$1 elapsed=$(( $(date +%s%N) / 1000000 - start_ms ))
  local filled=$(( percent * 40 / 100 )) what
  if (( percent <= 85 )); then
    local done_bytes=$(( size * percent / 85 )) speed=0 left=0
    (( elapsed > 0 )) && speed=$(( done_bytes * 1000 / elapsed ))
    (( speed > 0 )) && left=$(( (size - done_bytes) / speed ))
    what=$(printf 'downloading %5d KB/s, %3ds left' $(( speed / 1024 )) "$left")
  elif (( percent <= 90 )); then
    what="checking MD5 and signature"
  else
    what="installing"
  fi
  printf '\r  [%-40s] %3d%%  %-36s' "$(printf '%*s' $filled '' | tr ' ' '#')" "$percent" "$what"
}

echo "== Running Setup (scripted user: choose $demo/programs, Install, then Start)"
start_ms=$(( $(date +%s%N) / 1000000 ))
failed_once=0 finished=0 percent=0 log=""
while IFS= read -r line; do
  case "$line" in
    "setup-ui: progress error")
      echo; echo "  the window shows an error"; failed_once=1
      # The message box first; then, with the good package in place, retry.
      printf 'click btn_yes\n' >>"$demo/user.script"
      loopback_serve "$demo/good.exe"
      printf 'click start_app\n' >>"$demo/user.script" ;;
    "setup-ui: progress none")
      if (( ! finished && percent == 100 )); then
        finished=1; echo; echo "  installed; the finished page is up"
        printf 'click start_app\n' >>"$demo/user.script"
      fi ;;
    "setup-ui: progress "*) percent=${line##* }; bar "$percent" ;;
    "setup-ui: click start_app"*) echo; echo "  user: ${line#setup-ui: }"
      start_ms=$(( $(date +%s%N) / 1000000 )) ;;  # a retry downloads again
    "setup-ui: click "*|"setup-ui: type "*) echo; echo "  user: ${line#setup-ui: }" ;;
    "setup-ui: window "*" says: carousel "*) echo; echo "  carousel ${line#* says: carousel }"
      bar "$percent" ;;
    "setup-ui: window CALIENTWND_UI_Frame shown") echo "  the launch splash turns while Quenlo starts" ;;
    "Setup log: "*) log=${line#Setup log: } ;;
  esac
done < <(cd "$demo" && run_setup 2>"$demo/setup.err")
echo

[ -n "$log" ] && [ -f "$log" ] || fail "Setup named no log file"
if (( tampered_first )); then
  (( failed_once )) || fail "the tampered package was not refused"
  grep -q 'DL014' "$log" || fail "no DL014 in $log"
  grep -q 'Hash_Check_Fail' <(loopback_alerts) \
    || fail "the alert service received no signature report"
  echo "== The tampered package was refused (DL014, reported to the alert service); the retry installed the good one"
fi
(( finished )) || fail "Setup did not reach the finished page (log: $log)"
if (( through_proxy )); then
  proxy_address=${PROXY_URL##*@}
  ! grep -a ' Proxy for .*: none' "$log" || fail "a request went direct (log: $log)"
  for port in "$SERVICES_PORT" "$NGINX_PORT"; do
    grep -aq " Proxy for https://127.0.0.1:$port: http://$proxy_address/ (authentication as the setting's user)" "$log" \
      || fail "Setup chose no proxy for port $port (log: $log)"
    grep -q "Request (file descriptor [0-9]*): CONNECT 127.0.0.1:$port " "$PROXY_LOG" \
      || fail "the proxy carried nothing to port $port (see $PROXY_LOG)"
  done
  echo "== Every host was reached through the proxy:"
  grep -o '): CONNECT [^ ]*' "$PROXY_LOG" | cut -c4- | sort | uniq -c | sed 's/^/  /'
fi
main_exe="$demo/programs/Vantrel/Quenlo/Quenlo PDF Editor.exe"
[ -x "$main_exe" ] || fail "no $main_exe"
for _ in $(seq 50); do [ -s "$demo/programs/Vantrel/Quenlo/quenlo-runs.txt" ] && break; sleep 0.1; done
[ -s "$demo/programs/Vantrel/Quenlo/quenlo-runs.txt" ] || fail "Quenlo did not start"
echo "== Quenlo was installed into $demo/programs/Vantrel/Quenlo"
echo "== Quenlo started: $(tail -n 1 "$demo/programs/Vantrel/Quenlo/quenlo-runs.txt")"
echo "== Setup's log: $log"

# Closing the window started a hidden copy of Setup that uploads this log.
uploaded_as() {
  loopback_log_uploads | python3 -c 'import json, sys
print(next((u["fileName"] + " (" + u["catalogue"] + ")" for u in json.load(sys.stdin)
            if u["accepted"] and [e["name"] for e in u["entries"]] == [sys.argv[1]]), ""))' "$(basename "$log")"
}
uploaded=""
for _ in $(seq 100); do uploaded=$(uploaded_as); [ -n "$uploaded" ] && break; sleep 0.2; done
[ -n "$uploaded" ] || fail "the log upload did not arrive at the log collection service"
echo "== The log upload arrived at the log collection service: $uploaded"
