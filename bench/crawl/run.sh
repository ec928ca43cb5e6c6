#!/usr/bin/env bash
# Crawl benchmark: harvex-cli against wget and httrack on the same generated site
# served by a real nginx on loopback, then a 1 GiB single file against curl and
# wget. The tools take turns within each round, so every round is a paired
# comparison made under the same machine load. Prints, per tool, the median wall
# time, CPU time and peak memory, the files each saved, and the medians of the
# per-round ratios of harvex-cli to each peer; the system calls per saved file
# of one traced run; and the machine load while the site was measured.
#
# usage: bench/crawl/run.sh [BUILD_DIR]
#   env: SIZES="500 5000"     pages of the classic sites (empty: none)
#        IMAGE_FILES="10000"  files of the image-heavy sites: half pages, half
#                             images of 2-60 KB (empty: none)
#        SCALE_FILES=""       e.g. 100000: one run of harvex-cli on an image-heavy
#                             site that large, its time per file set against the
#                             first IMAGE_FILES site's median
#        RUNS=3, BIG_MB=1024 (0: no big file)
#        BASELINE=path        another harvex-cli (an older build) measured in
#                             the same rounds, for before/after figures
#        HTTRACK=0            leave httrack out. It throttles itself (its
#                             defaults cap the rate at 25 KB/s: about 20 minutes
#                             for the 500-page site), so it runs once per site
#                             and never on the image-heavy ones.
#        STRACE=0             leave out the traced run.
#        SCHEME=https         serve everything over TLS (a certificate for
#                             127.0.0.1 from a throwaway CA made in the run's
#                             temporary folder, trusted by every client:
#                             --ca-certificate, curl --cacert). httrack cannot
#                             be told to trust a CA, so it is left out.
# wget runs with -l inf: its default depth of 5 leaves most of a large site out.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${1:-${HARVEX_BUILD_DIR:-build}}
cli="$root/$build/app/harvex-cli"
sizes=${SIZES-"500 5000"}
image_files=${IMAGE_FILES-"10000"}
scale_files=${SCALE_FILES:-}
runs=${RUNS:-3}
big_mb=${BIG_MB:-1024}
baseline=${BASELINE:-}
scheme=${SCHEME:-http}
case $scheme in http|https) ;; *) echo "SCHEME must be http or https"; exit 1 ;; esac
[ "$scheme" = http ] || HTTRACK=0

[ -x "$cli" ] || { echo "harvex-cli not found at $cli; build first (scripts/build.sh)"; exit 1; }
[ -z "$baseline" ] || [ -x "$baseline" ] || { echo "BASELINE $baseline is not a program"; exit 1; }
tools="nginx wget curl bc /usr/bin/time"
[ "$scheme" = http ] || tools="$tools openssl"
for tool in $tools; do
  command -v "$tool" >/dev/null || { echo "missing $tool; run scripts/install-deps.sh"; exit 1; }
