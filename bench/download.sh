#!/usr/bin/env bash
# Benchmark of the download program against aria2c (as many connections as
# our workers, 4 MiB pieces) and curl (one stream). Everything runs in a
# private network namespace (so root is needed), against nginx on its
# loopback; every result is checked against the source's MD5.
#
#   unthrottled  a SIZE_MIB file over the bare loopback, FAST_RUNS runs per
#                program.
#   link         a LINK_MIB file over a modelled link, LINK_RUNS runs per
#                program: the loopback's MTU is 1500 and its egress is capped
#                by tbf at LINK_MBIT, and every server connection is limited
#                to LIMIT bytes/s of payload: nginx's limit_rate, plus an htb
#                class per connection under the tbf, since limit_rate alone
#                lets each new request send a second's worth at once, so a
#                client asking for one 4 MiB slice per request would run well
#                above the limit. Curl runs once, in the first case. Two cases:
#                  linkcap   connections x LIMIT = 1.4 x link: the link binds
#                  linkconn  connections x LIMIT = 0.7 x link: the limit binds
#                The ideal is min(link payload rate, connections x LIMIT).
#
# Programs of a condition take turns, round after round (the machine may be
# shared, so a run is noisy, and neighbouring runs share its load). Prints one
# line per program and condition (median wall and CPU time, user + sys), then
# key=value lines: our speed / curl's unthrottled and our CPU time /
# aria2c's, and per link case our speed / the ideal (medians), our speed /
# aria2c's and our CPU time / aria2c's (medians of the rounds' ratios).
#
#   bench/download.sh [--build DIR]   (default build/bench, built in Release
#                                      when its download program is missing)
#   DOWNLOAD=path/to/download bench/download.sh
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/bench}
while (($#)); do
  case $1 in
    --build) BUILD=$(realpath -m "${2:?--build needs a directory}"); shift 2 ;;
    *) echo "usage: $0 [--build DIR]" >&2; exit 2 ;;
  esac
done
DOWNLOAD=${DOWNLOAD:-$BUILD/bin/download}
SIZE_MIB=${SIZE_MIB:-256}
FAST_RUNS=${FAST_RUNS:-5}
# 24.5 slices of 4 MiB: like most real files, not a whole number of rounds
# of slices over the connections, so the last slices' tail counts (96 MiB
# would leave it out).
LINK_MIB=${LINK_MIB:-98}
LINK_RUNS=${LINK_RUNS:-5}
LINK_MBIT=${LINK_MBIT:-100}
# A home link's shaper: 256 KB of burst (about 20 ms at 100 Mbit/s, well
# above one 64 KB segmentation-offload packet) and a 50 ms queue.
TBF="rate ${LINK_MBIT}mbit burst 256kb latency 50ms"
CONNECTIONS=$(( $(nproc) * 8 / 5 ))  # the download program's worker count
(( CONNECTIONS < 4 )) && CONNECTIONS=4
PORT=8080                            # the namespace is ours alone
# Client ports: 256 of them, so that the low byte of the port names one
# connection (the htb class per connection is chosen by that byte).
PORT_BASE=40192                      # 0x9d00

(( EUID == 0 )) || { echo "needs root: a network namespace and tc" >&2; exit 2; }
for tool in nginx aria2c curl /usr/bin/time bc unshare nsenter ip tc md5sum; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
if [[ ! -x $DOWNLOAD ]]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSETUP_BUILD_TESTS=OFF -DSETUP_TRUST_SWITCHES=ON >/dev/null
  cmake --build "$BUILD" --target download >/dev/null
fi

