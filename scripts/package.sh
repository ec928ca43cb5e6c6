#!/usr/bin/env bash
# Builds the Debian package build/harvex_<version>-<release>_<arch>.deb (or into
# $HARVEX_BUILD_DIR): installs what is missing, builds, and packs what
# `cmake --install` installs, its dependencies found by dpkg-shlibdeps.
# Install it with:  sudo apt install ./build/harvex_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${HARVEX_BUILD_DIR:-build}

scripts/install-deps.sh
scripts/build.sh
rm -f "$build_dir"/harvex_*.deb
(cd "$build_dir" && cpack -G DEB)
ls "$build_dir"/harvex_*.deb
