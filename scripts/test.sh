#!/usr/bin/env bash
# Builds when needed, then runs every test with CTest. Widget tests use the offscreen platform.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" "$@"
export QT_QPA_PLATFORM=offscreen
cd "${CNC_BUILD_DIR:-$root/build}"
ctest --output-on-failure --timeout 600 -j "$(nproc)"
