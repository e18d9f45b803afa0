# Sourced by the demo and the Windows end-to-end run: the installer's peers
# on loopback. A throwaway CA and its certificate for 127.0.0.1; nginx
# serving www/ over HTTPS with HTTP/2 at a limited rate; the reference
# services (configuration, download, alert, collector, log collection) over HTTPS on the
# collector's fixed loopback port 47810, where a build for tests sends its
# analytics; the settings file of a build for tests names them as the
# service host, and a release is built with them as its hosts
# (loopback_publisher).
#
#   loopback_start DIR REFSERVICES RATE    on SERVICES_PORT; sets NGINX_PORT, CA_PEM
#   loopback_answer GOOD TAMPERED          the configuration answer for the package
#   loopback_serve FILE                    serves FILE as the package
#   loopback_settings FOLDER CA_PATH [LINE] Setup's settings file for these services
#   loopback_alerts, loopback_log_uploads  what the alert and log collection services received
#   loopback_proxy USER PASSWORD           tinyproxy with basic authentication; sets PROXY_URL, PROXY_LOG
#   loopback_timestamps DIR                a stand-in time-stamp server; sets TIMESTAMP_URL
#   loopback_publisher COPY PKI            a publisher's folder for a release of these services
#   loopback_stop                          (also run at exit)

# The reference services' port: by default the collector's fixed loopback
# port, where a build for tests sends its analytics. A release built for
# these services names them at build time and may choose another.
SERVICES_PORT=47810
loopback_pids=()
loopback_stop() {
  local pid
  for pid in "${loopback_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait "${loopback_pids[@]}" 2>/dev/null || true
  loopback_pids=()
}
trap loopback_stop EXIT

