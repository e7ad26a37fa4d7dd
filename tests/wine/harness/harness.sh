# shellcheck shell=bash
# Wine test harness: sourced by the scripts that run our Windows programs under Wine.
#
#   . tests/wine/harness/harness.sh
#   hx_use_prefix /path/to/prefix        # made earlier with hx_make_prefix
#   hx_xvfb_start
#   hx_map_share SERVER share "$dir"
#   hx_run 60 out.txt 'C:\app\Prog.exe' arg
#   hx_desktop_start shot 1024x768 ui_probe.exe   # windows drawn as a user sees them
#   hx_desktop_start_program 'C:\app\Prog.exe' arg; hx_desktop_shot shot.png
#
# Everything a script starts (wineserver of every prefix it used, its own Xvfb) is stopped when
# the script exits, however it exits.

if [ -n "${HX_LOADED:-}" ]; then return 0; fi
HX_LOADED=1

export WINEDEBUG="${WINEDEBUG:--all}"
# Wine wants a home; CI shells may not have one set.
export HOME="${HOME:-/root}"
HX_PREFIXES=()
HX_XVFB_PID=""
HX_XVFB_OWN=0
HX_DESKTOP_PID=""
HX_EXIT=0

hx_log() { printf '[harness] %s\n' "$*" >&2; }
hx_fail() { hx_log "FAIL: $*"; exit 1; }

# --- clean-up -----------------------------------------------------------------------------------

hx_cleanup() {
  local p
  for p in "${HX_PREFIXES[@]}"; do
    WINEPREFIX="$p" timeout 30 wineserver -k >/dev/null 2>&1 || true
  done
  hx_xvfb_stop
}
trap hx_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- prefixes -----------------------------------------------------------------------------------

# hx_make_prefix DIR KIND [SECONDS]: a fresh prefix in DIR. KIND is win32 (32-bit Windows) or
# wow64 (64-bit Windows running our 32-bit programs under WOW64). Replaces whatever DIR held.
hx_make_prefix() {
  local dir="$1" kind="$2" limit="${3:-240}" arch
  case "$kind" in
    win32) arch=win32 ;;
    wow64) arch=win64 ;;
    *) hx_fail "unknown prefix kind '$kind' (win32 or wow64)" ;;
  esac
  [ -n "$dir" ] && [ "$dir" != / ] || hx_fail "refusing to make a prefix at '$dir'"
  if [ -d "$dir" ]; then
    WINEPREFIX="$dir" timeout 30 wineserver -k >/dev/null 2>&1 || true
    rm -rf "$dir"
  fi
  mkdir -p "$(dirname "$dir")"
  hx_log "making $kind prefix in $dir"
  local start=$SECONDS
  # No Mono/Gecko download prompts and no desktop menu entries in the user's home.
  if ! WINEARCH=$arch WINEPREFIX="$dir" WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
       timeout "$limit" wineboot -i >/dev/null 2>&1; then
    WINEPREFIX="$dir" timeout 30 wineserver -k >/dev/null 2>&1 || true
    hx_fail "wineboot did not finish within ${limit}s for $dir"
  fi
  # For good: later runs start explorer, which would otherwise write menus into our home.
  WINEPREFIX="$dir" timeout 60 wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe \
    /t REG_SZ /d '' /f >/dev/null 2>&1 || hx_log "could not turn off winemenubuilder in $dir"
  WINEPREFIX="$dir" timeout "$limit" wineserver -w >/dev/null 2>&1 || true
  [ -d "$dir/drive_c/windows/system32" ] || hx_fail "prefix $dir has no system32"
  if [ "$kind" = wow64 ] && [ ! -d "$dir/drive_c/windows/syswow64" ]; then
    hx_fail "prefix $dir is not a 64-bit prefix"
  fi
  echo "$kind" > "$dir/.updexar-kind"
  hx_log "prefix ready in $((SECONDS - start))s"
}

# hx_use_prefix DIR: makes DIR the prefix of the commands that follow and stops it at exit.
hx_use_prefix() {
  local dir="$1"
  [ -d "$dir/drive_c" ] || hx_fail "no prefix at $dir (is the prefix set-up test part of this run?)"
  export WINEPREFIX="$dir"
  local p
  for p in "${HX_PREFIXES[@]}"; do [ "$p" = "$dir" ] && return 0; done
  HX_PREFIXES+=("$dir")
}

