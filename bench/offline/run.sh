#!/usr/bin/env bash
# Offline-copy benchmark: an HTML documentation tree of a Debian package, served
# by nginx on loopback, copied by harvex-cli with --offline, without it, and by
# wget -r -np -p -k. For each saved tree: wall time, files saved, and the links
# that do not work from disk (check_links.py), apart from links to the web.
#
# usage: bench/offline/run.sh [BUILD_DIR]
#   env: DOC_DIR (default /usr/share/doc/sphinx-doc/html, from the package
#        sphinx-doc, which the script installs when it is missing)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${1:-${HARVEX_BUILD_DIR:-build}}
cli="$root/$build/app/harvex-cli"
doc=${DOC_DIR:-/usr/share/doc/sphinx-doc/html}

[ -x "$cli" ] || { echo "harvex-cli not found at $cli; build first (scripts/build.sh)"; exit 1; }
if [ ! -d "$doc" ] && [ -z "${DOC_DIR:-}" ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends sphinx-doc
fi
[ -d "$doc" ] || { echo "no documentation tree at $doc"; exit 1; }
for tool in nginx wget curl python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool; run scripts/install-deps.sh"; exit 1; }
done

work=$(mktemp -d /tmp/harvex-offline-bench.XXXXXX)
nginx_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
www="$work/www"
mkdir -p "$www" "$work/tmp"
# Links into /usr/share/javascript and the like become files of the site.
cp -rL "$doc" "$www/doc"
cat > "$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 256; }
http {
  include /etc/nginx/mime.types;
  default_type application/octet-stream;
  access_log off;
  client_body_temp_path $work/tmp/body;
  proxy_temp_path $work/tmp/proxy;
  fastcgi_temp_path $work/tmp/fastcgi;
  uwsgi_temp_path $work/tmp/uwsgi;
  scgi_temp_path $work/tmp/scgi;
  server { listen 127.0.0.1:$port; root $www; }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" -e "$work/error.log" &
nginx_pid=$!
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.05; done

start="http://127.0.0.1:$port/doc/index.html"
pages=$(find "$www/doc" -name '*.html' | wc -l)
echo "Site: $doc ($pages pages, $(find "$www/doc" -type f | wc -l) files), start $start"
printf '%-28s %8s %7s %7s %8s %8s %10s\n' tool wall_s files pages links broken to_the_web

# run NAME COMMAND...: copies into $work/out-NAME, prints the figures.
run() {
  local name=$1; shift
  local out="$work/out-$name"
  rm -rf "$out"; mkdir -p "$out"
  (cd "$out" && /usr/bin/time -f "%e" -o "$work/time.txt" "$@" >/dev/null 2>&1) || true
  local wall; wall=$(tail -n 1 "$work/time.txt")
  read -r _ files _ pages _ links _ broken _ web < <(python3 "$root/bench/offline/check_links.py" "$out")
  printf '%-28s %8s %7s %7s %8s %8s %10s\n' "$name" "$wall" "$files" "$pages" "$links" "$broken" "$web"
}

run "harvex-cli --offline" "$cli" "$start" "$work/out-harvex-cli --offline" --offline --quiet
run "harvex-cli" "$cli" "$start" "$work/out-harvex-cli" --quiet
run "harvex-cli --everything" "$cli" "$start" "$work/out-harvex-cli --everything" --everything --quiet
run "wget -r -np -p -k" wget -q -r -np -p -k "$start"
