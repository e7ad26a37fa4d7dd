# shellcheck shell=bash
# What every script that runs our Windows programs under Wine shares: prefixes, Windows paths,
# shares, the registry, a display with Wine's virtual desktop, screenshots and programs. Whatever a
# script starts (the wineserver of every prefix it used, its own Xvfb) is stopped when it exits.
if [ -n "${HX_LOADED:-}" ]; then return 0; fi
HX_LOADED=1
export WINEDEBUG="${WINEDEBUG:--all}" HOME="${HOME:-/root}"   # Wine wants a home; CI may set none
HX_PREFIXES=() HX_XVFBS=() HX_OWN_DISPLAY="" HX_EXIT=0 HX_KEPT="" HX_EXITING="" HX_SILENT_PID="" HX_SILENT_PORT=""

hx_log() { printf '[harness] %s\n' "$*" >&2; }
hx_fail() { hx_log "FAIL: $*"; exit 1; }
hx_cleanup() {
  HX_EXITING=1
  local p; for p in "${HX_PREFIXES[@]}"; do hx_stop_prefix "$p"; done
  [ -z "$HX_SILENT_PID" ] || kill "$HX_SILENT_PID" 2>/dev/null
  for p in "${HX_XVFBS[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; rm -f "${UPDEXAR_WINE_STATE:-/nonexistent}/xvfb.$p"; done
}
trap hx_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- prefixes ------------------------------------------------------------------------------------

# hx_make_prefix DIR KIND: a fresh prefix in DIR, KIND win32 (32-bit Windows) or wow64 (64-bit
# Windows running our 32-bit programs under WOW64).
hx_make_prefix() {
  local dir="$1" arch
  case "$2" in win32) arch=win32 ;; wow64) arch=win64 ;; *) hx_fail "prefix kind '$2' (win32 or wow64)" ;; esac
  [ -n "$dir" ] && [ "$dir" != / ] || hx_fail "refusing a prefix at '$dir'"
  [ -d "$dir" ] && { hx_stop_prefix "$dir"; rm -rf "$dir"; }
  mkdir -p "$(dirname "$dir")"
  hx_log "making $2 prefix in $dir"
  # No Mono or Gecko prompts, and no menu entries in our home (for good: explorer runs later).
  WINEARCH=$arch WINEPREFIX="$dir" WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" timeout 240 wineboot -i \
    >/dev/null 2>&1 || { hx_stop_prefix "$dir"; hx_fail "wineboot did not finish for $dir"; }
  WINEPREFIX="$dir" timeout 60 wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /t REG_SZ /d '' /f \
    >/dev/null 2>&1
  WINEPREFIX="$dir" timeout 240 wineserver -w >/dev/null 2>&1
  [ "$2" = win32 ] || [ -d "$dir/drive_c/windows/syswow64" ] || hx_fail "$dir is not a 64-bit prefix"
  echo "$2" >"$dir/.updexar-kind"
}
# hx_use_prefix DIR: the prefix of the commands that follow, stopped at exit. Its wineserver is
# kept up meanwhile: one left alone goes a few seconds after its last client, and a client that
# connects just then is reset ("wine client error:0: recvmsg: Connection reset by peer").
hx_use_prefix() {
  [ -d "$1/drive_c" ] || hx_fail "no prefix at $1 (is the prefix set-up test part of this run?)"
  export WINEPREFIX="$1"
  HX_PREFIXES+=("$1") HX_KEPT="$1"
  hx_stop_prefix
}
# hx_stop_prefix [DIR]: ends every process of the prefix; the kept prefix gets a server again
# (`wineserver -p` only starts one where none runs), until the script exits.
hx_stop_prefix() {
  local dir="${1:-$WINEPREFIX}"
  WINEPREFIX="$dir" timeout 30 wineserver -k >/dev/null 2>&1
  [ "$dir" = "$HX_KEPT" ] && [ -z "$HX_EXITING" ] || return 0
  WINEPREFIX="$dir" wineserver -p >/dev/null 2>&1
  # Wine's own services start with the first program and keep its standard error for as long as
  # the server runs: a first program without one, so a pipe from a later one ends with it.
  WINEPREFIX="$dir" timeout 60 wine cmd /c exit </dev/null >/dev/null 2>&1
  return 0
}
hx_prefix_kind() { cat "${1:-$WINEPREFIX}/.updexar-kind" 2>/dev/null || echo win32; }

# --- paths and shares ----------------------------------------------------------------------------

