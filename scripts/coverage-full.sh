#!/usr/bin/env bash
# Calibrates every transverse-Mercator and Lambert code of the generated
# catalogue (the test command calibrates a sample) and prints the coverage report.
# usage: scripts/coverage-full.sh [BUILD_DIR]   (default: the default preset's build)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -eq 0 ]; then
  build=build/default
  cmake --preset default >/dev/null
else
  build=$1
  cmake -S . -B "${build}" >/dev/null
fi
cmake --build "${build}" -j2 --target coverage_calibration_test
# The module finds the catalogue beside the program: start the test by its full path.
ZELTO_COVERAGE_ALL=1 "$(realpath "${build}")/tests/coverage/coverage_calibration_test"
