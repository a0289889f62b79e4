#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. Needs no display.
#   --sanitize   builds a Debug build with the address and undefined-behaviour
#                sanitizers into build-sanitize/ (or $BUILD_DIR) and runs every
#                test there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
if [ "${1:-}" = "--sanitize" ]; then
  export BUILD_DIR=${BUILD_DIR:-build-sanitize}
  export BUILD_TYPE=Debug
  bash scripts/build.sh -DTRASOVNIK_SANITIZE=ON -DTRASOVNIK_BUILD_BENCH=OFF
  # Leaks are not looked for: the toolkit and the browser engine keep
  # memory until the process ends on purpose. The browser engine's own
  # code (not built with the sanitizer) frees some objects with another
  # size than it made them with; that check stays off for it.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:new_delete_type_mismatch=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
else
  bash scripts/build.sh
fi
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure
