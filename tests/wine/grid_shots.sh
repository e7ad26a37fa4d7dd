#!/usr/bin/env bash
# grid_shots.sh grid_demo.exe WIDTHxHEIGHT SHOTDIR: runs the grid demo on a screen of that size;
# the demo plays the user, checks the grid after each step and asks for screenshots on the way,
# which land in SHOTDIR as <name>-WIDTHxHEIGHT[-wow64].png.
set -u
. "$(dirname "$0")/harness/harness.sh"
[ $# -eq 3 ] || hx_fail "usage: grid_shots.sh grid_demo.exe WIDTHxHEIGHT SHOTDIR"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
exe="$1" size="$2" shots="$3"
[ -f "$exe" ] || hx_fail "no program at $exe"
case "$size" in [0-9]*x[0-9]*) ;; *) hx_fail "bad screen size '$size'" ;; esac

hx_use_prefix "$UPDEXAR_WINE_PREFIX"
kind="$(hx_prefix_kind)"
suffix="$size"
[ "$kind" = win32 ] || suffix="$size-$kind"
work="$UPDEXAR_WINE_ROOT/runs/grid-$suffix"
rm -rf "$work"
mkdir -p "$work/requests" "$shots"

# A screen of the size asked for, which the harness then uses as the run's display.
hx_xvfb_start_sized "$size"

export UPDEXAR_SHOT_DIR="$(hx_win_path "$work/requests")"
export UPDEXAR_SCREEN_SIZE="$size"
rm -f "$shots"/grid*-"$suffix".png
wine "$exe" > "$work/output.txt" 2>&1 &
demo=$!
taken=0
end=$((SECONDS + 150))
while kill -0 "$demo" 2>/dev/null && [ $SECONDS -lt $end ]; do
  for request in "$work"/requests/*.request; do
    [ -e "$request" ] || continue
    name="$(basename "$request" .request)"
    rm -f "$request"
    hx_screenshot "$shots/$name-$suffix.png" && taken=$((taken + 1))
    touch "$work/requests/$name.done"
  done
  sleep 0.2
done
if kill -0 "$demo" 2>/dev/null; then
  hx_stop_prefix
  tr -d '\r' < "$work/output.txt"
  hx_fail "grid_demo.exe did not end within 150s"
fi
wait "$demo"
code=$?
tr -d '\r' < "$work/output.txt"
[ "$code" = 0 ] || hx_fail "grid_demo.exe exit code $code"
[ "$taken" -ge 2 ] || hx_fail "only $taken screenshot(s) taken"
for shot in "$shots"/grid*-"$suffix".png; do
  geometry="$(identify -format '%wx%h' "$shot" 2>/dev/null)"
  [ "$geometry" = "$size" ] || hx_fail "$shot is $geometry, not $size"
done
hx_stop_prefix
hx_log "grid at $size in the $kind prefix: $shots/grid-$suffix.png"
