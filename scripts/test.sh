#!/usr/bin/env bash
# Builds when needed, then runs every test with CTest. Widget tests use the offscreen platform.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
# Warnings are errors wherever the tests are built.
"$root/scripts/build.sh" -DCNC_WERROR=ON "$@"
export QT_QPA_PLATFORM=offscreen
cd "$(cnc_build_dir "$@")"
# The independent check of the written G-code files: a G-code interpreter from the npm registry.
if [ ! -f npm/node_modules/gcode-toolpath/package.json ]; then
  npm install --prefix npm --no-audit --no-fund --silent gcode-toolpath@3.0.0
fi
if [ ! -x tests/firmware/board_sim ]; then
  echo "Firmware tests skipped: avr-g++ or libsimavr-dev is missing (scripts/deps.sh installs them)." >&2
fi
ctest --output-on-failure --timeout 600 -j "$(nproc)"
