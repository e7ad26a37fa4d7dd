#!/usr/bin/env bash
# run-gtests.sh PROGRAM.exe [GTEST ARGS...]: runs a GoogleTest program in the prefix named by
# UPDEXAR_WINE_PREFIX, with what the tests expect around them:
#   UPDEXAR_TEST_SHARE       \\SERVER\share, a host folder of its own for this run
#   UPDEXAR_TEST_FONT        Windows path of a TrueType file inside the prefix
#   UPDEXAR_TEST_PREFIX_KIND win32 or wow64
# and a display. The XML report lands beside the prefix.
set -u
. "$(dirname "$0")/harness.sh"
[ $# -ge 1 ] || hx_fail "usage: run-gtests.sh PROGRAM.exe [ARGS...]"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
exe="$1"; shift
[ -f "$exe" ] || hx_fail "no test program at $exe"

hx_use_prefix "$UPDEXAR_WINE_PREFIX"
kind="$(hx_prefix_kind)"
name="$(basename "$exe" .exe)"
work="$UPDEXAR_WINE_ROOT/runs/$name-$kind"
rm -rf "$work"
mkdir -p "$work"

hx_map_share SERVER share "$work/share"
export UPDEXAR_TEST_SHARE='\\SERVER\share'

font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
[ -f "$font" ] || hx_fail "$font is missing (fonts-dejavu-core; run .ci/install-deps)"
rm -rf "$(hx_unix_path 'C:\updexar-test')"
hx_copy_in "$font" 'C:\updexar-test\fonts'
export UPDEXAR_TEST_FONT='C:\updexar-test\fonts\DejaVuSans.ttf'
export UPDEXAR_TEST_PREFIX_KIND="$kind"

hx_xvfb_start
hx_log "running $name in the $kind prefix"
hx_run "${UPDEXAR_WINE_TIMEOUT:-900}" "$work/output.txt" "$exe" \
  "--gtest_output=xml:$(hx_win_path "$work/report.xml")" "$@"
hx_log "$name exit code $HX_EXIT"
exit "$HX_EXIT"
