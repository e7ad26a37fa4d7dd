#!/usr/bin/env bash
# stop-prefix.sh DIR: ends everything still running in a prefix at the end of a test run, and
# any Xvfb a test that was killed could not stop itself.
set -u
. "$(dirname "$0")/harness.sh"
[ $# -eq 1 ] || hx_fail "usage: stop-prefix.sh DIR"
[ -d "$1" ] && hx_stop_prefix "$1"
if [ -n "${UPDEXAR_WINE_STATE:-}" ] && [ -d "$UPDEXAR_WINE_STATE" ]; then
  for f in "$UPDEXAR_WINE_STATE"/xvfb.*; do
    [ -f "$f" ] || continue
    read -r pid owner < "$f"
    # A test still running owns its Xvfb (tests of the other prefix run meanwhile).
    if [ -n "${owner:-}" ] && kill -0 "$owner" 2>/dev/null; then continue; fi
    # Only an Xvfb we started: the pid may have been reused since.
    if [ -n "$pid" ] && grep -q Xvfb "/proc/$pid/cmdline" 2>/dev/null; then kill "$pid" 2>/dev/null; fi
    rm -f "$f"
  done
fi
exit 0
