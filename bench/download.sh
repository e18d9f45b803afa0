#!/usr/bin/env bash
# Benchmark of the download program against aria2c (same connections, 4 MiB
# pieces) and curl (one stream), all fetching a 256 MiB file from nginx on
# loopback: (a) with limit_rate per connection, (b) unthrottled (FAST_RUNS
# runs per program, the median kept). Every result is checked against the
# source's MD5. Prints one line per program and condition, then key=value
# ratios: ours / ideal and ours / aria2c for (a), ours / curl for (b), our CPU
# time / aria2c's over both; peak RSS of ours.
#
#   bench/download.sh            (builds build/bench in Release when needed)
#   DOWNLOAD=path/to/download bench/download.sh
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/bench}
DOWNLOAD=${DOWNLOAD:-$BUILD/bin/download}
SIZE_MIB=${SIZE_MIB:-256}
FAST_RUNS=${FAST_RUNS:-5}            # unthrottled runs per program (median kept)
LIMIT=8388608                       # nginx "limit_rate 8m": bytes per second
CONNECTIONS=$(( $(nproc) * 8 / 5 ))  # the download program's worker count
(( CONNECTIONS < 4 )) && CONNECTIONS=4

for tool in nginx aria2c curl /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
if [[ ! -x $DOWNLOAD ]]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSETUP_BUILD_TESTS=OFF >/dev/null
  cmake --build "$BUILD" --target download >/dev/null
fi

WORK=$(mktemp -d)
chmod 755 "$WORK"
NGINX_PID=
cleanup() {
  [[ -n $NGINX_PID ]] && kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir -p "$WORK/www" "$WORK/out" "$WORK/tmp"
head -c $(( SIZE_MIB * 1048576 )) /dev/urandom > "$WORK/www/file.bin"
SOURCE_MD5=$(md5sum < "$WORK/www/file.bin" | cut -d' ' -f1)

PORT=$(( 20000 + RANDOM % 20000 ))
cat > "$WORK/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $WORK/nginx.pid;
error_log $WORK/error.log;
events { worker_connections 256; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $WORK/tmp;
  proxy_temp_path $WORK/tmp;
  fastcgi_temp_path $WORK/tmp;
  uwsgi_temp_path $WORK/tmp;
  scgi_temp_path $WORK/tmp;
  server {
    listen 127.0.0.1:$PORT;
    location /throttled/ { alias $WORK/www/; limit_rate $LIMIT; }
    location /fast/ { alias $WORK/www/; }
  }
}
CONF
nginx -c "$WORK/nginx.conf" -p "$WORK" &
NGINX_PID=$!
for _ in $(seq 50); do
  curl -s -o /dev/null "http://127.0.0.1:$PORT/fast/file.bin" -r 0-0 && break
  sleep 0.1
done

# run NAME CONDITION COMMAND...: one run; prints "wall cpu rss_kib".
run() {
  local name=$1 condition=$2
  shift 2
  rm -rf "$WORK/out"/*
  /usr/bin/time -f "%e %U %S %M" -o "$WORK/time.txt" "$@" >/dev/null 2>"$WORK/stderr.txt" ||
    { echo "$name failed:" >&2; cat "$WORK/stderr.txt" >&2; exit 1; }
  local md5
  md5=$(md5sum < "$WORK/out/file.bin" | cut -d' ' -f1)
  [[ $md5 == "$SOURCE_MD5" ]] || { echo "$name ($condition): wrong bytes" >&2; exit 1; }
  local wall user sys rss
  read -r wall user sys rss < <(tail -n1 "$WORK/time.txt")
  echo "$wall $(echo "$user + $sys" | bc -l) $rss"
}

# measure NAME CONDITION RUNS COMMAND...: keeps the run with the median wall
# time in WALL, CPU and RSS (the machine may be shared; one run is noisy).
declare -A WALL CPU RSS
measure() {
  local name=$1 condition=$2 runs=$3
  shift 3
  local results=() i
  for (( i = 0; i < runs; i++ )); do results+=("$(run "$name" "$condition" "$@")"); done
  local wall cpu rss
  read -r wall cpu rss < <(printf '%s\n' "${results[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  WALL[$name.$condition]=$wall
  CPU[$name.$condition]=$cpu
  RSS[$name.$condition]=$rss
  printf '%-9s %-10s wall %7.2f s  %8.1f MiB/s  cpu %6.2f s  peak rss %6.1f MiB  (median of %d)\n' \
    "$name" "$condition" "$wall" "$(echo "$SIZE_MIB / $wall" | bc -l)" "$cpu" "$(echo "$rss / 1024" | bc -l)" "$runs"
}

for condition in throttled fast; do
  url="http://127.0.0.1:$PORT/$condition/file.bin"
  runs=1
  [[ $condition == fast ]] && runs=$FAST_RUNS
  measure download "$condition" "$runs" "$DOWNLOAD" --quiet "$url" "$WORK/out/file.bin"
  measure aria2c "$condition" "$runs" aria2c -q -x "$CONNECTIONS" -s "$CONNECTIONS" -k 4M \
    --piece-length=4M --allow-overwrite=true --auto-file-renaming=false -d "$WORK/out" -o file.bin "$url"
  measure curl "$condition" "$runs" curl -s -o "$WORK/out/file.bin" "$url"
done

ratio() { printf '%.3f' "$(echo "$1 / $2" | bc -l)"; }
ideal_wall=$(echo "$SIZE_MIB * 1048576 / ($CONNECTIONS * $LIMIT)" | bc -l)
echo "connections=$CONNECTIONS"
rss=$(( RSS[download.throttled] > RSS[download.fast] ? RSS[download.throttled] : RSS[download.fast] ))
echo "peak_rss_mib=$(printf "%.1f" "$(echo "$rss / 1024" | bc -l)")"
echo "throttled_vs_ideal=$(ratio "$ideal_wall" "${WALL[download.throttled]}")"
echo "throttled_vs_aria2=$(ratio "${WALL[aria2c.throttled]}" "${WALL[download.throttled]}")"
echo "unthrottled_vs_curl=$(ratio "${WALL[curl.fast]}" "${WALL[download.fast]}")"
echo "cpu_vs_aria2=$(ratio "(${CPU[download.throttled]} + ${CPU[download.fast]})" "(${CPU[aria2c.throttled]} + ${CPU[aria2c.fast]})")"
