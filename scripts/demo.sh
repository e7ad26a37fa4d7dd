#!/usr/bin/env bash
# Shows the utility at work: builds the 32-bit programs, makes a 32-bit Windows prefix with a
# Galvano installation in it (registry values, C:\Apps\Galvano, a data directory on
# \\SERVER\share, the example update package examples/GalvanoUpd in C:\Updates\GalvanoUpd, sealed
# with updexar-pack.exe), starts UpdateG.exe from the
# package as a user would, presses Update and answers Yes, and shows the installation before and
# after. Screenshots: build/demo/updexar.png (the main window) and build/demo/updated.png (the
# progress window with the result). The program runs in
# Wine's virtual desktop, so the picture shows the window with its caption and frame; the desktop
# opens on your own screen when there is one (DISPLAY set, not in CI), otherwise on a virtual one.
set -u
cd "$(dirname "$0")/.." || exit 1
root="$(pwd)"
demo="$root/build/demo"
user_display="${DISPLAY:-}"
unset UPDEXAR_TEST_DISPLAY

bash .ci/install-deps || { echo "demo: the tools are missing; run this as root" >&2; exit 1; }
. tests/wine/harness/harness.sh

echo "demo: building the 32-bit programs"
{ cmake --preset win32 >/dev/null && cmake --build --preset win32 -j2 --target UpdateG ui_probe recorder updexar-pack; } \
  || hx_fail "the build failed"
exe="$root/build/win32/src/win32/UpdateG.exe"
probe="$root/build/win32/tests/wine/ui_probe.exe"
pack="$root/build/win32/tools/updexar-pack.exe"
# RegSvr32 is a Windows tool the package carries; a stand-in that only notes its calls plays it.
regsvr32="$root/build/win32/tests/wine/recorder.exe"
[ -f "$exe" ] && [ -f "$probe" ] && [ -f "$pack" ] || hx_fail "no UpdateG.exe, ui_probe.exe or updexar-pack.exe after the build"

mkdir -p "$demo"
rm -f "$demo/updexar.png" "$demo/updated.png"
hx_make_prefix "$demo/prefix" win32
hx_use_prefix "$demo/prefix"

# --- a Galvano installation -------------------------------------------------------------------

echo "demo: seeding a Galvano installation"
share="$demo/share"
rm -rf "$share"
hx_map_share SERVER share "$share"

# The product as its installer leaves it: registry, program folder, data directory on the server.
hx_reg_sz 'HKLM\Software\VEKInfo\Galvano' InstallPath 'C:\Apps\Galvano\'
hx_reg_sz 'HKLM\Software\VEKInfo\Galvano' AppPath '\\SERVER\share\Data\Galvano'
hx_reg_sz 'HKLM\Software\VEKInfo\Galvano' Server 'localhost'
hx_reg_sz 'HKLM\Software\VEKInfo' SvrPort '7070'

app="$(hx_unix_path 'C:\Apps\Galvano')"
mkdir -p "$app/Reports"
# A real program stands in for the product's own, so the folder looks like an installation.
cp "$(hx_unix_path 'C:\windows\system32\notepad.exe')" "$app/Galvano.exe" 2>/dev/null \
  || printf 'MZ' > "$app/Galvano.exe"
printf '[Galvano]\r\nCompany=Demo Trading Co.\r\nYear=2026\r\n' > "$app/Galvano.ini"
printf 'Galvano 4.2.0\r\n' > "$app/Version.txt"
printf 'Monthly sales\r\n' > "$app/Reports/Sales.rpt"

data="$share/Data/Galvano"
mkdir -p "$data/SoftUpdates" "$data/Backup"
printf 'Demo Trading Co.\r\n' > "$data/Company.dat"

# The update package: the example package of the repository, with the utility and, for
# RegSvr32.exe (a Windows tool the package carries), a stand-in that only notes its calls; sealed
# last, as its author would.
pkg="$(hx_unix_path 'C:\Updates\GalvanoUpd')"
rm -rf "$pkg"
mkdir -p "$(dirname "$pkg")"
cp -r examples/GalvanoUpd "$pkg"
cp "$exe" "$pkg/UpdateG.exe"
cp "$regsvr32" "$pkg/MiscFls/RegSvr32.exe"
timeout 120 wine "$pack" check 'C:\Updates\GalvanoUpd' || hx_fail "updexar-pack.exe finds the package wrong"
timeout 120 wine "$pack" seal 'C:\Updates\GalvanoUpd' || hx_fail "updexar-pack.exe could not seal the package"
# Older than the update of 6 December 2026, so the installation needs it.
touch -d 2026-01-15 "$app/Galvano.exe" "$app/Galvano.ini" "$app/Version.txt" "$app/Reports/Sales.rpt" "$app/Reports"

# What the installation holds: every file with its size and first line.
listing() {
  (cd "$app" && find . -type f | sort | while read -r f; do
     printf '  %-22s %7s bytes  %s\n' "${f#./}" "$(stat -c %s "$f")" "$(head -c 40 "$f" | tr -d '\r' | head -1 | tr -cd '[:print:]')"
   done)
}
listing > "$demo/before.txt"

# --- the utility ------------------------------------------------------------------------------

on_desktop=0
if [ -n "$user_display" ] && [ "${CI:-}" != true ] && xdpyinfo -display "$user_display" >/dev/null 2>&1; then
  export UPDEXAR_TEST_DISPLAY="$user_display"
  on_desktop=1
fi
hx_xvfb_start
hx_desktop_start demo 1024x768 "$probe"

# steps: what ui_probe.exe is to do in the program's windows, a step a line (tests/wine/ui_probe.cpp).
steps() { timeout 300 wine "$probe" steps 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }
hx_desktop_start_program 'C:\Updates\GalvanoUpd\UpdateG.exe'
echo 'on =Updexar -> Galvano -> GalvanoUpd' | steps || hx_fail "UpdateG.exe did not open its main window"
hx_desktop_shot "$demo/updexar.png" || hx_fail "could not take the screenshot"
kill -0 "$HX_BG_PID" 2>/dev/null || hx_fail "UpdateG.exe ended on its own"

echo "demo: pressing Update and answering Yes"
steps <<'EOF' || hx_fail "the update did not go as it should"
on =Updexar -> Galvano -> GalvanoUpd
click &Update >>
on =Updexar
see Do you really want to Update software on Local Machine ?
click &Yes
on =Updexar
see Updated Successfully.
EOF
hx_desktop_shot "$demo/updated.png" || hx_fail "could not take the screenshot"
printf 'on =Updexar\nclick OK\n' | steps
listing > "$demo/after.txt"

echo
echo "demo: UpdateG.exe started from the Galvano update package C:\\Updates\\GalvanoUpd in a 32-bit"
echo "demo: Windows prefix ($demo/prefix) and updated the installation C:\\Apps\\Galvano."
echo "demo: before the update:"; cat "$demo/before.txt"
echo "demo: after the update:"; cat "$demo/after.txt"
echo "demo: screenshots: $demo/updexar.png (main window), $demo/updated.png (the result)"
if [ "$on_desktop" = 1 ]; then
  echo "demo: the window is on your desktop; press Exit (or Esc) and answer Yes to end the demo."
  wait "$HX_BG_PID" 2>/dev/null
fi
exit 0
