#!/usr/bin/env bash
# Installs what is missing, builds and starts Trasovník. Without a display
# it runs under xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
exe="build/app/trasovnik"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$exe"
else
  exec xvfb-run -a "$exe"
fi
