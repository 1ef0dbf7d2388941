#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, ASan + UBSan, in
# build-fuzz) and runs each for a bounded time on its generated seed corpus.
#
#   scripts/fuzz.sh               every target for 600 s (the local run)
#   scripts/fuzz.sh --short       every target for 20 s (the test command)
#   scripts/fuzz.sh --time 3600 fuzz_geotiff     one target for an hour
#
# Exits non-zero only when a target finds something (crash, sanitizer report,
# leak, timeout or out-of-memory); the input is kept in build-fuzz/artifacts.
# The corpus each run grows is kept in build-fuzz/corpus and reused.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=600
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --short) seconds=20 ;;
    --time) seconds="$2"; shift ;;
    -h|--help) sed -n 2,12p "$0"; exit 0 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_raster_read fuzz_geotiff fuzz_catalogue fuzz_text fuzz_save)

fuzzer_runtime() {
  command -v clang++ >/dev/null 2>&1 &&
    [ -n "$(clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a 2>/dev/null | grep -v '^libclang_rt')" ] ||
    ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1
}
if ! command -v clang++ >/dev/null 2>&1 || ! fuzzer_runtime; then
  bash scripts/install-deps.sh || true
fi
if ! command -v clang++ >/dev/null 2>&1 || ! fuzzer_runtime; then
  echo "fuzz: clang with the libFuzzer runtime is not available; fuzzing skipped" >&2
  exit 0
fi

build=build-fuzz
if ! cmake --preset fuzz >"${build}.configure.log" 2>&1; then
  cat "${build}.configure.log" >&2
  echo "fuzz: configure failed" >&2
  exit 1
fi
rm -f "${build}.configure.log"
if ! cmake --build "${build}" -j2 --target fuzz_all >/dev/null 2>"${build}/build-errors.log"; then
  cat "${build}/build-errors.log" >&2
  echo "fuzz: build failed" >&2
  exit 1
fi

seeds="${build}/seeds"
rm -rf "${seeds}"
"${build}/fuzz/fuzz_make_seeds" "${seeds}" || { echo "fuzz: seed generation failed" >&2; exit 1; }
mkdir -p "${build}/artifacts" "${build}/logs"

# Leaks are findings too; allocations past the limit are reported as such.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# Each target process makes its scratch folder in here; removed at the end.
scratch="$(mktemp -d /dev/shm/zelto-fuzz-run.XXXXXX 2>/dev/null || mktemp -d)"
trap 'rm -rf "${scratch}"' EXIT
export ZELTO_FUZZ_TMP="${scratch}"

failed=()
printf '%-18s %8s %12s %10s %s\n' target seconds executions "exec/s" result
for t in "${targets[@]}"; do
  bin="${build}/fuzz/${t}"
  [ -x "${bin}" ] || { echo "fuzz: no target ${t}" >&2; failed+=("${t}"); continue; }
  corpus="${build}/corpus/${t}"
  mkdir -p "${corpus}"
  dirs=("${corpus}" "${seeds}/${t}")
  [ "${t}" = fuzz_geotiff ] && dirs+=("${seeds}/tiff_files")
  log="${build}/logs/${t}.log"
  "${bin}" -max_total_time="${seconds}" -timeout=30 -rss_limit_mb=2560 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="${build}/artifacts/${t}-" "${dirs[@]}" >"${log}" 2>&1
  rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "${log}" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "${log}" | tail -1)
  if [ ${rc} -eq 0 ]; then
    result=ok
  else
    result="FINDING (rc ${rc}, log ${log})"
    failed+=("${t}")
  fi
  printf '%-18s %8s %12s %10s %s\n' "${t}" "${seconds}" "${execs:-?}" "${rate:-?}" "${result}"
done

if [ ${#failed[@]} -gt 0 ]; then
  for t in "${failed[@]}"; do
    echo "=== ${t}" >&2
    grep -E -A12 'ERROR|runtime error|SUMMARY' "${build}/logs/${t}.log" | head -40 >&2
  done
  echo "fuzz: findings in ${failed[*]}; inputs in ${build}/artifacts" >&2
  exit 1
fi
