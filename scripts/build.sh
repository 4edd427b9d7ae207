#!/usr/bin/env bash
# Installs what is missing, then configures and builds cnc into build/.
# Extra arguments go to CMake's configure step (for example -DCNC_SANITIZE=ON).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
cnc_install_missing
build=$(cnc_build_dir "$@")
if [ ! -f "$build/build.ninja" ] || [ $# -gt 0 ]; then
  cmake -S "$root" -B "$build" -G Ninja "$@"
fi
cmake --build "$build" --parallel "$(nproc)"
