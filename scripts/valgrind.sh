#!/usr/bin/env bash
# Runs every test of the default build under valgrind memcheck: any memory
# error or definite/indirect leak fails the run.
#   scripts/valgrind.sh                 build (preset default) and run all tests
#   scripts/valgrind.sh -R reader       only the tests whose name matches
#   BUILD_DIR=build-x scripts/valgrind.sh   an already configured build tree
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build/default}"
filter=""
if [ "${1:-}" = "-R" ]; then filter="$2"; fi
command -v valgrind >/dev/null || bash scripts/install-deps.sh
if [ -z "${BUILD_DIR:-}" ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default
fi

logs="${build}/valgrind"
mkdir -p "${logs}"
# name<TAB>working directory<TAB>command..., from CTest's own listing.
mapfile -t tests < <(ctest --test-dir "${build}" --show-only=json-v1 | python3 -c '
import json, sys
for t in json.load(sys.stdin)["tests"]:
    wd = next((p["value"] for p in t.get("properties", []) if p["name"] == "WORKING_DIRECTORY"), ".")
    if "command" in t:  # absent when the executable is not built
        print("\t".join([t["name"], wd] + t["command"]))
')

failed=()
ran=0
for line in "${tests[@]}"; do
  IFS=$'\t' read -r -a f <<<"${line}"
  name="${f[0]}" wd="${f[1]}"
  cmd=("${f[@]:2}")
  if [ -n "${filter}" ] && [[ ! "${name}" =~ ${filter} ]]; then continue; fi
  log="$(pwd)/${logs}/${name}.log"
  ran=$((ran + 1))
  # nouserintercepts: a test's own operator new[] (which counts blocks) stays in use.
  if (cd "${wd}" && valgrind --tool=memcheck --soname-synonyms=somalloc=nouserintercepts --leak-check=full --show-leak-kinds=definite,indirect \
        --errors-for-leak-kinds=definite,indirect --error-exitcode=99 --track-origins=no \
        --log-file="${log}" "${cmd[@]}" >"${log}.out" 2>&1); then
    echo "ok      ${name}"
  else
    echo "FAILED  ${name} (${log})"
    failed+=("${name}")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "valgrind: ${#failed[@]} failing: ${failed[*]}" >&2
  exit 1
fi
echo "valgrind: ${ran} tests, no errors, no leaks"
