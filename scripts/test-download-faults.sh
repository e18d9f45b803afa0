#!/usr/bin/env bash
# The download program (build/linux/bin/download) against nginx on loopback,
# in five ways that real servers, publishers and disks treat a download:
#
#   cors       the server lists Content-Range in Access-Control-Expose-Headers
#   length     the publisher replaces the file by one of another length
#              between two runs (the first run is killed halfway)
#   same       the same, with a file of the same length
#   deleted    the finished package is deleted while its task file says done
#   disk-full  the download folder is a 4 MiB tmpfs, the package 16 MiB
#
# The first four must end with exit 0 and the server's current file, byte
# for byte; the full disk with exit 17 (the write failure) after the length
# probe alone: the target's blocks are reserved before any slice is asked
# for, so nothing goes to the server in vain. "Fast" is shown by that
# count; the generous time limit per run (TIMEOUT seconds) only keeps a
# regression from hanging the suite.
#
#   scripts/test-download-faults.sh [BIN_DIR]   (default $SETUP_BIN_DIR or build/linux/bin)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=${1:-${SETUP_BIN_DIR:-$ROOT/build/linux/bin}}
DOWNLOAD=$BIN/download
TIMEOUT=${TIMEOUT:-120}
[[ -x $DOWNLOAD ]] || { echo "missing $DOWNLOAD (make linux)" >&2; exit 2; }

WORK=$(mktemp -d /tmp/setup-download-faults.XXXXXX)
NGINX_PID=""
cleanup() {
  [[ -n $NGINX_PID ]] && kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

failures=0
pass() { echo "[download-faults] PASS $1"; }
fail() { echo "[download-faults] FAIL $1" >&2; failures=$((failures + 1)); }

# ---- nginx on a free loopback port -------------------------------------------
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$WORK/www" "$WORK/temp"
user_line=""; (( EUID == 0 )) && user_line="user root;"
cat >"$WORK/nginx.conf" <<EOF
daemon off;
master_process off;
$user_line
pid $WORK/nginx.pid;
error_log $WORK/error.log;
events { worker_connections 64; }
http {
  log_format ranges "\$request_uri \$http_range";
  access_log $WORK/access.log ranges;
  client_body_temp_path $WORK/temp/body; proxy_temp_path $WORK/temp/proxy;
  fastcgi_temp_path $WORK/temp/fastcgi; uwsgi_temp_path $WORK/temp/uwsgi; scgi_temp_path $WORK/temp/scgi;
  server {
    listen 127.0.0.1:$PORT;
    root $WORK/www;
    location /cors/ { alias $WORK/www/; add_header Access-Control-Expose-Headers "Content-Length, Content-Range"; }
    location /slow/ { alias $WORK/www/; limit_rate 1m; }
  }
}
EOF
/usr/sbin/nginx -e "$WORK/error.log" -p "$WORK" -c "$WORK/nginx.conf" &
NGINX_PID=$!
for _ in $(seq 100); do
  (echo >/dev/tcp/127.0.0.1/"$PORT") 2>/dev/null && break
  sleep 0.05
done
URL=http://127.0.0.1:$PORT

# make_file NAME BYTES: a file of random bytes.
make_file() { head -c "$2" /dev/urandom >"$WORK/www/$1"; }
# fetch URL TARGET: runs the download program once; its exit status.
fetch() {
  local status=0
  timeout "$TIMEOUT" "$DOWNLOAD" --quiet --log "$WORK/download.log" "$1" "$2" >/dev/null || status=$?
  echo "$status"
}
# interrupted URL TARGET: kills a run once it has a fifth of the file (its
# task file is saved at every tenth).
interrupted() {
  "$DOWNLOAD" --log "$WORK/download.log" "$1" "$2" >"$WORK/progress" &
  local pid=$!
  for _ in $(seq 600); do
    tail -n 1 "$WORK/progress" | awk '$1 == "progress" && $3 > 0 && $2 * 5 > $3 { found = 1 } END { exit !found }' && break
    sleep 0.05
  done
  kill -9 "$pid"; wait "$pid" 2>/dev/null || true
}
same_bytes() { cmp -s "$1" "$2"; }

mkdir -p "$WORK/out"

# ---- cors ----------------------------------------------------------------------
make_file cors.bin 9437185
status=$(fetch "$URL/cors/cors.bin" "$WORK/out/cors.bin")
if [[ $status == 0 ]] && same_bytes "$WORK/out/cors.bin" "$WORK/www/cors.bin"; then pass cors
else fail "cors: exit $status"; fi

# ---- length / same: the publisher replaces the file between two runs ---------
for case in length same; do
  make_file "$case.bin" 12582917
  interrupted "$URL/slow/$case.bin" "$WORK/out/$case.bin"
  if [[ $case == length ]]; then make_file "$case.bin" 10485763; else make_file "$case.bin" 12582917; fi
  touch -d '2001-02-03 04:05:06' "$WORK/www/$case.bin"  # a new file, a new validator
  : >"$WORK/download.log"
  status=$(fetch "$URL/slow/$case.bin" "$WORK/out/$case.bin")
  # The run resumed a task file and found the file changed (DL025).
  if [[ $status == 0 ]] && same_bytes "$WORK/out/$case.bin" "$WORK/www/$case.bin" &&
     grep -q "the file changed on the server" "$WORK/download.log"; then pass "$case"
  else fail "$case: exit $status"; fi
done

# ---- deleted -------------------------------------------------------------------
make_file deleted.bin 6291461
first=$(fetch "$URL/deleted.bin" "$WORK/out/deleted.bin")
rm -f "$WORK/out/deleted.bin"
: >"$WORK/download.log"
status=$(fetch "$URL/deleted.bin" "$WORK/out/deleted.bin")
if [[ $first == 0 && $status == 0 ]] && same_bytes "$WORK/out/deleted.bin" "$WORK/www/deleted.bin" &&
   grep -q "the target file holds -1 bytes" "$WORK/download.log"; then pass deleted
else fail "deleted: exits $first, $status"; fi

# ---- disk-full -----------------------------------------------------------------
make_file full.bin 16777216
cp "$WORK/access.log" "$WORK/access.log.before"
: >"$WORK/download.log"
unshare_args=(--mount); (( EUID == 0 )) || unshare_args+=(--map-root-user)
status=0
timeout "$TIMEOUT" unshare "${unshare_args[@]}" sh -c '
  mkdir -p "$1/disk" && mount -t tmpfs -o size=4m tmpfs "$1/disk" &&
  exec "$2" --quiet --log "$1/download.log" "$3" "$1/disk/full.bin" >/dev/null' \
  sh "$WORK" "$DOWNLOAD" "$URL/full.bin" || status=$?
requests=$(diff "$WORK/access.log.before" "$WORK/access.log" | grep -c '^> /full.bin' || true)
if [[ $status == 17 && $requests == 1 ]] && grep -q "the target file cannot be sized" "$WORK/download.log"; then
  pass "disk-full (exit 17 after the length probe alone)"
else
  fail "disk-full: exit $status after $requests requests (the length probe alone expected)"
fi

if (( failures )); then
  echo "[download-faults] $failures case(s) failed; log: see above" >&2
  exit 1
fi
echo "[download-faults] all 5 cases passed"