loopback_free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
loopback_wait_port() {
  for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

loopback_start() {
  LOOPBACK_DIR=$1
  local refservices=$2 rate=$3 dir=$1
  mkdir -p "$dir"/{tls,www,answers,nginx/temp}
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=loopback-ca \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
    -keyout "$dir/tls/ca.key" -out "$dir/tls/ca.pem" 2>/dev/null || return 1
  openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=127.0.0.1 \
    -keyout "$dir/tls/server.key" -out "$dir/tls/server.csr" 2>/dev/null || return 1
  echo "subjectAltName=IP:127.0.0.1,DNS:localhost" >"$dir/tls/server.ext"
  openssl x509 -req -days 2 -in "$dir/tls/server.csr" -CA "$dir/tls/ca.pem" -CAkey "$dir/tls/ca.key" \
    -CAcreateserial -extfile "$dir/tls/server.ext" -out "$dir/tls/server.pem" 2>/dev/null || return 1
  CA_PEM=$dir/tls/ca.pem

  NGINX_PORT=$(loopback_free_port)
  cat >"$dir/nginx/nginx.conf" <<CONF
$([ "$(id -u)" = 0 ] && echo "user root;")
daemon off; master_process off; pid $dir/nginx/nginx.pid; error_log $dir/nginx/error.log;
events { worker_connections 64; }
http {
  access_log $dir/nginx/access.log;
  client_body_temp_path $dir/nginx/temp/body; proxy_temp_path $dir/nginx/temp/proxy;
  fastcgi_temp_path $dir/nginx/temp/fastcgi; uwsgi_temp_path $dir/nginx/temp/uwsgi;
  scgi_temp_path $dir/nginx/temp/scgi;
  server {
    listen 127.0.0.1:$NGINX_PORT ssl http2;
    ssl_certificate $dir/tls/server.pem; ssl_certificate_key $dir/tls/server.key;
    root $dir/www; limit_rate $rate;
  }
}
CONF
  nginx -c "$dir/nginx/nginx.conf" -p "$dir/nginx" &
  loopback_pids+=($!)
  "$refservices" --https "$dir/tls/server.pem" "$dir/tls/server.key" --port $SERVICES_PORT \
    --answers "$dir/answers" --files "$dir/www" >"$dir/refservices.out" 2>&1 &
  local services_pid=$!
  loopback_pids+=($services_pid)
  loopback_wait_port "$NGINX_PORT" || { echo "nginx did not start (see $dir/nginx/error.log)" >&2; return 1; }
  # Listening is not enough: another run's services may hold the port.
  for _ in $(seq 100); do
    grep -q "^PORT $SERVICES_PORT\$" "$dir/refservices.out" 2>/dev/null && return 0
    kill -0 "$services_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "the reference services did not start: $(cat "$dir/refservices.out" 2>/dev/null)" >&2
  return 1
}

# The tampered copy's digest is the extra MD5, so that only its signature fails.
# Downloader_config 2: closing the window starts the hidden copy that uploads
# the log to the log collection service.
loopback_answer() {
  local good=$1 tampered=$2
  cat >"$LOOPBACK_DIR/answers/578.xml" <<XML
<Downloader><Software_name>Quenlo</Software_name><Software_version>1.0.0.0</Software_version>
<Download_url>https://127.0.0.1:$NGINX_PORT/quenlo_setup.exe</Download_url>
<Extra_download_url>https://127.0.0.1:$NGINX_PORT/quenlo_setup.exe</Extra_download_url>
<Md5>$(md5sum <"$good" | cut -d' ' -f1)</Md5><Md5_extra>$(md5sum <"$tampered" | cut -d' ' -f1)</Md5_extra>
<Filesize>$(stat -c %s "$good")</Filesize><Process_name>Quenlo PDF Editor.exe</Process_name>
<InstallTimeout>60</InstallTimeout><Additional_time>2</Additional_time><TimeoutCfg>3,20</TimeoutCfg>
<Downloader_config>2</Downloader_config>
</Downloader>
XML
}

loopback_serve() { cp "$1" "$LOOPBACK_DIR/www/quenlo_setup.exe"; }

# A copy of a package with one byte changed in its middle.
loopback_tamper() {
  cp "$1" "$2"
  printf '\x5a' | dd of="$2" bs=1 seek=$(( $(stat -c %s "$1") / 2 )) conv=notrunc status=none
}

loopback_settings() {
  printf '[Settings]\nServiceHost=127.0.0.1:%s\nCaBundle=%s\n%s\n' "$SERVICES_PORT" "$2" "${3:-}" \
    >"$1/ov_downloader.cfg"
}

# Debian's tinyproxy on loopback, asking for basic authentication. No
# ConnectPort line: CONNECT may reach the services' ports, which are not 443.
loopback_proxy() {
  local dir=$LOOPBACK_DIR/proxy port
  port=$(loopback_free_port)
  mkdir -p "$dir"
  PROXY_LOG=$dir/tinyproxy.log
  printf 'Port %s\nListen 127.0.0.1\nTimeout 20\nMaxClients 50\nAllow 127.0.0.1\nLogLevel Info\nLogFile "%s"\nBasicAuth %s %s\n' \
    "$port" "$PROXY_LOG" "$1" "$2" >"$dir/tinyproxy.conf"
  tinyproxy -d -c "$dir/tinyproxy.conf" >"$dir/tinyproxy.out" 2>&1 &
  loopback_pids+=($!)
  PROXY_URL="http://$1:$2@127.0.0.1:$port"
  loopback_wait_port "$port" || { echo "tinyproxy did not start (see $dir/tinyproxy.out)" >&2; return 1; }
}

# The error reports the alert service received, as JSON.
loopback_alerts() { curl -s --cacert "$CA_PEM" "https://127.0.0.1:$SERVICES_PORT/_control/alert/reports"; }

# The uploads the log collection service received, as JSON.
loopback_log_uploads() { curl -s --cacert "$CA_PEM" "https://127.0.0.1:$SERVICES_PORT/_control/logupload/received"; }

# The stand-in RFC 3161 time-stamp server (scripts/timestamp-server.py) that
# a release's signature needs; DIR/ca.pem is its root, DIR/queries.log lists
# the queries it answered.
loopback_timestamps() {
  local dir=$1 port=""
  mkdir -p "$dir"
  python3 "$(dirname "${BASH_SOURCE[0]}")/timestamp-server.py" "$dir" >"$dir/server.out" 2>&1 &
  loopback_pids+=($!)
  for _ in $(seq 300); do
    port=$(sed -n 's/^PORT //p' "$dir/server.out" 2>/dev/null)
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || { echo "the time-stamp server did not start (see $dir/server.out)" >&2; return 1; }
  TIMESTAMP_URL=http://127.0.0.1:$port/
}

# A copy of publisher-example/ that builds a release for these services: the
# test PKI's publisher "pinned" signs Setup.exe and is the one pinned, every
# host is the reference services' port, and the signature is time-stamped
# by loopback_timestamps' server.
loopback_publisher() {
  local copy=$1 pki=$2 root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  rm -rf "$copy"
  cp -R "$root/publisher-example" "$copy"
  mkdir -p "$copy/signing"
  cp "$pki/pinned.key" "$copy/signing/key.pem"
  cp "$pki/pinned.pem" "$copy/signing/cert.pem"
  sed -i -e "s/^SETUP_PUBLISHER_PIN=.*/SETUP_PUBLISHER_PIN=$("$root/scripts/test-signing.sh" pin "$pki")/" \
    -e "s|^SETUP_TIMESTAMP_URL=.*|SETUP_TIMESTAMP_URL=${TIMESTAMP_URL:?loopback_timestamps first}|" "$copy/publisher.txt"
  sed -i -E "/^SETUP_/s/=.*/=127.0.0.1:$SERVICES_PORT/" "$copy/hosts.txt"
}