WORK=$(mktemp -d)
chmod 755 "$WORK"
HOLDER_PID= NGINX_PID=
cleanup() {
  [[ -n $NGINX_PID ]] && kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null
  [[ -n $HOLDER_PID ]] && kill "$HOLDER_PID" 2>/dev/null && wait "$HOLDER_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir -p "$WORK/www" "$WORK/out" "$WORK/tmp"
head -c $(( SIZE_MIB * 1048576 )) /dev/urandom > "$WORK/www/fast.bin"
head -c $(( LINK_MIB * 1048576 )) /dev/urandom > "$WORK/www/link.bin"
declare -A MD5
MD5[fast]=$(md5sum < "$WORK/www/fast.bin" | cut -d' ' -f1)
MD5[link]=$(md5sum < "$WORK/www/link.bin" | cut -d' ' -f1)

# The namespace lives as long as this bounded sleep (or nginx) does.
unshare -n sleep 1800 &
HOLDER_PID=$!
for _ in $(seq 50); do
  [[ $(readlink "/proc/$HOLDER_PID/ns/net") != "$(readlink /proc/self/ns/net)" ]] && break
  sleep 0.05
done
[[ $(readlink "/proc/$HOLDER_PID/ns/net") != "$(readlink /proc/self/ns/net)" ]] ||
  { echo "no network namespace" >&2; exit 1; }
NS=(nsenter -t "$HOLDER_PID" -n)
"${NS[@]}" ip link set lo up
"${NS[@]}" sysctl -q -w net.ipv4.ip_local_port_range="$PORT_BASE $(( PORT_BASE + 255 ))"

ratio() { printf '%.3f' "$(echo "$1 / $2" | bc -l)"; }
# Payload share of what the link carries per full segment: on the loopback
# each one has 14 bytes of Ethernet header, 40 of IP and TCP headers and
# 12 of TCP timestamps.
TIMESTAMPS=$("${NS[@]}" sysctl -n net.ipv4.tcp_timestamps)
MTU=1500
PAYLOAD_SHARE=$(echo "($MTU - 40 - ($TIMESTAMPS > 0) * 12) / ($MTU + 14)" | bc -l)
LINK_RATE=$(echo "$LINK_MBIT * 1000000 / 8 * $PAYLOAD_SHARE" | bc -l)  # payload bytes/s
declare -A LIMIT IDEAL
for case in linkcap:1.4 linkconn:0.7; do
  limit=$(echo "$LINK_RATE * ${case#*:} / $CONNECTIONS" | bc -l)
  LIMIT[${case%%:*}]=${limit%.*}
  total=$(echo "$CONNECTIONS * ${limit%.*}" | bc)
  IDEAL[${case%%:*}]=$(echo "if ($total < $LINK_RATE) $total else $LINK_RATE" | bc -l)
done

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
    location /fast/ { alias $WORK/www/; }
    location /linkcap/ { alias $WORK/www/; limit_rate ${LIMIT[linkcap]}; }
    location /linkconn/ { alias $WORK/www/; limit_rate ${LIMIT[linkconn]}; }
  }
}
CONF
timeout 1800 "${NS[@]}" nginx -c "$WORK/nginx.conf" -p "$WORK" &
NGINX_PID=$!
for _ in $(seq 50); do
  "${NS[@]}" curl -s -o /dev/null "http://127.0.0.1:$PORT/fast/fast.bin" -r 0-0 && break
  sleep 0.1
done

# shape CASE: the link model on the namespace's loopback. Server packets
# (source port PORT) go to the htb class of their client port's low byte,
# limited to the case's LIMIT of payload; the rest (requests, ACKs) to an
# unlimited class; all of it through the tbf.
shape() {
  local wire_bits i
  wire_bits=$(echo "${LIMIT[$1]} / $PAYLOAD_SHARE * 8 + 1" | bc)
  wire_bits=${wire_bits%.*}
  "${NS[@]}" tc qdisc del dev lo root 2>/dev/null || true
  {
    echo "qdisc add dev lo root handle 1: tbf $TBF"
    echo "qdisc add dev lo parent 1:1 handle 2: htb default 1"
    echo "class add dev lo parent 2: classid 2:1 htb rate 10gbit quantum 65536"
    echo "filter add dev lo parent 2: prio 1 handle 10: protocol ip u32 divisor 256"
    echo "filter add dev lo parent 2: prio 1 protocol ip u32 ht 800:: match ip sport $PORT 0xffff" \
         "hashkey mask 0x000000ff at 20 link 10:"
    for (( i = 0; i < 256; i++ )); do
      printf 'class add dev lo parent 2: classid 2:%x htb rate %dbit burst 64kb quantum 65536\n' \
        $(( 0x100 + i )) "$wire_bits"
      printf 'filter add dev lo parent 2: prio 1 protocol ip u32 ht 10:%x: match ip sport %d 0xffff flowid 2:%x\n' \
        "$i" "$PORT" $(( 0x100 + i ))
    done
  } > "$WORK/tc.batch"
  "${NS[@]}" tc -batch "$WORK/tc.batch"
}

