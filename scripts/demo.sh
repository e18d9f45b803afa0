#!/usr/bin/env bash
# The installer's main job, unattended, on Linux: reference services and
# nginx on loopback serve the configuration and the signed package (HTTPS with
# a throwaway CA), and the Linux Setup, on its headless window, is driven by a
# scripted user who chooses a folder and presses Install; the finished page
# says that the installation is complete and Quenlo starts by itself (the
# shipped configuration's NeedStart_flag). A terminal bar shows the download;
# the end names where Quenlo went, that it started, where the log is and
# whether the log upload that closing the window starts arrived, and how long
# the user waited from the installer's end to the finished page and to the
# product. Everything stays in build/demo: Setup and the copies it starts see
# one drive only, build/demo/drive, for their download folder.
#
#   scripts/demo.sh [--tampered-first | --proxy | --installer-fails | --browse |
#                    --analytics-down | --nginx-only]
#
# --tampered-first serves a tampered copy first: the run must end on the
# failure page with DL014; the user then retries with the good package.
# While the running page shows, each carousel picture's caption is printed
# as the carousel slides to it.
# --proxy names tinyproxy on loopback (with basic authentication) as the
# system's proxy: every host Setup talks to must be reached through it.
# --installer-fails has the stand-in installer exit with 1: the run must end
# on the failure page with its title (DL033), never on the finished page.
# --browse has the user choose the folder through Browse and its folder
# dialog: Quenlo must land there.
# --analytics-down: the analytics collector and GA4 refuse every connection;
# each of the two waits above must stay under 3 s.
# --nginx-only: nginx alone, with publisher-example/deploy's rules, serves
# the configuration answer, the package and the data service's answers; no
# reference service runs.
# Exits non-zero when any step fails. `make demo` builds first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bin="${SETUP_BIN_DIR:-$root/build/linux/bin}"
demo="${SETUP_DEMO_DIR:-$root/build/demo}"
tampered_first=0 through_proxy=0 analytics_down=0 nginx_only=0
[ "${1:-}" = --tampered-first ] && tampered_first=1
[ "${1:-}" = --proxy ] && through_proxy=1
installer_fails=0; [ "${1:-}" = --installer-fails ] && installer_fails=1
browse=0; [ "${1:-}" = --browse ] && browse=1
[ "${1:-}" = --analytics-down ] && analytics_down=1
[ "${1:-}" = --nginx-only ] && nginx_only=1
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

# What a publisher's nginx holds beside the answer and the package: one
# banner picture with its list, and the privacy and licence links.
deploy_data() {
  local www=$1 base="https://127.0.0.1:$NGINX_PORT"
  mkdir -p "$www/banners" "$www/data"
  cp skin/skin/anima/1.png "$www/banners/1.png"
  printf '[{"banner_url":"%s/banners/1.png","jump_url":"https://www.quenlo-example.com/","prompt":"Quenlo","sort":1}]\n' \
    "$base" >"$www/data/banners.json"
  printf '[{"lang_code":"en","urls":[{"field":"p","url":"%s"},{"field":"tc","url":"%s"}]}]\n' \
    "https://www.quenlo-example.com/privacy-policy.html" "https://www.quenlo-example.com/terms-of-service.html" \
    >"$www/data/privacy.json"
}

# The user's two waits, from the time stamps of Setup's log: the
# installer's end to the finished page, and Start to the product's start.
# With --analytics-down each must stay under 3 s.
check_waits() {
  python3 - "$1" "$analytics_down" <<'PY' || fail "a wait took 3 s or more (log: $1)"
import datetime, re, sys
log, strict = sys.argv[1], sys.argv[2] == "1"
stamps = {}
for line in open(log, encoding="utf-8", errors="replace"):
    m = re.match(r"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3})--", line)
    if not m:
        continue
    for key, text in (("installed", " install Finished, nWaitSeconds"), ("page", " Finished page"),
                      ("start", " Start product"), ("started", " Product started")):
        if text in line:
            stamps[key] = datetime.datetime.strptime(m.group(1), "%Y-%m-%d %H:%M:%S,%f")
ok = True
for name, a, b in (("the installer's end to the finished page", "installed", "page"),
                   ("Start to the product's start", "start", "started")):
    if a not in stamps or b not in stamps:
        print(f"  {name}: not in the log"); ok = False; continue
    gap = (stamps[b] - stamps[a]).total_seconds()
    print(f"  {name}: {gap:.2f} s")
    ok = ok and (gap < 3 or not strict)
sys.exit(0 if ok else 1)
PY
}

if (( nginx_only )); then
  echo "== Loopback peer: nginx alone (HTTPS, HTTP/2, 400 KB/s per connection) with publisher-example/deploy's rules"
  loopback_deploy "$demo/services" 400k || fail "nginx did not start"
  deploy_data "$demo/services/www"
else
  echo "== Loopback peers: nginx (HTTPS, HTTP/2, 400 KB/s per connection) and the reference services"
  loopback_start "$demo/services" "$bin/refservices" 400k || fail "the services did not start"
fi
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
# Without the reference services or with --analytics-down, the analytics go
# to a loopback port where nothing listens.
(( analytics_down || nginx_only )) && LOOPBACK_ANALYTICS=127.0.0.1:$(loopback_free_port)
loopback_settings "$demo/setup" "$CA_PEM"
printf 'type install_path_edit %s\nclick license_checkbox\nclick install_btn\n' "$demo/programs/Vantrel" >"$demo/user.script"
install_root=$demo/programs/Vantrel/Quenlo
# --browse: the settings panel, Browse, a folder in the dialog; Setup adds
# the maker's folder, the installer the product's.
if (( browse )); then
  mkdir -p "$demo/programs/chosen"
  printf 'click install_setting\nclick browser_btn\nchoose-folder %s\nclick license_checkbox\nclick install_btn\n' \
    "$demo/programs/chosen" >"$demo/user.script"
  install_root=$demo/programs/chosen/Vantrel/Quenlo
