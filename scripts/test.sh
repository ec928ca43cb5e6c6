#!/usr/bin/env bash
# Installs what is missing, builds Harvex and runs the whole test suite.
# Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd "${HARVEX_BUILD_DIR:-build}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j2 "$@"
