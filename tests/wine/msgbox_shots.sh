#!/usr/bin/env bash
# msgbox_shots.sh msgbox_demo.exe WIDTHxHEIGHT SHOTDIR: shows the program's message box on a
# screen of that size and keeps a screenshot of it as SHOTDIR/msgbox-WIDTHxHEIGHT.png. The demo
# asks for the screenshot itself (a .request file in UPDEXAR_SHOT_DIR), then answers the box.
set -u
. "$(dirname "$0")/harness/harness.sh"
[ $# -eq 3 ] || hx_fail "usage: msgbox_shots.sh msgbox_demo.exe WIDTHxHEIGHT SHOTDIR"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
exe="$1" size="$2" shots="$3"
[ -f "$exe" ] || hx_fail "no program at $exe"
case "$size" in [0-9]*x[0-9]*) ;; *) hx_fail "bad screen size '$size'" ;; esac

hx_use_prefix "$UPDEXAR_WINE_PREFIX"
kind="$(hx_prefix_kind)"
work="$UPDEXAR_WINE_ROOT/runs/msgbox-$size-$kind"
rm -rf "$work"
mkdir -p "$work/requests" "$shots"

# A screen of the size asked for, which the harness then uses as the run's display.
hx_xvfb_start_sized "$size"

export UPDEXAR_SHOT_DIR="$(hx_win_path "$work/requests")"
shot="$shots/msgbox-$size.png"
rm -f "$shot"
wine "$exe" > "$work/output.txt" 2>&1 &
demo=$!
end=$((SECONDS + 90))
while kill -0 "$demo" 2>/dev/null && [ $SECONDS -lt $end ]; do
  if [ -f "$work/requests/msgbox.request" ]; then
    rm -f "$work/requests/msgbox.request"
    hx_screenshot "$shot" || hx_log "screenshot failed"
    touch "$work/requests/msgbox.done"
  fi
  sleep 0.2
done
if kill -0 "$demo" 2>/dev/null; then
  hx_stop_prefix
  hx_fail "msgbox_demo.exe did not end within 90s"
fi
wait "$demo"
code=$?
tr -d '\r' < "$work/output.txt"
[ "$code" = 0 ] || hx_fail "msgbox_demo.exe exit code $code"
[ -s "$shot" ] || hx_fail "no screenshot at $shot"
geometry="$(identify -format '%wx%h' "$shot" 2>/dev/null)"
[ "$geometry" = "$size" ] || hx_fail "the screenshot is $geometry, not $size"
colours="$(identify -format '%k' "$shot" 2>/dev/null || echo 0)"
[ "${colours:-0}" -ge 8 ] || hx_fail "the screenshot shows no message box ($colours colours)"
hx_stop_prefix
hx_log "message box at $size in the $kind prefix: $shot"
