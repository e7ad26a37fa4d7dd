#!/usr/bin/env bash
# Shows the utility running: builds the 32-bit programs, makes a 32-bit Windows prefix, starts
# UpdateG.exe in it and takes a screenshot to build/demo/updexar.png. The window opens on your
# own desktop when there is one (DISPLAY set, not in CI); otherwise on a virtual screen.
set -u
cd "$(dirname "$0")/.." || exit 1
root="$(pwd)"
demo="$root/build/demo"
user_display="${DISPLAY:-}"
unset UPDEXAR_TEST_DISPLAY

bash .ci/install-deps || { echo "demo: the tools are missing; run this as root" >&2; exit 1; }
. tests/wine/harness/harness.sh

echo "demo: building the 32-bit programs"
{ cmake --preset win32 >/dev/null && cmake --build --preset win32 -j2 --target UpdateG; } \
  || hx_fail "the build failed"
exe="$root/build/win32/src/win32/UpdateG.exe"
[ -f "$exe" ] || hx_fail "no UpdateG.exe after the build"

mkdir -p "$demo"
hx_make_prefix "$demo/prefix" win32
hx_use_prefix "$demo/prefix"
hx_copy_in "$exe" 'C:\Updexar'

on_desktop=0
if [ -n "$user_display" ] && [ "${CI:-}" != true ] && xdpyinfo -display "$user_display" >/dev/null 2>&1; then
  export UPDEXAR_TEST_DISPLAY="$user_display"
  on_desktop=1
fi
hx_xvfb_start

hx_start 'C:\Updexar\UpdateG.exe'
hx_wait_window Updexar 60 || hx_fail "UpdateG.exe showed no window"
sleep 2
hx_screenshot "$demo/updexar.png" || hx_fail "could not take the screenshot"
echo
echo "demo: UpdateG.exe started in a 32-bit Windows prefix ($demo/prefix) and showed its window."
echo "demo: screenshot: $demo/updexar.png"
if [ "$on_desktop" = 1 ]; then
  echo "demo: the window is on your desktop; close it to end the demo."
  wait "$HX_BG_PID" 2>/dev/null
fi
exit 0
