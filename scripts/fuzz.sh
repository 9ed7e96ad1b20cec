#!/usr/bin/env bash
# Fuzzes every target for a bounded time: scripts/fuzz.sh [seconds per target]
# New inputs go to build/fuzz/corpus; crashes to build/fuzz/artifacts (and fail the run).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/artifacts
status=0
for target in request_parser percent_escapes api_request; do
  work=build/fuzz/corpus/$target
  mkdir -p "$work"
  echo "fuzzing $target for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "build/fuzz/fuzz/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="build/fuzz/artifacts/${target}-" "$work" "fuzz/corpus/$target" \
      > "build/fuzz/$target.log" 2>&1; then
    echo "FAILED: $target (see build/fuzz/$target.log; inputs in build/fuzz/artifacts)"
    tail -40 "build/fuzz/$target.log"
    status=1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^Done' "build/fuzz/$target.log" || true
done
exit $status
