#!/usr/bin/env bash
# Installs what is missing, then builds and tests every preset.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
for preset in default i386 sanitize; do
  echo "=== preset ${preset}"
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}"
  ctest --preset "${preset}"
done
if [ -x scripts/fuzz.sh ]; then
  bash scripts/fuzz.sh --short
fi