done
[ "${HTTRACK:-1}" = 0 ] || command -v httrack >/dev/null || { echo "missing httrack (or HTTRACK=0)"; exit 1; }
[ "${STRACE:-1}" = 0 ] || command -v strace >/dev/null || { echo "missing strace (or STRACE=0)"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/harvex-bench.XXXXXX")
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
# nginx serves $work/www, a link to the site being measured. Each site is
# generated into a folder of its own, and each run copies into a folder of its
# own; nothing is deleted until the end. ext4 without a journal (as here) skips,
# one by one, the inodes freed in the last minute when it allocates one: a run
# right after the deletion of 10,000 files spends about half its CPU time in
# that search, which no user's copy into a new folder pays.
www="$work/www"
mkdir -p "$work/sites" "$work/runs" "$work/tmp"
site_count=0
run_count=0
# new_site ARGS...: generates a site (generate_site.py ARGS) and serves it.
new_site() {
  site_count=$((site_count + 1))
  local dir="$work/sites/$site_count/www"
  mkdir -p "$dir"
  python3 bench/site/generate_site.py "$dir" "$@" >/dev/null
  cp "$work/sites/$site_count/manifest.txt" "$work/manifest.txt"
  ln -sfn "$dir" "$www"
}
# new_out: sets $out to a folder no run has used.
new_out() {
  run_count=$((run_count + 1))
  out="$work/runs/$run_count"
}
listen_tls=""
tls_lines=""
ca=""
if [ "$scheme" = https ]; then
  bench/tls/make_certs.sh "$work/tls"
  ca="$work/tls/ca.pem"
  listen_tls=" ssl"
  tls_lines="ssl_certificate $work/tls/server.pem; ssl_certificate_key $work/tls/server.key;"
fi
# The options that make each client trust the bench CA (none over plain HTTP).
harvex_tls=${ca:+--ca-certificate $ca}
wget_tls=${ca:+--ca-certificate=$ca}
curl_tls=${ca:+--cacert $ca}
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
  server { listen 127.0.0.1:$port$listen_tls; $tls_lines root $www; }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" -e "$work/error.log" &
nginx_pid=$!
base="$scheme://127.0.0.1:$port"
# shellcheck disable=SC2086 # empty, or an option and its file
for _ in $(seq 100); do curl -s $curl_tls -o /dev/null "$base/" && break; sleep 0.05; done
url="$base/"

load() { cut -d' ' -f1-3 /proc/loadavg; }

# run_once NAME OUTDIR COMMAND... : one run into OUTDIR, made empty; appends
# "wall cpu maxrss_kb files" to $work/results-NAME.
run_once() {
  local name=$1 out=$2; shift 2
  rm -rf "$out"; sync; mkdir -p "$out"
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >/dev/null 2>&1 || true
  # GNU time puts "Command exited with non-zero status N" first when the tool
  # reports an error (wget does for the 404 links); the figures are last.
  local wall user sys rss files cpu
  read -r wall user sys rss < <(tail -n 1 "$work/time.txt")
  files=$(find "$out" -type f ! -name downloads.log ! -name 'hts-*' ! -path '*/hts-cache/*' ! -name 'index.html.tmp' | wc -l)
  cpu=$(echo "$user + $sys" | bc -l)
  echo "$wall $cpu $rss $files" >> "$work/results-$name"
}

# The tools of one site: "name|command" with OUT standing for the output folder.
tools_for() {
  echo "harvex-cli|$cli $url OUT --quiet $harvex_tls"
  [ -z "$baseline" ] || echo "harvex-cli (baseline)|$baseline $url OUT --quiet $harvex_tls"
  echo "wget|wget -r -l inf -np -q $wget_tls -P OUT $url"
  echo "wget (no keep-alive)|wget -r -l inf -np -q --no-http-keep-alive $wget_tls -P OUT $url"
}

median() { sort -n | awk '{a[NR]=$1} END {if (NR == 0) print 0; else print a[int((NR + 1) / 2)]}'; }

# column K of the results of NAME, median
med() { awk -v k="$2" '{print $k}' "$work/results-$1" | median; }

# Paired comparison: RUNS rounds in which every tool runs once, in turn.
compare_site() {
  local label=$1 with_httrack=$2
  local names=() cmds=() i r
  while IFS='|' read -r name cmd; do names+=("$name"); cmds+=("$cmd"); done < <(tools_for)
  for i in "${!names[@]}"; do : > "$work/results-$i"; done
  local load_before; load_before=$(load)
  for r in $(seq "$runs"); do
    for i in "${!names[@]}"; do
      local out; new_out
      # shellcheck disable=SC2086 # the command is split into words on purpose
      run_once "$i" "$out" ${cmds[$i]//OUT/$out}
    done
  done
  echo "== $label, over $scheme: machine load (1/5/15 min) $load_before before, $(load) after =="
  printf "%-26s %9s %9s %10s %7s\n" "tool (median of $runs)" "wall s" "cpu s" "peak MiB" "files"
  for i in "${!names[@]}"; do
    printf "%-26s %9.2f %9.2f %10.1f %7d\n" "${names[$i]}" "$(med "$i" 1)" "$(med "$i" 2)" \
      "$(echo "$(med "$i" 3) / 1024" | bc -l)" "$(med "$i" 4)"
  done
  echo "ratios harvex-cli / peer, medians of the per-round ratios (wall, cpu, memory):"
  for i in "${!names[@]}"; do
    [ "$i" = 0 ] && continue
    local rw rc rm
    rw=$(paste -d' ' "$work/results-0" "$work/results-$i" | awk '{print $1 / $5}' | median)
    rc=$(paste -d' ' "$work/results-0" "$work/results-$i" | awk '{print $2 / ($6 + 0.001)}' | median)
    rm=$(paste -d' ' "$work/results-0" "$work/results-$i" | awk '{print $3 / $7}' | median)
    printf "  %-24s %6.2f %6.2f %6.2f\n" "${names[$i]}" "$rw" "$rc" "$rm"
  done
  # per-file figures of harvex-cli, kept for the scale comparison
  echo "$(med 0 1) $(med 0 2) $(med 0 3) $(med 0 4)" > "$work/harvex-median"
  if [ "$with_httrack" = 1 ] && [ "${HTTRACK:-1}" = 1 ]; then
    local out; new_out
    : > "$work/results-h"; run_once h "$out" httrack "$url" -O "$out" -q
    new_out
    : > "$work/results-h1"; run_once h1 "$out" httrack "$url" -O "$out" -q -c1
    printf "%-26s %9.2f %9.2f %10.1f %7d   (one run)\n" httrack $(awk '{print $1, $2, $3 / 1024, $4}' "$work/results-h")
    printf "%-26s %9.2f %9.2f %10.1f %7d   (one run)\n" "httrack -c1" $(awk '{print $1, $2, $3 / 1024, $4}' "$work/results-h1")
  fi
  if [ "${STRACE:-1}" = 1 ]; then
    local out; new_out
    # shellcheck disable=SC2086 # empty, or an option and its file
    syscalls "harvex-cli" "$out" "$cli" "$url" "$out" --quiet $harvex_tls
    new_out
    # shellcheck disable=SC2086
    syscalls "wget (no keep-alive)" "$out" wget -r -l inf -np -q --no-http-keep-alive $wget_tls -P "$out" "$url"
  fi
}

# syscalls NAME OUTDIR COMMAND...: one run under strace -c -f; the calls per
# saved file and the five most frequent calls.
syscalls() {
  local name=$1 out=$2; shift 2
  mkdir -p "$out"
  strace -c -f -o "$work/strace.txt" "$@" >/dev/null 2>&1 || true
  local files total
  files=$(find "$out" -type f ! -name downloads.log | wc -l)
  total=$(awk '$NF == "total" {print $4}' "$work/strace.txt")
  printf "system calls of %s (strace -c -f, one run): %d for %d files, %.1f per saved file; most: %s\n" \
    "$name" "$total" "$files" "$(echo "$total / ($files + 0.0001)" | bc -l)" \
    "$(awk 'NF >= 5 && $1 ~ /^[0-9.]+$/ && $NF != "total" {print $4, $NF}' "$work/strace.txt" |
        sort -rn | head -n 6 | awk '{printf "%s %s, ", $2, $1}' | sed 's/, $//')"
}

for n in $sizes; do
  new_site "$n"
  compare_site "classic site of $n pages ($(du -sh "$www/" | cut -f1)), $(wc -l < "$work/manifest.txt") files reachable" 1
done

first_image_site=""
for n in $image_files; do
  new_site "$((n / 2))" --images
  compare_site "image-heavy site of $n files ($(du -sh "$www/" | cut -f1)), $(wc -l < "$work/manifest.txt") files reachable" 0
  [ -n "$first_image_site" ] || first_image_site=$(cat "$work/harvex-median")
done

if [ -n "$scale_files" ]; then
  new_site "$((scale_files / 2))" --images
  echo "== scale: image-heavy site of $scale_files files ($(du -sh "$www/" | cut -f1)), harvex-cli once; load $(load) =="
  : > "$work/results-scale"
  new_out
  # shellcheck disable=SC2086
  run_once scale "$out" "$cli" "$url" "$out" --quiet $harvex_tls
  read -r wall cpu rss files < "$work/results-scale"
  printf "%-26s %9.2f %9.2f %10.1f %7d   %.3f ms wall, %.3f ms cpu per file\n" "harvex-cli, $scale_files" \
    "$wall" "$cpu" "$(echo "$rss / 1024" | bc -l)" "$files" \
    "$(echo "$wall * 1000 / $files" | bc -l)" "$(echo "$cpu * 1000 / $files" | bc -l)"
  if [ -n "$first_image_site" ]; then
    read -r w0 c0 r0 f0 <<< "$first_image_site"
    printf "%-26s %9.2f %9.2f %10.1f %7d   %.3f ms wall, %.3f ms cpu per file (median above)\n" \
      "harvex-cli, smaller site" "$w0" "$c0" "$(echo "$r0 / 1024" | bc -l)" "$f0" \
      "$(echo "$w0 * 1000 / $f0" | bc -l)" "$(echo "$c0 * 1000 / $f0" | bc -l)"
    printf "time per file, large / small: wall %.2f, cpu %.2f (load %s)\n" \
      "$(echo "($wall / $files) / ($w0 / $f0)" | bc -l)" "$(echo "($cpu / $files) / ($c0 / $f0)" | bc -l)" "$(load)"
  fi
fi

if [ "$big_mb" -gt 0 ]; then
  site_count=$((site_count + 1))
  mkdir -p "$work/sites/$site_count/www"
  head -c "$((big_mb * 1024 * 1024))" /dev/urandom > "$work/sites/$site_count/www/big.bin"
  ln -sfn "$work/sites/$site_count/www" "$www"
  echo "== one file of $big_mb MiB over $scheme =="
  : > "$work/summary"
  for tool in harvex curl wget; do
    : > "$work/results-big"
    for _ in $(seq "$runs"); do
      # shellcheck disable=SC2086 # empty, or an option and its file
      case $tool in
        harvex) run_once big "$work/out" "$cli" "$base/big.bin" "$work/out" --quiet --rule '*.bin' $harvex_tls ;;
        curl) run_once big "$work/out" curl -s $curl_tls -o "$work/out/big.bin" "$base/big.bin" ;;
        wget) run_once big "$work/out" wget -q $wget_tls -O "$work/out/big.bin" "$base/big.bin" ;;
      esac
    done
    wall=$(med big 1)
    printf "  %-10s %8.2f s %10.1f MiB/s\n" "$tool" "$wall" "$(echo "$big_mb / $wall" | bc -l)"
    echo "$tool $wall" >> "$work/summary"
  done
  hw=$(awk '$1=="harvex"{print $2}' "$work/summary")
  for peer in curl wget; do
    pw=$(awk -v p=$peer '$1==p{print $2}' "$work/summary")
    printf "  throughput ratio harvex-cli / %s: %.2f\n" "$peer" "$(echo "$pw / $hw" | bc -l)"
  done
fi