# hx_stop_prefix [DIR]: ends every process of the prefix.
hx_stop_prefix() {
  WINEPREFIX="${1:-$WINEPREFIX}" timeout 30 wineserver -k >/dev/null 2>&1 || true
}

# hx_prefix_kind [DIR]: win32 or wow64.
hx_prefix_kind() {
  local dir="${1:-$WINEPREFIX}"
  if [ -f "$dir/.updexar-kind" ]; then cat "$dir/.updexar-kind"
  elif [ -d "$dir/drive_c/windows/syswow64" ]; then echo wow64
  else echo win32; fi
}

# --- paths --------------------------------------------------------------------------------------

# hx_unix_path 'C:\x\y' or '\\SERVER\share\x': where that is on this machine, in the current prefix.
hx_unix_path() {
  local win="$1" rest server share
  win="${win//\\//}"
  case "$win" in
    //*)
      rest="${win#//}"
      server="${rest%%/*}"; rest="${rest#"$server"}"; rest="${rest#/}"
      share="${rest%%/*}"; rest="${rest#"$share"}"
      server="$(printf '%s' "$server" | tr '[:upper:]' '[:lower:]')"
      share="$(printf '%s' "$share" | tr '[:upper:]' '[:lower:]')"
      printf '%s/dosdevices/unc/%s/%s%s\n' "$WINEPREFIX" "$server" "$share" "$rest"
      ;;
    [A-Za-z]:*)
      local drive
      drive="$(printf '%s' "${win:0:1}" | tr '[:upper:]' '[:lower:]')"
      rest="${win:2}"
      if [ "$drive" = z ]; then printf '%s\n' "${rest:-/}"
      else printf '%s/dosdevices/%s:%s\n' "$WINEPREFIX" "$drive" "$rest"; fi
      ;;
    *) hx_fail "not a Windows path: $1" ;;
  esac
}

# hx_win_path /unix/path: the same file seen from Windows through drive Z:.
hx_win_path() {
  local p
  p="$(readlink -m "$1")"
  printf 'Z:%s\n' "${p//\//\\}"
}

# hx_map_share SERVER SHARE HOSTDIR: \\SERVER\SHARE in the current prefix is HOSTDIR. Prefixes
# that map the same HOSTDIR see one folder, as machines on a LAN see one share.
hx_map_share() {
  local server share dir="$3"
  server="$(printf '%s' "$1" | tr '[:upper:]' '[:lower:]')"
  share="$(printf '%s' "$2" | tr '[:upper:]' '[:lower:]')"
  mkdir -p "$dir" "$WINEPREFIX/dosdevices/unc/$server"
  rm -rf "$WINEPREFIX/dosdevices/unc/$server/$share"
  ln -s "$(readlink -f "$dir")" "$WINEPREFIX/dosdevices/unc/$server/$share"
}

# hx_copy_in HOSTPATH WINDIR: copies a file or folder into a Windows folder (made when missing).
hx_copy_in() {
  local src="$1" dst
  dst="$(hx_unix_path "$2")" && [ -n "$dst" ] || hx_fail "bad Windows folder '$2'"
  mkdir -p "$dst"
  cp -a "$src" "$dst/" || hx_fail "could not copy $src into $2"
}

# --- registry -----------------------------------------------------------------------------------

# Our programs are 32-bit: in a 64-bit prefix they see the 32-bit view, so the seeding does too.
hx_reg_view() { [ "$(hx_prefix_kind)" = wow64 ] && echo /reg:32; }
# hx_reg_sz 'HKLM\Software\X' NAME TEXT / hx_reg_dword 'HKLM\Software\X' NAME NUMBER
hx_reg_sz() {
  timeout 60 wine reg add "$1" /v "$2" /t REG_SZ /d "$3" /f $(hx_reg_view) >/dev/null 2>&1 \
    || hx_fail "could not set $1\\$2"
}
hx_reg_dword() {
  timeout 60 wine reg add "$1" /v "$2" /t REG_DWORD /d "$3" /f $(hx_reg_view) >/dev/null 2>&1 \
    || hx_fail "could not set $1\\$2"
}
hx_reg_delete() { timeout 60 wine reg delete "$1" /v "$2" /f $(hx_reg_view) >/dev/null 2>&1 || true; }
# hx_reg_query 'HKLM\Software\X' NAME: prints the data of one value.
hx_reg_query() {
  timeout 60 wine reg query "$1" /v "$2" $(hx_reg_view) 2>/dev/null | tr -d '\r' \
    | awk -v n="$2" 'tolower($1) == tolower(n) { $1 = ""; $2 = ""; sub(/^  */, ""); print }'
}