# run NAME FILE COMMAND...: one run in the namespace; prints "wall cpu rss_kib".
run() {
  local name=$1 file=$2
  shift 2
  rm -rf "$WORK/out"/*
  /usr/bin/time -f "%e %U %S %M" -o "$WORK/time.txt" "${NS[@]}" "$@" >/dev/null 2>"$WORK/stderr.txt" ||
    { echo "$name failed:" >&2; cat "$WORK/stderr.txt" >&2; exit 1; }
  local md5
  md5=$(md5sum < "$WORK/out/$file.bin" | cut -d' ' -f1)
  [[ $md5 == "${MD5[$file]}" ]] || { echo "$name ($file): wrong bytes" >&2; exit 1; }
  local wall user sys rss
  read -r wall user sys rss < <(tail -n1 "$WORK/time.txt")
  echo "$wall $(echo "$user + $sys" | bc -l) $rss"
}

# command NAME URL FILE: the program's command line.
command_for() {
  case $1 in
    download) echo "$DOWNLOAD --quiet $2 $WORK/out/$3.bin" ;;
    aria2c) echo "aria2c -q -x $CONNECTIONS -s $CONNECTIONS -k 4M --piece-length=4M --allow-overwrite=true" \
                 "--auto-file-renaming=false -d $WORK/out -o $3.bin $2" ;;
    curl) echo "curl -s -o $WORK/out/$3.bin $2" ;;
  esac
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# measure CONDITION FILE RUNS NAME...: RUNS rounds in which the programs
# take turns; keeps each run's wall and CPU time in WALLS and CPUS, their
# medians in WALL and CPU, the peak RSS in RSS.
declare -A WALLS CPUS WALL CPU RSS
measure() {
  local condition=$1 file=$2 runs=$3
  shift 3
  local url="http://127.0.0.1:$PORT/$condition/$file.bin" name i
  for (( i = 0; i < runs; i++ )); do
    for name in "$@"; do
      local result wall cpu rss
      # shellcheck disable=SC2046  # the command line is split on purpose
      result=$(run "$name" "$file" $(command_for "$name" "$url" "$file"))
      read -r wall cpu rss <<< "$result"
      WALLS[$name.$condition]+="$wall "
      CPUS[$name.$condition]+="$cpu "
      if (( rss > ${RSS[$name.$condition]:-0} )); then RSS[$name.$condition]=$rss; fi
    done
  done
  local size_mib
  size_mib=$(( $(stat -c %s "$WORK/www/$file.bin") / 1048576 ))
  for name in "$@"; do
    WALL[$name.$condition]=$(tr ' ' '\n' <<< "${WALLS[$name.$condition]}" | grep . | median)
    CPU[$name.$condition]=$(tr ' ' '\n' <<< "${CPUS[$name.$condition]}" | grep . | median)
    printf '%-9s %-10s wall %7.2f s  %8.2f MiB/s  cpu %6.2f s  peak rss %6.1f MiB  (median of %d)\n' \
      "$name" "$condition" "${WALL[$name.$condition]}" "$(echo "$size_mib / ${WALL[$name.$condition]}" | bc -l)" \
      "${CPU[$name.$condition]}" "$(echo "${RSS[$name.$condition]} / 1024" | bc -l)" "$runs"
  done
}

# paired LISTS NUM DEN CONDITION: the median over the rounds of NUM's value
# / DEN's value in the same round, from LISTS (WALLS or CPUS).
paired() {
  local -n lists=$1
  paste -d' ' <(tr ' ' '\n' <<< "${lists[$2.$4]}" | grep .) <(tr ' ' '\n' <<< "${lists[$3.$4]}" | grep .) |
    awk '$2 > 0 { print $1 / $2 }' | median | xargs printf '%.3f'
}

measure fast fast "$FAST_RUNS" download aria2c curl

"${NS[@]}" ip link set lo mtu "$MTU"
for case in linkcap linkconn; do
  shape "$case"
  printf '%-9s %-10s limit %.2f MiB/s per connection, link %.2f MiB/s of payload, ideal %.2f MiB/s\n' \
    "" "$case" "$(echo "${LIMIT[$case]} / 1048576" | bc -l)" "$(echo "$LINK_RATE / 1048576" | bc -l)" \
    "$(echo "${IDEAL[$case]} / 1048576" | bc -l)"
  measure "$case" link "$LINK_RUNS" download aria2c
  # One stream runs at the per-connection limit: curl once, in the case
  # where that is faster.
  if [[ $case == linkcap ]]; then measure "$case" link 1 curl; fi
done

rss=0
for key in "${!RSS[@]}"; do
  if [[ $key == download.* ]] && (( RSS[$key] > rss )); then rss=${RSS[$key]}; fi
done
echo "connections=$CONNECTIONS"
echo "peak_rss_mib=$(printf "%.1f" "$(echo "$rss / 1024" | bc -l)")"
echo "unthrottled_vs_curl=$(paired WALLS curl download fast)"
echo "unthrottled_cpu_vs_aria2=$(paired CPUS download aria2c fast)"
for case in linkconn linkcap; do
  ideal_wall=$(echo "$LINK_MIB * 1048576 / ${IDEAL[$case]}" | bc -l)
  echo "${case}_vs_ideal=$(ratio "$ideal_wall" "${WALL[download.$case]}")"
  echo "${case}_vs_aria2=$(paired WALLS aria2c download "$case")"
  echo "${case}_cpu_vs_aria2=$(paired CPUS download aria2c "$case")"
done
