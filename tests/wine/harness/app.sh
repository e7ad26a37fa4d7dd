# shellcheck shell=bash
# What the scripts that drive the real utility share: the UI probe, the program started in Wine's
# virtual desktop with its exit code, failures counted per case, and the loop over the cases.
# Source after harness.sh; app_begin sets up the run (probe_exe and shots set before).

# app_begin NAME: the run's prefix, its own folder ($work, from scratch), the display with Wine's
# virtual desktop named NAME, and \\SERVER\share mapped to $share. Sets kind, work, share and
# sysdir (the system folder our 32-bit programs see). The outside tools' stand-ins write what they
# were asked to $work/recorded.txt.
app_begin() {
  hx_use_prefix "$UPDEXAR_WINE_PREFIX"
  kind="$(hx_prefix_kind)"
  work="$UPDEXAR_WINE_ROOT/runs/$1-$kind"
  rm -rf "$work"
  mkdir -p "$work" "$shots"
  hx_xvfb_start
  hx_desktop_start "$1" 1024x768 "$probe_exe"
  share="$work/share"
  hx_map_share SERVER share "$share"
  sysdir="$(hx_unix_path 'C:\windows\system32')"
  [ "$kind" = wow64 ] && sysdir="$(hx_unix_path 'C:\windows\syswow64')"
  export UPDEXAR_RECORD; UPDEXAR_RECORD="$(hx_win_path "$work/recorded.txt")"
  # Wine has programs of its own named like the outside tools; in the system folder they would
  # win over the stand-ins.
  export WINEDLLOVERRIDES="regasm.exe=n;regini.exe=n;regsvr32.exe=n"
}

probe() {
  timeout 90 wine "$probe_exe" "$@" 2>>"$work/probe-errors.txt" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

APP="" APP_CODE=""
# start_app PROGRAM [ARGS...]: the program in the desktop, in the background.
start_app() {
  HX_OUTPUT="$work/program-output.txt" hx_desktop_start_program "$@"
  APP=$HX_BG_PID
}
# app_ends SECONDS: true when the program has ended within the time; its exit code in APP_CODE.
app_ends() {
  local end=$((SECONDS + $1))
  while kill -0 "$APP" 2>/dev/null; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
  wait "$APP"
  APP_CODE=$?
  return 0
}

current="" failures=0 passed=()
fail() {
  hx_log "FAIL [$kind/$current]: $*"
  failures=$((failures + 1))
  return 1
}

# has_line FILE LINE
has_line() { grep -qxF -- "$2" "$1"; }
# file_is FILE printf-FORMAT: the file holds exactly those bytes.
file_is() {
  [ -f "$1" ] || return 1
  cmp -s "$1" <(printf "$2")
}

# run_cases CASE...: each case_<name> in turn; whatever a failed case left open goes, so the next
# one starts from a quiet prefix. Fails the script when any check failed.
run_cases() {
  local before
  for current in "$@"; do
    declare -F "case_$current" >/dev/null || hx_fail "no case '$current'"
    before=$failures
    hx_log "case $current ($kind)"
    "case_$current"
    if [ -n "$APP" ] && kill -0 "$APP" 2>/dev/null; then
      probe windows >"$work/$current-windows-left.txt" 2>/dev/null || true
      hx_stop_prefix
    fi
    APP=""
    [ "$failures" = "$before" ] && passed+=("$current")
  done
  hx_stop_prefix
  hx_log "passed in the $kind prefix: ${passed[*]:-none}"
  [ "$failures" = 0 ] || hx_fail "$failures check(s) failed in the $kind prefix"
}
