#!/usr/bin/env bash
# shots.sh DEMO.exe WIDTHxHEIGHT SHOTDIR UI_PROBE.exe: runs a demo of our windows (msgbox_demo) in
# Wine's virtual desktop of that size, so its windows carry their captions and frames. The demo
# plays the user and asks for screenshots on the way (NAME.request files in UPDEXAR_SHOT_DIR);
# they land in SHOTDIR as NAME-WIDTHxHEIGHT[-wow64].png. Passes when the demo ends with exit code
# 0 and took at least one picture of the screen's size.
set -u
. "$(dirname "$0")/harness/harness.sh"
[ $# -eq 4 ] || hx_fail "usage: shots.sh DEMO.exe WIDTHxHEIGHT SHOTDIR UI_PROBE.exe"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
exe="$1" size="$2" shots="$3"
[ -f "$exe" ] || hx_fail "no program at $exe"
case "$size" in [0-9]*x[0-9]*) ;; *) hx_fail "bad screen size '$size'" ;; esac

hx_use_prefix "$UPDEXAR_WINE_PREFIX"
kind="$(hx_prefix_kind)"
demo="$(basename "$exe" .exe)"
suffix="$size"
[ "$kind" = win32 ] || suffix="$size-$kind"
work="$UPDEXAR_WINE_ROOT/runs/$demo-$suffix"
rm -rf "$work"
mkdir -p "$work/requests" "$shots"

hx_xvfb_start
hx_desktop_start "$demo" "$size" "$4"
export UPDEXAR_SHOT_DIR="$(hx_win_path "$work/requests")"
HX_OUTPUT="$work/output.txt" hx_desktop_start_program "$exe"
taken=()
end=$((SECONDS + 150))
while kill -0 "$HX_BG_PID" 2>/dev/null && [ $SECONDS -lt $end ]; do
  for request in "$work"/requests/*.request; do
    [ -e "$request" ] || continue
    name="$(basename "$request" .request)"
    rm -f "$request"
    hx_desktop_shot "$shots/$name-$suffix.png" && taken+=("$shots/$name-$suffix.png")
    touch "$work/requests/$name.done"
  done
  sleep 0.2
done
tr -d '\r' < "$work/output.txt"
kill -0 "$HX_BG_PID" 2>/dev/null && hx_fail "$demo.exe did not end within 150s"
wait "$HX_BG_PID"
code=$?
[ "$code" = 0 ] || hx_fail "$demo.exe exit code $code"
[ ${#taken[@]} -ge 1 ] || hx_fail "no screenshot taken"
for shot in "${taken[@]}"; do
  geometry="$(identify -format '%wx%h' "$shot" 2>/dev/null)"
  [ "$geometry" = "$size" ] || hx_fail "$shot is $geometry, not $size"
done
hx_stop_prefix
hx_log "$demo at $size in the $kind prefix: ${taken[*]}"