fi

# Setup puts its download folder at the root of the roomiest fixed drive.
# The mount table Setup and every copy it starts read names one drive only,
# build/demo/drive, so that the demo leaves nothing outside build/demo.
run_setup() {
  export APPDATA="$demo/appdata" XDG_DATA_HOME="$demo/data" SETUP_USER_SCRIPT="$demo/user.script"
  export STANDIN_SECONDS=2 STANDIN_PRODUCT_SECONDS=0
  (( installer_fails )) && export STANDIN_MODE=fail
  printf '/dev/setup-demo-drive %s ext4 rw 0 0\n' "$demo/drive" >"$demo/mounts"
  export SETUP_MOUNT_TABLE="$demo/mounts"
  timeout 120 "$demo/setup/Setup"
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

echo "== Running Setup (scripted user: choose the folder, Install; Quenlo starts by itself)"
start_ms=$(( $(date +%s%N) / 1000000 ))
failed_once=0 finished=0 percent=0 log="" failure_page=""
while IFS= read -r line; do
  case "$line" in
    "setup-ui: progress error")
      echo; echo "  the window shows an error"; failed_once=1
      (( installer_fails )) && continue  # no box: the failure page follows
      # The message box first; then, with the good package in place, retry.
      printf 'click btn_yes\n' >>"$demo/user.script"
      loopback_serve "$demo/good.exe"
      printf 'click start_app\n' >>"$demo/user.script" ;;
    "setup-ui: window "*" says: finished page: "*)
      finished=1; echo; echo "  the finished page says: ${line#* says: finished page: }"
      echo "  Quenlo starts by itself (NeedStart_flag 1)" ;;
    "setup-ui: window "*" says: failure page: "*)
      failure_page=${line#* says: failure page: }
      echo; echo "  the failure page says: $failure_page"
      # The user gives up; the window closes without asking.
      (( installer_fails )) && printf 'click closebtn\n' >>"$demo/user.script" ;;
    "setup-ui: window FOLDER_DIALOG shown") echo; echo "  the folder dialog is up" ;;
    "setup-ui: choose-folder "*) echo "  user: ${line#setup-ui: }" ;;
    "setup-ui: progress none") ;;  # the install has ended: the page says how
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
if (( installer_fails )); then
  [ -n "$failure_page" ] || fail "Setup did not end on the failure page (log: $log)"
  (( ! finished )) || fail "a failed installer reached the finished page (log: $log)"
  grep -q 'DL033' "$log" || fail "no DL033 in $log"
  grep -q ' Installer exit code 1: ' "$log" || fail "the installer's exit code is not logged (log: $log)"
  grep -q 'Installer_Exit_Code_1' <(loopback_alerts) || fail "the alert service received no installer report"
  [ ! -e "$install_root/quenlo-runs.txt" ] || fail "Quenlo was started after a failed install"
  echo "== The failed installer (exit code 1) ended on the failure page: \"$failure_page\" (DL033, reported)"
  echo "== Setup's log: $log"
  exit 0
fi
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
main_exe="$install_root/Quenlo PDF Editor.exe"
[ -x "$main_exe" ] || fail "no $main_exe"
for _ in $(seq 50); do [ -s "$install_root/quenlo-runs.txt" ] && break; sleep 0.1; done
[ -s "$install_root/quenlo-runs.txt" ] || fail "Quenlo did not start"
echo "== Quenlo was installed into $install_root"
echo "== Quenlo started: $(tail -n 1 "$install_root/quenlo-runs.txt")"
echo "== Setup's log: $log"
package=$(sed -n 's/.* \[Download File Path\]: //p' "$log" | tail -1)
case "$package" in "$demo"/drive/*) ;; *) fail "the package went to '$package', outside $demo/drive" ;; esac
echo "== The package was downloaded to $package"
echo "== What the user waited for:"
check_waits "$log"
if (( analytics_down )); then
  grep -q 'queued for later delivery' "$log" || fail "no analytics item was left queued (log: $log)"
  echo "== The collector and GA4 refused; their items stay queued for the SDK's sender"
fi
if (( nginx_only )); then
  access=$LOOPBACK_DIR/nginx/access.log
  grep -q '"GET /queryDownloaderV2?LanguageId=[0-9]*&SoftWareID=578&SiteID=[0-9]*[^"]*" 200 ' "$access" \
    || fail "nginx answered no configuration query (see $access)"
  grep -q '"GET /packages/quenlo_setup.exe[^"]*" 206 ' "$access" || fail "nginx served no byte range (see $access)"
  grep -q '"GET /banners/1.png[^"]*" 20[06] ' "$access" || fail "nginx served no banner picture (see $access)"
  grep -q ' Configure Load From XML! ' "$log" || fail "Setup did not take nginx's answer (log: $log)"
  for query in "LanguageId=1033&SoftWareID=579&SiteID=1" "LanguageId=1033&SoftWareID=..%2f578&SiteID=1"; do
    status=$(curl -s -o /dev/null -w '%{http_code}' --cacert "$CA_PEM" "https://127.0.0.1:$NGINX_PORT/queryDownloaderV2?$query")
    [ "$status" = 404 ] || fail "nginx answered $status to $query: a query without its answer must get 404"
  done
  echo "== nginx alone served the answer, the package in byte ranges and the data; other ids get 404 (embedded configuration)"
  exit 0
fi

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