# hx_unix_path 'C:\x' or '\\SERVER\share\x': where that is on this machine, in the current prefix.
hx_unix_path() {
  local p="${1//\\//}" drive
  case "$p" in
    //*) p="${p#//}"; printf '%s/dosdevices/unc/%s%s\n' "$WINEPREFIX" "$(cut -d/ -f1,2 <<<"$p" | tr '[:upper:]' '[:lower:]')" \
           "$(cut -s -d/ -f3- <<<"$p" | sed 's|^.|/&|')" ;;
    [A-Za-z]:*) drive="$(tr '[:upper:]' '[:lower:]' <<<"${p:0:1}")"
           if [ "$drive" = z ]; then printf '%s\n' "${p:2}"; else printf '%s/dosdevices/%s:%s\n' "$WINEPREFIX" "$drive" "${p:2}"; fi ;;
    *) hx_fail "not a Windows path: $1" ;;
  esac
}
# hx_win_path /unix/path: the same file seen from Windows through drive Z:.
hx_win_path() { local p; p="$(readlink -m "$1")"; printf 'Z:%s\n' "${p//\//\\}"; }
# hx_map_share SERVER SHARE HOSTDIR: \\SERVER\SHARE in the current prefix is HOSTDIR. Prefixes that
# map one HOSTDIR see one folder, as the machines of a LAN see one share.
hx_map_share() {
  local unc; unc="$WINEPREFIX/dosdevices/unc/$(tr '[:upper:]' '[:lower:]' <<<"$1")"
  mkdir -p "$3" "$unc"; rm -rf "$unc/${2,,}"
  ln -s "$(readlink -f "$3")" "$unc/${2,,}"
}
# hx_copy_in HOSTPATH WINDIR: a file or folder copied into a Windows folder (made when missing).
hx_copy_in() { local d; d="$(hx_unix_path "$2")"; mkdir -p "$d" && cp -a "$1" "$d/" || hx_fail "could not copy $1 into $2"; }

# --- registry: our programs are 32-bit, so a 64-bit prefix is seeded in their view ------------------

hx_reg_view() { [ "$(hx_prefix_kind)" = wow64 ] && echo /reg:32; }
hx_reg_sz() { timeout 60 wine reg add "$1" /v "$2" /t REG_SZ /d "$3" /f $(hx_reg_view) >/dev/null 2>&1 || hx_fail "could not set $1\\$2"; }
hx_reg_dword() { timeout 60 wine reg add "$1" /v "$2" /t REG_DWORD /d "$3" /f $(hx_reg_view) >/dev/null 2>&1 || hx_fail "could not set $1\\$2"; }
hx_reg_delete() { timeout 60 wine reg delete "$1" /v "$2" /f $(hx_reg_view) >/dev/null 2>&1; return 0; }
# hx_reg_query KEY NAME: the data of one value as `reg query` shows it ("    NAME    REG_SZ    DATA").
hx_reg_query() {
  timeout 60 wine reg query "$1" /v "$2" $(hx_reg_view) 2>/dev/null | tr -d '\r' \
    | awk -v n="    $2    REG_" 'index(toupper($0), toupper(n)) == 1 { sub(/^    .*    REG_[A-Z_]+( +|$)/, ""); print }'
}

# --- display -------------------------------------------------------------------------------------

# hx_xvfb_new: an Xvfb of this script's own on a number it picks itself (so runs side by side never
# collide), stopped at exit; its display in HX_NEW_DISPLAY.
hx_xvfb_new() {
  local numfile pid; numfile="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
  pid=$!; HX_XVFBS+=("$pid")
  for _ in $(seq 1 100); do [ -s "$numfile" ] || ! kill -0 "$pid" 2>/dev/null && break; sleep 0.1; done
  HX_NEW_DISPLAY=":$(tr -dc '0-9' <"$numfile")"; rm -f "$numfile"
  [ "$HX_NEW_DISPLAY" != : ] || hx_fail "Xvfb did not start"
  # With the pid of its owner: stop-prefix.sh ends an Xvfb whose owner is gone.
  [ -n "${UPDEXAR_WINE_STATE:-}" ] && mkdir -p "$UPDEXAR_WINE_STATE" && echo "$pid $$" >"$UPDEXAR_WINE_STATE/xvfb.$pid"
  hx_log "Xvfb on $HX_NEW_DISPLAY"
}
# hx_xvfb_start: a display for this script's windows: the one opened for the whole run
# (UPDEXAR_TEST_DISPLAY, with-xvfb.sh), else one of its own; never the user's own desktop.
hx_xvfb_start() {
  [ -n "${UPDEXAR_TEST_DISPLAY:-}" ] && { export DISPLAY="$UPDEXAR_TEST_DISPLAY"; return 0; }
  [ -n "$HX_OWN_DISPLAY" ] || { hx_xvfb_new; HX_OWN_DISPLAY="$HX_NEW_DISPLAY"; }
  export DISPLAY="$HX_OWN_DISPLAY"
}
hx_wait_window() {  # TITLE SECONDS
  local end=$((SECONDS + $2))
  until xwininfo -display "$DISPLAY" -root -tree 2>/dev/null | grep -qF "\"$1\""; do [ $SECONDS -lt $end ] || return 1; sleep 0.5; done
}
hx_free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("", 0)); print(s.getsockname()[1])' || hx_fail "no free port"; }
# hx_silent_start FILE: a server on 127.0.0.1 that takes connections and never answers (a VEK
# service or a database server gone quiet), stopped at exit; its port, which the kernel picked,
# in HX_SILENT_PORT (and FILE).
hx_silent_start() {
  python3 - "$1" >/dev/null 2>&1 <<'PY' &
import os, socket, sys, threading
def hold(conn):
    while conn.recv(4096):  # held until the client lets go: closing first would be an answer
        pass
listener = socket.create_server(("127.0.0.1", 0))
with open(sys.argv[1] + ".part", "w") as f:
    f.write(f"{listener.getsockname()[1]}\n")
os.replace(sys.argv[1] + ".part", sys.argv[1])
while True:
    threading.Thread(target=hold, args=(listener.accept()[0],), daemon=True).start()
PY
  HX_SILENT_PID=$!
  for _ in $(seq 1 300); do [ -s "$1" ] && break; sleep 0.1; done
  HX_SILENT_PORT="$(cat "$1" 2>/dev/null)"; [ -n "$HX_SILENT_PORT" ] || hx_fail "the silent server did not start"
}