# --- display ------------------------------------------------------------------------------------

# hx_xvfb_start: a display for the windows of this script. A display already opened for the
# whole run (UPDEXAR_TEST_DISPLAY, see with-xvfb.sh) is used as it is; else an Xvfb of our own
# on a free display number. Never the user's own desktop.
hx_xvfb_start() {
  if [ -n "${UPDEXAR_TEST_DISPLAY:-}" ]; then
    export DISPLAY="$UPDEXAR_TEST_DISPLAY"
    return 0
  fi
  [ -n "$HX_XVFB_PID" ] && return 0
  command -v Xvfb >/dev/null || hx_fail "Xvfb is not installed (run .ci/install-deps)"
  local numfile
  numfile="$(mktemp)"
  # -displayfd lets the server pick a free number itself, so parallel runs cannot collide.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
  HX_XVFB_PID=$!
  HX_XVFB_OWN=1

  for _ in $(seq 1 100); do
    [ -s "$numfile" ] && break
    kill -0 "$HX_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  local num
  num="$(tr -dc '0-9' < "$numfile")"
  rm -f "$numfile"
  [ -n "$num" ] || { HX_XVFB_PID=""; hx_fail "Xvfb did not start"; }
  export DISPLAY=":$num"
  if [ -n "${UPDEXAR_WINE_STATE:-}" ]; then
    # With the pid of the script that owns it: only an Xvfb whose owner is gone is left over.
    mkdir -p "$UPDEXAR_WINE_STATE" && echo "$HX_XVFB_PID $$" > "$UPDEXAR_WINE_STATE/xvfb.$HX_XVFB_PID"
  fi
  hx_log "Xvfb on $DISPLAY"
}

hx_xvfb_stop() {
  if [ "$HX_XVFB_OWN" = 1 ] && [ -n "$HX_XVFB_PID" ]; then
    kill "$HX_XVFB_PID" 2>/dev/null || true
    wait "$HX_XVFB_PID" 2>/dev/null || true
    [ -n "${UPDEXAR_WINE_STATE:-}" ] && rm -f "$UPDEXAR_WINE_STATE/xvfb.$HX_XVFB_PID"
  fi
  HX_XVFB_PID=""
  HX_XVFB_OWN=0
}

# hx_wait_window TITLE SECONDS: waits until a window with exactly that title is on the display.
hx_wait_window() {
  local title="$1" limit="${2:-30}" end=$((SECONDS + ${2:-30}))
  while [ $SECONDS -lt $end ]; do
    if xwininfo -display "$DISPLAY" -root -tree 2>/dev/null | grep -qF "\"$title\""; then return 0; fi
    sleep 0.5
  done
  hx_log "no window titled \"$title\" within ${limit}s"
  return 1
}

# --- network ------------------------------------------------------------------------------------

# hx_free_port: a TCP port that nothing listens on now, as the kernel hands one out for port 0.
# Picked at run time like the display numbers, so tests and runs side by side never meet on a
# fixed number. Wine's sockets are the host's, so the port is free for Windows programs too.
hx_free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("", 0)); print(s.getsockname()[1]); s.close()' \
    || hx_fail "no free TCP port"
}

# --- Wine's virtual desktop ----------------------------------------------------------------------
# With no window manager Wine draws no captions, frames or system menus. In a virtual desktop of
# its own it draws them as Windows does, so pictures taken there show windows as a user sees them.
# The desktop is also the screen our programs measure: its size is the screen size they see.

