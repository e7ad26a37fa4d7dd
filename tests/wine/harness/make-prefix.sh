#!/usr/bin/env bash
# make-prefix.sh KIND DIR: a fresh Wine prefix (win32 or wow64) for this test run.
set -u
. "$(dirname "$0")/harness.sh"
[ $# -eq 2 ] || hx_fail "usage: make-prefix.sh win32|wow64 DIR"
hx_make_prefix "$2" "$1"
# Left stopped: each test starts the prefix again and stops it when it ends.
hx_stop_prefix "$2"
