#!/usr/bin/env bash
# The main job on a bundled sample: build, then show what the module reports.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default -R abi_test
