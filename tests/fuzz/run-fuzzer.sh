#!/usr/bin/env bash
# run-fuzzer.sh FUZZER WORKDIR SEEDDIR SECONDS RUNS: one bounded libFuzzer run. New inputs and any
# crashing input go to WORKDIR; SEEDDIR is only read.
set -u
fuzzer="$1" work="$2" seeds="$3" seconds="$4" runs="$5"
mkdir -p "$work/corpus" "$work/artifacts"
dirs=("$work/corpus")
[ -d "$seeds" ] && dirs+=("$seeds")
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
exec "$fuzzer" -max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" "${dirs[@]}"
