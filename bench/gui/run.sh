#!/usr/bin/env bash
# The desktop program, its window shown on a virtual display (Xvfb), against
# harvex-cli on the same generated image-heavy site served by nginx on
# loopback. The two take turns in every round. Prints the medians of their wall
# and CPU times and of the per-round ratio desktop / harvex-cli, and how the
# window answered while it copied:
# - the longest time its event loop was away (a 20 ms timer inside the program);
# - round trips from outside: every half second xdotool presses F12 in the
#   window and the script times how long until xprop sees the title the
#   program sets in answer ("harvex-bench pong N").
#
# Every timed run starts on the same footing: it copies into a folder of its
# own and nothing is deleted until the end (ext4 without a journal, as here,
# makes each new file pay for the inodes freed in the last minute: a run right
# after the deletion of another's copy would be slowed by it, and no user's
# copy is); one untimed warm-up run fills the page cache, and the order of the
# programs alternates from round to round.
#
# usage: bench/gui/run.sh [BUILD_DIR]
#   env: FILES=10000 (half pages, half images), RUNS=3
#        GUI_BASELINE=path  an older gui_crawl_bench measured in the same
#                           rounds, for before/after figures
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${1:-${HARVEX_BUILD_DIR:-build}}
cli="$root/$build/app/harvex-cli"
gui="$root/$build/bench/gui/gui_crawl_bench"
files=${FILES:-10000}
runs=${RUNS:-3}
gui_baseline=${GUI_BASELINE:-}

for program in "$cli" "$gui" ${gui_baseline:+"$gui_baseline"}; do
  [ -x "$program" ] || { echo "$program not built; build first (scripts/build.sh)"; exit 1; }
done
for tool in nginx Xvfb xdotool xprop curl bc /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool; run scripts/install-deps.sh"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/harvex-gui-bench.XXXXXX")
nginx_pid=""
xvfb_pid=""
cleanup() {
  for pid in $nginx_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$work/www" "$work/tmp"
python3 bench/site/generate_site.py "$work/www" "$((files / 2))" --images >/dev/null
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
  server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" -e "$work/error.log" &
nginx_pid=$!
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.05; done
url="http://127.0.0.1:$port/index.html"

display=""
for n in $(seq 90 140); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
[ -n "$display" ] || { echo "no free X display number"; exit 1; }
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do xprop -display "$display" -root >/dev/null 2>&1 && break; sleep 0.05; done
export DISPLAY=$display QT_QPA_PLATFORM=xcb

now_ms() { date +%s%3N; }

# new_out: sets $out to a folder no run has used.
run_count=0
# The last run's files are written out first (sync), so that no run shares
# the disk with the write-back of the one before.
new_out() {
  run_count=$((run_count + 1))
  out="$work/runs/$run_count"
  mkdir -p "$out"
  sync
}

# ping_window: while the bench window runs, F12 every half second; one round
# trip time (ms) per line in $work/pings, "timeout" when none came in 10 s.
ping_window() {
  local pings=${1:-$work/pings} wid="" n=0 start
  for _ in $(seq 400); do
    wid=$(xdotool search --name '^harvex-bench running$' 2>/dev/null | head -n 1) && [ -n "$wid" ] && break
    sleep 0.05
  done
  [ -n "$wid" ] || return 0
  xdotool windowfocus "$wid" 2>/dev/null || true
  while xprop -id "$wid" WM_NAME 2>/dev/null | grep -q 'harvex-bench \(running\|pong\)'; do
    n=$((n + 1))
    start=$(now_ms)
    xdotool key --clearmodifiers F12 2>/dev/null || break
    local answered=0 title
    while [ $(($(now_ms) - start)) -lt 10000 ]; do
      # A window that is gone (the copy ended) answers nothing more: no miss.
      title=$(xprop -id "$wid" WM_NAME 2>/dev/null) || break 2
      case $title in
        *"harvex-bench pong $n\""*) answered=1; break ;;
        *"harvex-bench done"*) break 2 ;;
      esac
      sleep 0.005
    done
    if [ $answered = 1 ]; then echo $(($(now_ms) - start)) >> "$pings"; else echo timeout >> "$pings"; fi
    sleep 0.5
  done
}

# run_gui PROGRAM RESULTS: one run of a desktop bench program, its figures
# appended to RESULTS.
run_gui() {
  local program=$1 results=$2 line
  new_out
  local pings="$work/pings"
  [ "$results" = "$work/gui" ] || pings="$results.pings"
  ping_window "$pings" &
  local pinger=$!
  /usr/bin/time -f "%M" -o "$work/time.txt" "$program" "$url" "$out/gui" > "$work/gui-run.txt" 2>"$work/gui-err.txt" || true
  wait "$pinger" || true
  line=$(grep '^wall_s=' "$work/gui-run.txt" || true)
  [ -n "$line" ] || { echo "the desktop run failed:"; cat "$work/gui-err.txt"; exit 1; }
  eval "$line"
  # shellcheck disable=SC2154 # set by the eval above
  echo "$wall_s $cpu_s $(tail -n 1 "$work/time.txt") $(find "$out/gui" -type f ! -name downloads.log | wc -l) $max_gap_ms $lines" >> "$results"
}

