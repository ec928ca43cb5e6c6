#!/usr/bin/env bash
# Installs what is missing, builds Harvex and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec "${HARVEX_BUILD_DIR:-build}/app/harvex" "$@"
