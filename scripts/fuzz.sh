#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang (libFuzzer, ASan and
# UBSan) into build-fuzz/ (or $FUZZ_BUILD_DIR) and runs each target for the
# given number of seconds (default 60), one after another, each process
# bounded to $FUZZ_RSS_MB megabytes (default 2048). A run goes on after a
# finding, so that one fault does not hide the next.
#
# Inputs that reach new code are kept in build-fuzz/corpus/<target>; the
# seed corpus tests/fuzz/corpus/<target> is read, never written. Each
# finding is kept as build-fuzz/findings/<target>/crash-… (or oom-, leak-,
# timeout-), with the log in build-fuzz/fuzz-<target>.log. Once fixed, copy
# the finding into tests/fuzz/corpus/<target>/ under a telling name: the
# regular tests replay that folder.
#
# Prints executions and findings per target; exits 1 when any target had a
# finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}
rss_mb=${FUZZ_RSS_MB:-2048}
targets=(tablefile inifile waypointfile fitfile gpxfile tcxfile archivefile activitylist)

bash scripts/install-deps.sh clang libclang-rt-14-dev
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTRASOVNIK_BUILD_FUZZERS=ON -DTRASOVNIK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
summary=()
total_found=0
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  found="$build/findings/$t"
  log="$build/fuzz-$t.log"
  mkdir -p "$work" "$found"
  marker=$(mktemp)
  echo "== $t: ${seconds} s"
  "$build/tests/fuzz/fuzz_$t" -fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1 \
    -max_total_time="$seconds" -rss_limit_mb="$rss_mb" -malloc_limit_mb="$rss_mb" -timeout=20 \
    -artifact_prefix="$found/" "$work" "tests/fuzz/corpus/$t" >"$log" 2>&1 || true
  # The last status line of the run: "#<executions>: cov: … crash: …".
  execs=$(grep -aoE '^#[0-9]+: cov' "$log" | tail -n 1 | tr -dc '0-9')
  new=$(find "$found" -type f -newer "$marker" | wc -l)
  rm -f "$marker"
  total_found=$((total_found + new))
  summary+=("$(printf '%-14s %14s executions %4d findings' "$t" "${execs:-?}" "$new")")
done
echo
printf '%s\n' "${summary[@]}"
if [ "$total_found" -gt 0 ]; then
  echo "Findings are in $build/findings/; the logs say what each one broke."
  exit 1
fi
