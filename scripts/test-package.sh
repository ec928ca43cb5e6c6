#!/usr/bin/env bash
# The Debian package as a user meets it: builds it (scripts/package.sh), checks
# it with lintian, installs it with apt, runs harvex-cli from the installed path
# (its version, a short copy from nginx on loopback) and the installed desktop
# program under Xvfb until its window shows, then purges the package and checks
# that none of its files is left. Needs root (apt), directly or through sudo.
# Every check runs; the failed ones are listed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${HARVEX_BUILD_DIR:-build}
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

if dpkg-query -W harvex >/dev/null 2>&1; then
  echo "dpkg knows a harvex package on this machine already; this test installs and purges its own" >&2
  exit 1
fi
for path in /usr/bin/harvex /usr/bin/harvex-cli; do
  if [ -e "$path" ]; then
    echo "$path exists already (not from a package); remove it before this test" >&2
    exit 1
  fi
done

work=$(mktemp -d /tmp/harvex-package.XXXXXX)
chmod 755 "$work"
nginx_pid="" xvfb_pid="" gui_pid=""
cleanup() {
  for pid in $gui_pid $xvfb_pid $nginx_pid; do
    { kill "$pid" && wait "$pid"; } 2>/dev/null || true
  done
  if dpkg-query -W harvex >/dev/null 2>&1; then
    $SUDO apt-get purge -y -qq harvex >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

failures=()
pass() { echo "ok:   $1"; }
fail() {
  echo "FAIL: $1" >&2
  failures+=("$1")
}

echo "-- building the package"
scripts/package.sh >"$work/package.log" 2>&1 || {
  cat "$work/package.log" >&2
  exit 1
}
debs=("$build_dir"/harvex_*.deb)
((${#debs[@]} == 1)) || { echo "expected one package, found: ${debs[*]}" >&2; exit 1; }
deb=$(realpath "${debs[0]}")
echo "   $deb"

# -- the package's name, version and control fields
field() { dpkg-deb -f "$deb" "$1"; }
version=$(field Version)
upstream=${version%-*}
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "harvex_${version}_${arch}.deb" ] && pass "named harvex_${version}_${arch}.deb" ||
  fail "package file $(basename "$deb") is not named harvex_${version}_${arch}.deb"
[[ $version =~ ^[0-9][0-9.]*-[0-9]+$ ]] && pass "Debian version $version" || fail "version $version"
for name in Maintainer Section Priority Description Homepage Depends; do
  [ -n "$(field "$name")" ] && pass "field $name: $(field "$name" | head -1)" || fail "no $name field"
done
depends=$(field Depends)
grep -q 'libqt6widgets6' <<<"$depends" && grep -q 'libc6' <<<"$depends" &&
  pass "Depends found by dpkg-shlibdeps" || fail "Depends lacks the shared libraries: $depends"

echo "-- lintian"
lintian_status=0
lintian --fail-on error --display-info "$deb" >"$work/lintian.log" 2>&1 || lintian_status=$?
sed 's/^/   /' "$work/lintian.log"
((lintian_status == 0)) && pass "lintian reports no errors" || fail "lintian reports errors (status $lintian_status)"

echo "-- installing with apt"
$SUDO apt-get install -y -qq "$deb" >"$work/apt-install.log" 2>&1 || {
  cat "$work/apt-install.log" >&2
  exit 1
}
dpkg -L harvex >"$work/files"
pass "installed: $(wc -l <"$work/files") paths"

out=$(/usr/bin/harvex-cli --version 2>&1) && grep -qF "$upstream" <<<"$out" &&
  pass "harvex-cli --version: $out" || fail "harvex-cli --version printed: $out"
out=$(/usr/bin/harvex --version 2>&1) && [ "$out" = "harvex $upstream" ] &&
  pass "harvex --version: $out" || fail "harvex --version printed: $out"
[ "$(man -w harvex-cli 2>/dev/null)" = /usr/share/man/man1/harvex-cli.1.gz ] &&
  [ "$(man -w harvex 2>/dev/null)" = /usr/share/man/man1/harvex.1.gz ] &&
  pass "man finds harvex(1) and harvex-cli(1)" || fail "man does not find the pages"

echo "-- a short copy from nginx on loopback"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
www=$work/www
mkdir -p "$www/docs" "$work/tmp"
echo '<html><a href="docs/a.html">a</a> <img src="pic.gif"></html>' >"$www/index.html"
echo '<a href="b.html">b</a>' >"$www/docs/a.html"
echo 'the end' >"$www/docs/b.html"
head -c 3000 /dev/zero | tr '\0' g >"$www/pic.gif"
cat >"$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 64; }
http {
  include /etc/nginx/mime.types;
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
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.05
done
status=0
/usr/bin/harvex-cli "http://127.0.0.1:$port/" "$work/copy" --quiet >"$work/cli.log" 2>&1 || status=$?
# Pages are saved with the engine's line breaks; other files byte for byte.
copied=0
for file in index.html docs/a.html docs/b.html; do
  grep -q . "$work/copy/$file" 2>/dev/null && copied=$((copied + 1))
done
cmp -s "$www/pic.gif" "$work/copy/pic.gif" && copied=$((copied + 1))
((status == 0 && copied == 4)) && [ -s "$work/copy/downloads.log" ] &&
  pass "harvex-cli copied the site (4 files and downloads.log, exit 0)" ||
  fail "harvex-cli copy: exit $status, $copied of 4 files: $(cat "$work/cli.log")"

echo "-- the desktop program under Xvfb"
exec 4>"$work/display"
Xvfb -displayfd 4 -nolisten tcp -screen 0 1024x768x24 >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 4>&-
display=""
for _ in $(seq 100); do
  display=$(cat "$work/display" 2>/dev/null)
  [ -n "$display" ] && break
  sleep 0.05
done
if [ -z "$display" ]; then
  fail "Xvfb did not start: $(cat "$work/xvfb.log")"
else
  mkdir -p "$work/gui"
  DISPLAY=":$display" QT_QPA_PLATFORM=xcb HOME="$work" \
    /usr/bin/harvex "http://127.0.0.1:$port/" "$work/gui" >"$work/gui.log" 2>&1 &
  gui_pid=$!
  window=""
  for _ in $(seq 100); do
    window=$(DISPLAY=":$display" xdotool search --onlyvisible --pid "$gui_pid" --name Harvex 2>/dev/null | head -1) || true
    [ -n "$window" ] && break
    kill -0 "$gui_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -n "$window" ]; then
    pass "harvex shows its window: $(DISPLAY=":$display" xdotool getwindowname "$window")"
  else
    fail "no window of harvex: $(cat "$work/gui.log")"
  fi
  kill "$gui_pid" 2>/dev/null && wait "$gui_pid" 2>/dev/null || true
  gui_pid=""
fi

echo "-- purging"
$SUDO apt-get purge -y -qq harvex >"$work/apt-purge.log" 2>&1 || fail "apt-get purge: $(cat "$work/apt-purge.log")"
# Purged, dpkg forgets the package altogether (no configuration files kept).
if state=$(dpkg-query -W -f='${Status}' harvex 2>/dev/null); then
  fail "dpkg still knows harvex: $state"
fi
left=()
while IFS= read -r path; do
  [ "$path" = "/." ] && continue
  if [ -d "$path" ] && [ ! -L "$path" ]; then
    # A folder stays only while another package owns it.
    dpkg-query -S "$path" >/dev/null 2>&1 || left+=("$path/")
  elif [ -e "$path" ] || [ -L "$path" ]; then
    left+=("$path")
  fi
done <"$work/files"
((${#left[@]} == 0)) && pass "nothing of the package is left" || fail "left after purge: ${left[*]}"

if ((${#failures[@]} > 0)); then
  echo "package test: ${#failures[@]} checks failed:" >&2
  printf '  %s\n' "${failures[@]}" >&2
  exit 1
fi
echo "package test: all checks passed"
