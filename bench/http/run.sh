#!/usr/bin/env bash
# Fetches a 1 GiB file from nginx on a free loopback port with TWeb
# (StoreToFile, as the engine fetches files) and with `curl -o`, in the same
# run, and prints both throughputs and their ratio.
#
#   bench/http/run.sh [build dir]      (default: build)
#   SIZE=1G ROUNDS=3 CONTENT=random|sparse SCHEME=http|https bench/http/run.sh
#   BASELINE=/path/to/older/http_fetch_bench bench/http/run.sh
# BASELINE: an older build of http_fetch_bench fetched in the same rounds, so
# that a change is judged against it under the same load.
# Besides the best throughput each client's CPU time (user + system seconds per
# GiB, the lowest of the rounds) is printed: a busy machine disturbs it less.
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
baseline=${BASELINE:-}
gib=$(/usr/bin/python3 -c "print($bytes / 1073741824)")
# Runs a command under /usr/bin/time with its stdout going to the file in $1;
# sets cpu to its user + system seconds per GiB.
cpu_per_gib() {
  local out=$1; shift
  /usr/bin/time -f '%U %S' -o "$work/time.txt" "$@" > "$out"
  cpu=$(/usr/bin/python3 -c "u, s = open('$work/time.txt').read().split()[-2:]; print((float(u) + float(s)) / $gib)")
}
min() { /usr/bin/python3 -c "print(min(x for x in ($1, $2) if x >= 0) if max($1, $2) >= 0 else -1)"; }
# Warm the page cache so that both clients read the same cached file.
cat "$work/www/big.bin" > /dev/null

# Rounds alternate between the clients, so that a busy machine slows both alike.
curl_best=0
ours_best=0
base_best=0
curl_cpu=-1
ours_cpu=-1
base_cpu=-1
fetch_ours() {  # binary, then the name the messages use; sets speed and cpu
  cpu_per_gib "$work/ours.txt" "$1" "${ours_tls[@]}" "$url" "$work/tweb.out" 1
  got=$(stat -c %s "$work/tweb.out")
  [ "$got" = "$bytes" ] || { echo "$2 stored $got of $bytes bytes" >&2; exit 1; }
  if [ "$content" = random ]; then
    cmp -s "$work/tweb.out" "$work/www/big.bin" || { echo "$2 stored different bytes" >&2; exit 1; }
  fi
  rm -f "$work/tweb.out"
  speed=$(awk '/^best/ {print $2}' "$work/ours.txt")
}
for round in $(seq "$rounds"); do
  cpu_per_gib "$work/curl.speed" curl -s "${curl_tls[@]}" -o "$work/curl.out" -w '%{speed_download}' "$url"
  curl_cpu=$(min "$curl_cpu" "$cpu")
  speed=$(cat "$work/curl.speed")
  got=$(stat -c %s "$work/curl.out")
  [ "$got" = "$bytes" ] || { echo "curl fetched $got of $bytes bytes" >&2; exit 1; }
  rm -f "$work/curl.out"
  curl_best=$(/usr/bin/python3 -c "print(max($curl_best, $speed / 1048576))")
  line=$(/usr/bin/python3 -c "print('round $round: curl %.1f MiB/s %.3f CPU s/GiB' % ($speed / 1048576, $cpu))")

  fetch_ours "$build_dir/bench/http/http_fetch_bench" TWeb
  ours_best=$(/usr/bin/python3 -c "print(max($ours_best, $speed))")
  ours_cpu=$(min "$ours_cpu" "$cpu")
  line="$line; TWeb $speed MiB/s $(printf %.3f "$cpu")"

  if [ -n "$baseline" ]; then
    fetch_ours "$baseline" "the baseline"
    base_best=$(/usr/bin/python3 -c "print(max($base_best, $speed))")
    base_cpu=$(min "$base_cpu" "$cpu")
    line="$line; baseline $speed MiB/s $(printf %.3f "$cpu")"
  fi
  echo "$line" >&2
done

printf 'file:  %s bytes (%s) over %s, best of %s rounds each\n' "$bytes" "$content" "$scheme" "$rounds"
printf 'curl:  %.1f MiB/s, %.3f CPU s/GiB\n' "$curl_best" "$curl_cpu"
printf 'TWeb:  %.1f MiB/s, %.3f CPU s/GiB\n' "$ours_best" "$ours_cpu"
printf 'ratio: %.2f (TWeb / curl; target at least 0.80)\n' "$(/usr/bin/python3 -c "print($ours_best / $curl_best)")"
if [ -n "$baseline" ]; then
  printf 'base:  %.1f MiB/s, %.3f CPU s/GiB (%s)\n' "$base_best" "$base_cpu" "$baseline"
  printf 'ratio: %.2f (baseline / curl)\n' "$(/usr/bin/python3 -c "print($base_best / $curl_best)")"
fi
