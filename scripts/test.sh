#!/usr/bin/env bash
# Installs what is missing, builds Harvex and runs the whole test suite, then
# builds the Debian package and tries it as a user would (installed with apt,
# run, purged), then runs the suite again built with AddressSanitizer and
# UndefinedBehaviorSanitizer, then gives every fuzz target a short run. Fails
# when any test fails or any sanitizer reports.
#
# HARVEX_TEST_STAGES chooses the stages (default "normal package sanitize fuzz");
# arguments are passed to the normal stage's ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
stages=${HARVEX_TEST_STAGES:-normal package sanitize fuzz}

scripts/install-deps.sh

# Every report fails the run; leaks inside third-party libraries only are
# listed in the suppressions file.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0
export QT_QPA_PLATFORM=offscreen

for stage in $stages; do
  case $stage in
    normal)
      echo "== Test suite"
      scripts/build.sh
      (cd "${HARVEX_BUILD_DIR:-build}" && ctest --output-on-failure --timeout 600 -j2 "$@")
      ;;
    package)
      echo "== Debian package: built, installed with apt, run, purged"
      scripts/test-package.sh
      ;;
    sanitize)
      echo "== Test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
      if [ ! -f build-asan/build.ninja ]; then
        cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DHARVEX_SANITIZE=ON -DHARVEX_BUILD_BENCH=OFF
      fi
      cmake --build build-asan
      (cd build-asan && ctest --output-on-failure --timeout 600 -j2 -LE fuzz)
      ;;
    fuzz)
      echo "== Fuzz targets (Clang, libFuzzer)"
      if [ ! -f build-fuzz/build.ninja ]; then
        CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DHARVEX_SANITIZE=ON -DHARVEX_BUILD_BENCH=OFF \
          -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link
      fi
      # Only what the fuzz targets need is built here.
      cmake --build build-fuzz --target harvex_fuzz_targets
      (cd build-fuzz && ctest --output-on-failure -j2 -L fuzz)
      ;;
    *)
      echo "unknown stage: $stage" >&2
      exit 2
      ;;
  esac
done
