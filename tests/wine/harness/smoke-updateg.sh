#!/usr/bin/env bash
# smoke-updateg.sh UpdateG.exe: the shipped utility starts in a clean prefix, opens its window
# and keeps running; the screenshot stays in the build folder for a look.
set -u
. "$(dirname "$0")/harness.sh"
[ $# -eq 1 ] || hx_fail "usage: smoke-updateg.sh UpdateG.exe"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
exe="$1"
[ -f "$exe" ] || hx_fail "no program at $exe"

hx_use_prefix "$UPDEXAR_WINE_PREFIX"
kind="$(hx_prefix_kind)"
hx_xvfb_start
rm -rf "$(hx_unix_path 'C:\Updexar')"
hx_copy_in "$exe" 'C:\Updexar'

hx_start 'C:\Updexar\UpdateG.exe'
hx_wait_window "Updexar -> Galvano -> Updexar" 60 || hx_fail "UpdateG.exe showed no window"
sleep 1
kill -0 "$HX_BG_PID" 2>/dev/null || hx_fail "UpdateG.exe ended on its own"
shot="$UPDEXAR_WINE_ROOT/screenshots/updateg-$kind.png"
hx_screenshot "$shot" || hx_fail "no screenshot"
# A bare screen is one colour; the window adds its frame, face and text.
colours="$(identify -format '%k' "$shot" 2>/dev/null || echo 0)"
[ "${colours:-0}" -ge 3 ] || hx_fail "the screenshot shows no window ($colours colours)"
hx_stop_prefix
hx_log "UpdateG.exe ran in the $kind prefix; screenshot $shot"
