#!/usr/bin/env bash
# Builds a release of the program (no tests, no benchmarks) into build-release/ and makes the
# Debian package there, for example build-release/cnc_1.0.7_amd64.deb. Extra arguments go to
# CMake's configure step.
#   CNC_BUILD_DIR=DIR     build there instead of build-release/
#   CNC_PACKAGE_FROM=DIR  package that finished build as it is: nothing is installed, configured
#                         or built (the package test packages the build under test)
#   CNC_PACKAGE_OUT=DIR   put the package (and CPack's staging folder) there
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -n "${CNC_PACKAGE_FROM:-}" ]; then
  build=$CNC_PACKAGE_FROM
else
  source "$root/scripts/deps.sh"
  cnc_install_missing
  build=${CNC_BUILD_DIR:-$root/build-release}
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCNC_BUILD_TESTS=OFF -DCNC_BUILD_BENCH=OFF "$@"
  cmake --build "$build" --parallel "$(nproc)"
fi
out=${CNC_PACKAGE_OUT:-$build}
cpack --config "$build/CPackConfig.cmake" -B "$out"