# --- Wine's virtual desktop: captions, frames and system menus drawn as Windows draws them, on a
# screen of its own size, which is the screen size our programs measure ---------------------------

# hx_desktop_start NAME WxH UI_PROBE.exe: the desktop on the display; ui_probe.exe holds it open (Wine
# closes it between two programs) and starts programs in it. Now and then, with the other prefix
# busy on the same display, it does not come up the first time; a second start brings it.
hx_desktop_start() {
  HX_PROBE="$3" HX_DESKTOP="$1 - Wine desktop" HX_DESKTOP_SIZE="$2"
  export UPDEXAR_DESKTOP="$1"
  for _ in 1 2 3; do
    wine explorer "/desktop=$1,$2" "$HX_PROBE" hold >>"${UPDEXAR_WINE_ROOT:-/tmp}/desktop-$1.log" 2>&1 &
    hx_wait_window "$HX_DESKTOP" 20 && return 0
    kill $! 2>/dev/null
  done
  hx_fail "Wine's desktop $1 did not open"
}
# The desktop again when Wine closed it (with the prefix, or after its last program).
hx_desktop_ensure() { hx_wait_window "$HX_DESKTOP" 0 || hx_desktop_start "$UPDEXAR_DESKTOP" "$HX_DESKTOP_SIZE" "$HX_PROBE"; }
# hx_desktop_run SECONDS OUTFILE PROGRAM [ARGS...]: hx_run in the desktop.
hx_desktop_run() { local s="$1" o="$2"; shift 2; hx_desktop_ensure; hx_run "$s" "$o" "$HX_PROBE" run "$@"; }
# hx_desktop_start_program PROGRAM [ARGS...]: started in the desktop in the background, its output
# appended to HX_OUTPUT; pid in HX_BG_PID, and `wait` gives its exit code.
hx_desktop_start_program() { hx_desktop_ensure; wine "$HX_PROBE" run "$@" >>"${HX_OUTPUT:-/dev/null}" 2>&1 & HX_BG_PID=$!; }
# hx_desktop_shot FILE.png: the desktop once two takes in a row agree (the windows have done
# painting), or after 10 s.
hx_desktop_shot() {
  local id sum previous="" end=$((SECONDS + 10))
  id="$(xwininfo -display "$DISPLAY" -root -tree 2>/dev/null | grep -F "\"$HX_DESKTOP\"" | awk '{ print $1; exit }')"
  [ -n "$id" ] || { hx_log "no desktop to take"; return 1; }
  mkdir -p "$(dirname "$1")"
  while timeout 30 import -display "$DISPLAY" -window "$id" "$1" 2>/dev/null; do
    sum="$(identify -format '%#' "$1")"
    [ "$sum" = "$previous" ] || [ $SECONDS -ge $end ] && { hx_log "screenshot: $1"; return 0; }
    previous="$sum"; sleep 0.3
  done
  return 1
}

# --- programs ------------------------------------------------------------------------------------

# hx_run SECONDS OUTFILE PROGRAM [ARGS...]: runs a Windows program in the current prefix for at most
# SECONDS, its output in OUTFILE and on ours; its exit code in HX_EXIT (124 when the time ran out).
hx_run() {
  local limit="$1" out="$2"; shift 2
  mkdir -p "$(dirname "$out")"
  timeout --kill-after=10 "$limit" wine "$@" 2>&1 | tr -d '\r' | tee "$out"
  HX_EXIT=${PIPESTATUS[0]}
  [ "$HX_EXIT" != 124 ] && [ "$HX_EXIT" != 137 ] || { hx_log "$1 did not end within ${limit}s"; hx_stop_prefix; }
}
# hx_start PROGRAM [ARGS...]: in the background, pid in HX_BG_PID; it ends with the prefix.
hx_start() { wine "$@" >/dev/null 2>&1 & HX_BG_PID=$!; }
