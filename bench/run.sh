#!/usr/bin/env bash
# Every benchmark, on a fresh machine: installs what is missing, builds, then
# runs the crawl comparison (harvex-cli vs wget and httrack, classic and
# image-heavy sites, system calls per saved file), the scale run, the desktop
# program under Xvfb, the HTTP component and the engine micro-benchmarks.
#
# usage: bench/run.sh [BUILD_DIR]
#   env: QUICK=1     smaller sites, one round, no httrack, no 1 GiB file, no
#                    scale run (a few minutes)
#        SCALE_FILES the large image-heavy site (default 100000; 0 = none)
#        and every variable of bench/crawl/run.sh and bench/gui/run.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-${HARVEX_BUILD_DIR:-build}}

scripts/install-deps.sh
HARVEX_BUILD_DIR=$build scripts/build.sh

if [ "${QUICK:-0}" = 1 ]; then
  export SIZES=${SIZES-500} IMAGE_FILES=${IMAGE_FILES-2000} RUNS=${RUNS:-1} BIG_MB=${BIG_MB:-0}
  export HTTRACK=${HTTRACK:-0} SCALE_FILES=${SCALE_FILES:-0} FILES=${FILES:-2000}
fi
scale=${SCALE_FILES:-100000}
[ "$scale" = 0 ] && scale=""

echo "#### crawl (load: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores)"
SCALE_FILES=$scale bench/crawl/run.sh "$build"
echo "#### desktop program"
bench/gui/run.sh "$build"
echo "#### HTTP component"
bench/http/run.sh "$build"
if [ -x "$build/bench/engine/engine_bench" ]; then
  echo "#### engine"
  "$build/bench/engine/engine_bench"
fi
