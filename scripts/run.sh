#!/usr/bin/env bash
# Builds when needed, then runs build/cnc with the given arguments.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" >&2
exec "${CNC_BUILD_DIR:-$root/build}/cnc" "$@"