# hx_desktop_start NAME WIDTHxHEIGHT UI_PROBE.exe: opens the desktop on the display (after
# hx_xvfb_start). ui_probe.exe starts programs in it (hx_desktop_run, hx_desktop_start_program)
# and, with UPDEXAR_DESKTOP set, finds their windows there.
hx_desktop_start() {
  HX_PROBE="$3"
  [ -f "$HX_PROBE" ] || hx_fail "no ui_probe.exe at $HX_PROBE"
  HX_DESKTOP="$1 - Wine desktop"
  HX_DESKTOP_SIZE="$2"
  export UPDEXAR_DESKTOP="$1"
  # The probe holds the desktop open: Wine would close it between two programs of a test. Now
  # and then, with the other prefix busy on the same display, the desktop does not come up the
  # first time; a second start brings it.
  local try
  for try in 1 2 3; do
    wine explorer "/desktop=$1,$2" "$HX_PROBE" hold >>"${UPDEXAR_WINE_ROOT:-/tmp}/desktop-$1.log" 2>&1 &
    hx_wait_window "$HX_DESKTOP" 20 && return 0
    kill $! 2>/dev/null
  done
  hx_fail "Wine's desktop $1 did not open"
}

# hx_desktop_ensure: the desktop again when Wine closed it (it goes once its last program has
# ended, or with the prefix).
hx_desktop_ensure() {
  xwininfo -display "$DISPLAY" -root -tree 2>/dev/null | grep -qF "\"$HX_DESKTOP\"" && return 0
  hx_desktop_start "$UPDEXAR_DESKTOP" "$HX_DESKTOP_SIZE" "$HX_PROBE"
}

# hx_desktop_run SECONDS OUTFILE PROGRAM [ARGS...]: hx_run, in the desktop.
hx_desktop_run() {
  local limit="$1" out="$2"; shift 2
  hx_desktop_ensure
  hx_run "$limit" "$out" "$HX_PROBE" run "$@"
}

# hx_desktop_start_program PROGRAM [ARGS...]: starts it in the desktop in the background, its
# output appended to HX_OUTPUT (when set); pid in HX_BG_PID, `wait` gives its exit code.
hx_desktop_start_program() {
  hx_desktop_ensure
  wine "$HX_PROBE" run "$@" >>"${HX_OUTPUT:-/dev/null}" 2>&1 &
  HX_BG_PID=$!
}

# hx_desktop_shot FILE.png: the desktop as a picture, taken once two takes in a row agree (the
# windows have done painting), or after 10 s.
hx_desktop_shot() {
  local id sum previous="" end=$((SECONDS + 10))
  id="$(xwininfo -display "$DISPLAY" -root -tree 2>/dev/null | grep -F "\"$HX_DESKTOP\"" | awk '{ print $1; exit }')"
  [ -n "$id" ] || { hx_log "no window \"$HX_DESKTOP\" to take"; return 1; }
  mkdir -p "$(dirname "$1")"
  while :; do
    timeout 30 import -display "$DISPLAY" -window "$id" "$1" 2>/dev/null || { hx_log "screenshot failed"; return 1; }
    sum="$(identify -format '%#' "$1" 2>/dev/null)"
    if [ "$sum" = "$previous" ] || [ $SECONDS -ge $end ]; then break; fi
    previous="$sum"
    sleep 0.3
  done
  hx_log "screenshot: $1"
}

# --- programs -----------------------------------------------------------------------------------

# hx_run SECONDS OUTFILE PROGRAM [ARGS...]: runs a Windows program (a Windows path or a Unix
# path) in the current prefix, waits at most SECONDS, leaves its standard output in OUTFILE (and
# on our own output), and sets HX_EXIT to its exit code (124 when the time ran out).
hx_run() {
  local limit="$1" out="$2"; shift 2
  mkdir -p "$(dirname "$out")"
  local errexit=0
  case $- in *e*) errexit=1 ;; esac
  set +e
  timeout --kill-after=10 "$limit" wine "$@" 2>&1 | tr -d '\r' | tee "$out"
  HX_EXIT=${PIPESTATUS[0]}
  [ "$errexit" = 1 ] && set -e
  if [ "$HX_EXIT" = 124 ] || [ "$HX_EXIT" = 137 ]; then
    hx_log "$1 did not end within ${limit}s"
    hx_stop_prefix
  fi
  return 0
}

# hx_start PROGRAM [ARGS...]: starts a Windows program in the background; its pid is HX_BG_PID.
# It ends with the prefix (hx_stop_prefix, or at exit).
hx_start() {
  wine "$@" >/dev/null 2>&1 &
  HX_BG_PID=$!
}
