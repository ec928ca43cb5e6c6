#!/usr/bin/env bash
# Crawl benchmark: harvex-cli against wget and httrack on the same generated site
# served by a real nginx on loopback, then a 1 GiB single file against curl and
# wget. Prints wall time, CPU time and peak memory (median of RUNS runs), the
# files each saved, and the ratios of harvex-cli to each peer.
#
# usage: bench/crawl/run.sh [BUILD_DIR]
#   env: SIZES="500 5000", RUNS=3, BIG_MB=1024,
#        HTTRACK=0 to leave httrack out. httrack throttles itself (its defaults cap
#        the rate at 25 KB/s: about 20 minutes for the 500-page site), so it runs
#        once per configuration, not RUNS times.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${1:-${HARVEX_BUILD_DIR:-build}}
cli="$root/$build/app/harvex-cli"
sizes=${SIZES:-"500 5000"}
runs=${RUNS:-3}
big_mb=${BIG_MB:-1024}

[ -x "$cli" ] || { echo "harvex-cli not found at $cli; build first (scripts/build.sh)"; exit 1; }
for tool in nginx wget httrack curl /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool; run scripts/install-deps.sh"; exit 1; }
done

work=$(mktemp -d /tmp/harvex-bench.XXXXXX)
nginx_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
www="$work/www"
mkdir -p "$www" "$work/tmp"
cat > "$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 1024; }
http {
  include /etc/nginx/mime.types;
  default_type application/octet-stream;
  access_log off;
  client_body_temp_path $work/tmp/body;
  proxy_temp_path $work/tmp/proxy;
  fastcgi_temp_path $work/tmp/fastcgi;
  uwsgi_temp_path $work/tmp/uwsgi;
  scgi_temp_path $work/tmp/scgi;
  sendfile on;
  server { listen 127.0.0.1:$port; root $www; }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" -e "$work/error.log" &
nginx_pid=$!
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.05; done

# measure NAME OUTDIR COMMAND... : runs the command RUNS times into a fresh
# OUTDIR, records "wall user+sys maxrss_kb files" per run, prints the median line.
measure() {
  local name=$1 out=$2; shift 2
  local results="$work/results-$name"
  : > "$results"
  for _ in $(seq "$runs"); do
    rm -rf "$out"; mkdir -p "$out"
    /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >/dev/null 2>&1 || true
    # GNU time puts "Command exited with non-zero status N" first when the tool
    # reports an error (wget does for the 404 links); the figures are last.
    read -r wall user sys rss < <(tail -n 1 "$work/time.txt")
    files=$(find "$out" -type f ! -name downloads.log ! -name 'hts-*' ! -path '*/hts-cache/*' ! -name 'index.html.tmp' | wc -l)
    cpu=$(echo "$user + $sys" | bc -l)
    echo "$wall $cpu $rss $files" >> "$results"
  done
  # median by wall time
  sort -n "$results" | sed -n "$(( (runs + 1) / 2 ))p"
}

report() {
  local name=$1 line=$2
  read -r wall cpu rss files <<< "$line"
  printf "%-28s %10.2f %10.2f %12.1f %8d\n" "$name" "$wall" "$cpu" "$(echo "$rss / 1024" | bc -l)" "$files"
  echo "$name $wall $cpu $rss $files" >> "$work/summary"
}

for n in $sizes; do
  rm -rf "$www"/*
  python3 bench/site/generate_site.py "$www" "$n" >/dev/null
  url="http://127.0.0.1:$port/"
  echo "== site of $n pages ($(du -sh "$www" | cut -f1)), $(wc -l < "$work/manifest.txt") files reachable =="
  printf "%-28s %10s %10s %12s %8s\n" "tool" "wall s" "cpu s" "peak MiB" "files"
  : > "$work/summary"
  report "harvex-cli" "$(measure harvex "$work/out" "$cli" "$url" "$work/out" --quiet)"
  report "wget -r -np" "$(measure wget "$work/out" wget -r -np -q -P "$work/out" "$url")"
  report "wget -r -np (no keep-alive)" "$(measure wgetnk "$work/out" wget -r -np -q --no-http-keep-alive -P "$work/out" "$url")"
  if [ "${HTTRACK:-1}" = 1 ]; then
    report "httrack" "$(runs=1 measure httrack "$work/out" httrack "$url" -O "$work/out" -q)"
    report "httrack -c1" "$(runs=1 measure httrack1 "$work/out" httrack "$url" -O "$work/out" -q -c1)"
  fi
  read -r _ hw hc hr _ < <(grep '^harvex-cli ' "$work/summary")
  echo "ratios harvex-cli / peer (wall, cpu, memory):"
  while read -r name wall cpu rss files; do
    [ "$name" = "harvex-cli" ] && continue
    printf "  %-26s %6.2f %6.2f %6.2f\n" "$name" "$(echo "$hw / $wall" | bc -l)" "$(echo "$hc / ($cpu + 0.001)" | bc -l)" "$(echo "$hr / $rss" | bc -l)"
  done < <(sed 's/wget -r -np (no keep-alive)/wget-no-keep-alive/; s/wget -r -np/wget/; s/httrack -c1/httrack-c1/' "$work/summary")
done

if [ "$big_mb" -gt 0 ]; then
  rm -rf "${www:?}"/*
  head -c "$((big_mb * 1024 * 1024))" /dev/urandom > "$www/big.bin"
  echo "== one file of $big_mb MiB =="
  : > "$work/summary"
  for tool in harvex curl wget; do
    case $tool in
      harvex) line=$(measure harvex "$work/out" "$cli" "http://127.0.0.1:$port/big.bin" "$work/out" --quiet --rule '*.bin') ;;
      curl) line=$(measure curl "$work/out" curl -s -o "$work/out/big.bin" "http://127.0.0.1:$port/big.bin") ;;
      wget) line=$(measure wget "$work/out" wget -q -O "$work/out/big.bin" "http://127.0.0.1:$port/big.bin") ;;
    esac
    read -r wall _ _ _ <<< "$line"
    printf "  %-10s %8.2f s %10.1f MiB/s\n" "$tool" "$wall" "$(echo "$big_mb / $wall" | bc -l)"
    echo "$tool $wall" >> "$work/summary"
  done
  hw=$(awk '$1=="harvex"{print $2}' "$work/summary")
  for peer in curl wget; do
    pw=$(awk -v p=$peer '$1==p{print $2}' "$work/summary")
    printf "  throughput ratio harvex-cli / %s: %.2f\n" "$peer" "$(echo "$pw / $hw" | bc -l)"
  done
fi