: > "$work/cli"; : > "$work/gui"; : > "$work/gui-baseline"; : > "$work/pings"; : > "$work/gaps"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
run_cli() {
  new_out
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$cli" "$url" "$out/cli" --quiet >/dev/null 2>&1 || true
  read -r wall user sys rss < <(tail -n 1 "$work/time.txt")
  echo "$wall $(echo "$user + $sys" | bc -l) $rss $(find "$out/cli" -type f ! -name downloads.log | wc -l)" >> "$1"
}

# The warm-up: nginx's files and the site's folders come into the page cache.
run_cli "$work/warm-up"
for round in $(seq "$runs"); do
  if [ $((round % 2)) = 1 ]; then
    run_cli "$work/cli"
    run_gui "$gui" "$work/gui"
    [ -z "$gui_baseline" ] || run_gui "$gui_baseline" "$work/gui-baseline"
  else
    [ -z "$gui_baseline" ] || run_gui "$gui_baseline" "$work/gui-baseline"
    run_gui "$gui" "$work/gui"
    run_cli "$work/cli"
  fi
done

median() { sort -n | awk '{a[NR]=$1} END {if (NR == 0) print 0; else print a[int((NR + 1) / 2)]}'; }
col() { awk -v k="$2" '{print $k}' "$1" | median; }
echo "== desktop program (window on Xvfb $display) vs harvex-cli, image-heavy site of $files files =="
echo "machine load (1/5/15 min): $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after"
printf "%-30s %9s %9s %10s %7s\n" "program (median of $runs)" "wall s" "cpu s" "peak MiB" "files"
printf "%-30s %9.2f %9.2f %10.1f %7d\n" "harvex-cli" "$(col "$work/cli" 1)" "$(col "$work/cli" 2)" \
  "$(echo "$(col "$work/cli" 3) / 1024" | bc -l)" "$(col "$work/cli" 4)"
printf "%-30s %9.2f %9.2f %10.1f %7d   (cpu: the copy only)\n" "desktop program" "$(col "$work/gui" 1)" \
  "$(col "$work/gui" 2)" "$(echo "$(col "$work/gui" 3) / 1024" | bc -l)" "$(col "$work/gui" 4)"
if [ -n "$gui_baseline" ]; then
  printf "%-30s %9.2f %9.2f %10.1f %7d   (baseline)\n" "desktop program (baseline)" \
    "$(col "$work/gui-baseline" 1)" "$(col "$work/gui-baseline" 2)" \
    "$(echo "$(col "$work/gui-baseline" 3) / 1024" | bc -l)" "$(col "$work/gui-baseline" 4)"
fi
printf "ratio desktop / harvex-cli, median of the per-round ratios: wall %.2f\n" \
  "$(paste -d' ' "$work/gui" "$work/cli" | awk '{print $1 / $7}' | median)"
if [ -n "$gui_baseline" ]; then
  printf "ratio baseline desktop / harvex-cli: wall %.2f; desktop / baseline desktop: wall %.2f, cpu %.2f\n" \
    "$(paste -d' ' "$work/gui-baseline" "$work/cli" | awk '{print $1 / $7}' | median)" \
    "$(paste -d' ' "$work/gui" "$work/gui-baseline" | awk '{print $1 / $7}' | median)" \
    "$(paste -d' ' "$work/gui" "$work/gui-baseline" | awk '{print $2 / $8}' | median)"
  printf "baseline window: event loop away at most %s ms (worst run)\n" \
    "$(awk '{print $5}' "$work/gui-baseline" | sort -n | tail -n 1)"
fi
printf "window: event loop away at most %s ms (worst run), %s lines in the log pane\n" \
  "$(awk '{print $5}' "$work/gui" | sort -n | tail -n 1)" "$(col "$work/gui" 6)"
answered=$(grep -vc timeout "$work/pings" || true)
missed=$(grep -c timeout "$work/pings" || true)
if [ "$answered" -gt 0 ]; then
  printf "round trips from outside (xdotool F12 -> title via xprop): %d answered, %d not within 10 s; median %s ms, slowest %s ms\n" \
    "$answered" "$missed" "$(grep -v timeout "$work/pings" | median)" "$(grep -v timeout "$work/pings" | sort -n | tail -n 1)"
else
  echo "round trips from outside: none answered ($missed sent)"
fi
