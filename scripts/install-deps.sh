#!/usr/bin/env bash
# Installs every Debian package that Harvex's build, the program and its tests
# need, and only those that are missing.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  # TLS for "https://" (the package then depends on libssl3)
  libssl-dev
  # running the desktop program
  adwaita-icon-theme qt6-gtk-platformtheme
  # real peers used by the tests
  nginx-light dnsmasq-base python3-aiosmtpd tinyproxy apache2-utils
  # the test certificates (a CA and its server certificates, made at test time)
  openssl
  # windows under a virtual display, screenshots
  xvfb xauth x11-utils imagemagick xdotool
  # the browser test: Debian's chromium, driven by puppeteer-core from npm, and
  # the font its test site serves
  chromium fonts-dejavu-core
  # benchmark peers and tools (strace counts system calls per saved file)
  curl wget httrack time bc strace
  # the Debian package and its checks (install and package tests)
  dpkg-dev fakeroot file binutils lintian desktop-file-utils appstream man-db groff-base
  gzip bash zsh
  # drawing the artwork (resources/tools/make_artwork.cpp)
  qt6-svg-dev
)

# node and npm for the browser test's driver, unless a node is already there
# (a node from elsewhere brings its own npm).
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
