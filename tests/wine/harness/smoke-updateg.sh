#!/usr/bin/env bash
# smoke-updateg.sh UpdateG.exe UI_PROBE.exe: the shipped utility starts in a clean prefix, opens
# its window and keeps running. It runs in Wine's virtual desktop, so the screenshot it leaves in
# the build folder shows the window with its caption and frame.
set -u
. "$(dirname "$0")/harness.sh"
[ $# -eq 2 ] || hx_fail "usage: smoke-updateg.sh UpdateG.exe ui_probe.exe"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
exe="$1" probe="$2"
[ -f "$exe" ] || hx_fail "no program at $exe"

hx_use_prefix "$UPDEXAR_WINE_PREFIX"
kind="$(hx_prefix_kind)"
hx_xvfb_start
hx_desktop_start smoke 1024x768 "$probe"
rm -rf "$(hx_unix_path 'C:\Updexar')"
hx_copy_in "$exe" 'C:\Updexar'

hx_desktop_start_program 'C:\Updexar\UpdateG.exe'
timeout 90 wine "$probe" wait-window "=Updexar -> Galvano -> Updexar" 60 >/dev/null \
  || hx_fail "UpdateG.exe showed no window"
shot="$UPDEXAR_WINE_ROOT/screenshots/updateg-$kind.png"
hx_desktop_shot "$shot" || hx_fail "no screenshot"
kill -0 "$HX_BG_PID" 2>/dev/null || hx_fail "UpdateG.exe ended on its own"
hx_stop_prefix
hx_log "UpdateG.exe ran in the $kind prefix; screenshot $shot"
