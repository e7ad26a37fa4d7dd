#!/usr/bin/env bash
# with-xvfb.sh COMMAND...: runs COMMAND with one Xvfb that every Wine test inside it shares
# (UPDEXAR_TEST_DISPLAY), and stops that Xvfb afterwards.
set -u
. "$(dirname "$0")/harness.sh"
[ $# -ge 1 ] || hx_fail "usage: with-xvfb.sh COMMAND [ARGS...]"
unset UPDEXAR_TEST_DISPLAY
hx_xvfb_start
export UPDEXAR_TEST_DISPLAY="$DISPLAY"
"$@"
