#!/usr/bin/env bash
# Fetches a 1 GiB file from nginx on a free loopback port with TWeb
# (StoreToFile, as the engine fetches files) and with `curl -o`, in the same
# run, and prints both throughputs and their ratio.
#
#   bench/http/run.sh [build dir]      (default: build)
#   SIZE=1G ROUNDS=3 CONTENT=random|sparse SCHEME=http|https bench/http/run.sh
# SCHEME=https: nginx serves the file over TLS with a certificate for 127.0.0.1
# signed by a throwaway CA made in the run's temporary folder; both clients
# trust that CA (curl --cacert, http_fetch_bench --ca-certificate).
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${1:-${HARVEX_BUILD_DIR:-build}}
size=${SIZE:-1G}
rounds=${ROUNDS:-3}
content=${CONTENT:-random}
scheme=${SCHEME:-http}
case $scheme in http|https) ;; *) echo "SCHEME must be http or https" >&2; exit 2 ;; esac

if [ ! -x "$build_dir/bench/http/http_fetch_bench" ]; then
  cmake --build "$build_dir" --target http_fetch_bench
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/harvex-http-bench.XXXXXX")
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www" "$work/tmp"
if [ "$content" = sparse ]; then
  truncate -s "$size" "$work/www/big.bin"
else
  head -c "$size" /dev/urandom > "$work/www/big.bin"
fi
bytes=$(stat -c %s "$work/www/big.bin")

listen_tls=""
tls_lines=""
curl_tls=()
ours_tls=()
if [ "$scheme" = https ]; then
  bench/tls/make_certs.sh "$work/tls"
  listen_tls=" ssl"
  tls_lines="ssl_certificate $work/tls/server.pem; ssl_certificate_key $work/tls/server.key;"
  curl_tls=(--cacert "$work/tls/ca.pem")
  ours_tls=(--ca-certificate "$work/tls/ca.pem")
fi

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $work/tmp/body;
  proxy_temp_path $work/tmp/proxy;
  fastcgi_temp_path $work/tmp/fastcgi;
  uwsgi_temp_path $work/tmp/uwsgi;
  scgi_temp_path $work/tmp/scgi;
  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:$port$listen_tls;
    $tls_lines
    root $work/www;
  }
}
CONF
/usr/sbin/nginx -p "$work" -c "$work/nginx.conf" -e "$work/error.log" &
nginx_pid=$!
for _ in $(seq 100); do
  if curl -s "${curl_tls[@]}" -o /dev/null "$scheme://127.0.0.1:$port/"; then break; fi
  sleep 0.1
done

url="$scheme://127.0.0.1:$port/big.bin"
# Warm the page cache so that both clients read the same cached file.
cat "$work/www/big.bin" > /dev/null

# Rounds alternate between the two clients, so that a busy machine slows both alike.
curl_best=0
ours_best=0
for _ in $(seq "$rounds"); do
  speed=$(curl -s "${curl_tls[@]}" -o "$work/curl.out" -w '%{speed_download}' "$url")
  got=$(stat -c %s "$work/curl.out")
  [ "$got" = "$bytes" ] || { echo "curl fetched $got of $bytes bytes" >&2; exit 1; }
  rm -f "$work/curl.out"
  curl_best=$(/usr/bin/python3 -c "print(max($curl_best, $speed / 1048576))")

  ours=$("$build_dir/bench/http/http_fetch_bench" "${ours_tls[@]}" "$url" "$work/tweb.out" 1)
  got=$(stat -c %s "$work/tweb.out")
  [ "$got" = "$bytes" ] || { echo "TWeb stored $got of $bytes bytes" >&2; exit 1; }
  if [ "$content" = random ]; then
    cmp -s "$work/tweb.out" "$work/www/big.bin" || { echo "TWeb stored different bytes" >&2; exit 1; }
  fi
  rm -f "$work/tweb.out"
  speed=$(echo "$ours" | awk '/^best/ {print $2}')
  ours_best=$(/usr/bin/python3 -c "print(max($ours_best, $speed))")
done

printf 'file:  %s bytes (%s) over %s, best of %s rounds each\n' "$bytes" "$content" "$scheme" "$rounds"
printf 'curl:  %.1f MiB/s\n' "$curl_best"
printf 'TWeb:  %.1f MiB/s\n' "$ours_best"
printf 'ratio: %.2f (TWeb / curl; target at least 0.80)\n' "$(/usr/bin/python3 -c "print($ours_best / $curl_best)")"
