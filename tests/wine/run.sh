#!/usr/bin/env bash
# run.sh SCENARIO [CASE...]: one scenario file of tests/wine/scenarios, in the prefix of its ctest
# entry (UPDEXAR_WINE_PREFIX): its case_<name> functions in the order the file defines them (or
# the ones named), written in the words below. Its first line `# wine: KINDS... [screen]
# [timeout=S]` tells ctest where it runs and this script whether it needs Wine's virtual desktop
# (of the size `desktop` the file sets, 1024x768 when it sets none). The programs come from the
# environment ctest sets (UPDATEG, UI_PROBE, RECORDER, ...). Failed checks are counted and the
# script fails at the end, so one run shows every broken check.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/harness/harness.sh"
[ $# -ge 1 ] || hx_fail "usage: run.sh SCENARIO [CASE...]"
scenario="$(readlink -f "$1")"; shift
name="$(basename "$scenario" .sh)"
: "${UPDEXAR_WINE_PREFIX:?which prefix}" "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
hx_use_prefix "$UPDEXAR_WINE_PREFIX"
kind="$(hx_prefix_kind)"
work="$UPDEXAR_WINE_ROOT/runs/$name-$kind"
shots="${UPDEXAR_SHOTS:-$UPDEXAR_WINE_ROOT/screenshots}"
rm -rf "$work"; mkdir -p "$work" "$shots"
share="$work/share"
hx_map_share SERVER share "$share"
sysdir="$(hx_unix_path 'C:\windows\system32')"
[ "$kind" = wow64 ] && sysdir="$(hx_unix_path 'C:\windows\syswow64')"
app="$(hx_unix_path 'C:\Apps\Galvano')"
# The outside tools' stand-ins write what they were asked here; Wine's own programs of the same
# names in the system folder would win over the stand-ins.
export UPDEXAR_RECORD; UPDEXAR_RECORD="$(hx_win_path "$work/recorded.txt")"
export WINEDLLOVERRIDES="regasm.exe=n;regini.exe=n;regsvr32.exe=n"
# The long dates in messages are the user's format; the tests know the one of Wine's C locale.
export LC_ALL=C.UTF-8

# --- checks ------------------------------------------------------------------------------------

current="" failures=0
fail() { hx_log "FAIL [$kind/$current]: $*"; failures=$((failures + 1)); return 1; }
# is FILE TEXT: the file holds exactly TEXT (printf's escapes, so \r\n ends a line).
is() { [ -f "$1" ] && cmp -s "$1" <(printf "$2") || fail "$1 holds '$(od -An -c "$1" 2>/dev/null | tr -s ' \n' ' ' | cut -c1-200)', not '$2'"; }
lacks() { local p; for p in "$@"; do [ ! -e "$p" ] || fail "$p is there"; done; }
same() { diff -r "$1" "$2" >"$work/diff.txt" 2>&1 || fail "$1 and $2 differ: $(head -c 400 "$work/diff.txt")"; }
# reg_is KEY NAME DATA: what `reg query` shows as the value's data (0x1 for a number 1).
reg_is() { [ "$(hx_reg_query "$1" "$2")" = "$3" ] || fail "$1\\$2 is '$(hx_reg_query "$1" "$2")', not '$3'"; }
# recorded LINE...: the stand-ins of the outside tools were asked exactly that, among others.
recorded() {
  local l
  for l in "$@"; do grep -qxF -- "$l" <(tr -d '\r' <"$work/recorded.txt" 2>/dev/null) || fail "not started: $l"; done
}
code_is() { [ "$APP_CODE" = "$1" ] || fail "exit code $APP_CODE, not $1"; }
# log_is FILE LINE...: the update log holds exactly these lines; "-" for no log at all.
log_is() {
  local f="$1"; shift
  if [ "$*" = - ]; then lacks "$f"; return; fi
  cmp -s "$f" <(printf '%s\r\n' "$@") && return 0
  fail "$f differs:"; diff <(printf '%s\n' "$@") <(tr -d '\r' <"$f" 2>/dev/null) >&2
}
# waits SECONDS 'CONDITION': true once the shell text CONDITION is, false when the time is out.
waits() {
  local end=$((SECONDS + $1))
  until eval "$2"; do [ $SECONDS -lt $end ] || return 1; sleep 0.2; done
}

# --- programs ----------------------------------------------------------------------------------

APP="" APP_CODE=""
# start PROGRAM [ARGS...]: in the desktop, in the background. ends SECONDS: it ended in time
# (its exit code in APP_CODE); a program that did not is stopped with the prefix.
start() { HX_OUTPUT="$work/program-output.txt" hx_desktop_start_program "$@"; APP=$HX_BG_PID; }
ends() {
  if ! waits "${1:-120}" '! kill -0 "$APP" 2>/dev/null'; then
    fail "the program did not end within ${1:-120}s"; hx_stop_prefix; return 1
  fi
  wait "$APP"; APP_CODE=$?
}
# running PATTERN: the Linux pids of this prefix's Windows processes whose command line matches
# (grep -E, any case); Windows processes show their Windows path as their command line.
running() {
  local p; for p in $(pgrep -fi "$1"); do tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$p"; done
}
# desk PACKAGE [NAME]: \\SERVER\share\PACKAGE copied to C:\Updates\NAME and its program started
# there by hand. leave [NAME]: Esc on its main window, Yes, and the program's end.
desk() {
  local d; d="$(hx_unix_path "C:\\Updates\\${2:-$1}")"
  rm -rf "$d"; mkdir -p "${d%/*}"; cp -a "$share/$1" "$d"; start "C:\\Updates\\${2:-$1}\\UpdateG.exe"
}
leave() { printf '%s\n' "on =Updexar -> Galvano -> ${1:-GalvanoUpd}" 'key ESC' 'on =Updexar' 'click &Yes' | ui; ends 30; }
# search OPTION TEXT...: on the main window ($main), the search window with that option and its
# boxes filled (the range's five from the second box on), Ok, and the window gone once it is done.
main='on =Updexar -> Galvano -> GalvanoUpd'
search() {
  local option="$1" i=0 t; shift
  [ "$option" = "IP Range" ] && i=1
  { echo "$main"; echo 'click &Search'; echo 'on =Search Computer over Network'; echo "click $option"
    for t in "$@"; do echo "set $((i++)) $t"; done; echo 'click &Ok'; echo 'gone'; } | ui
}
# ui: steps for ui_probe.exe on standard input (see ui_probe.cpp); a failed step fails the case.
ui() { timeout 300 wine "$UI_PROBE" steps 2>&1 | tr -d '\r' >"$work/steps.txt"; local rc=${PIPESTATUS[0]}
       [ "$rc" = 0 ] || fail "$(tail -3 "$work/steps.txt" | tr '\n' ' ')"; }
shot() { hx_desktop_shot "$shots/$1-$kind.png" || fail "no screenshot $1"; }

# --- a Galvano installation and its packages ---------------------------------------------------

# galvano [DATA]: Galvano installed in C:\Apps\Galvano of the current prefix, its data directory
# DATA (a Windows path, \\SERVER\share\Data\Galvano when not given) made.
galvano() {
  hx_reg_sz 'HKLM\Software\VEKInfo\Galvano' InstallPath 'C:\Apps\Galvano\'
  hx_reg_sz 'HKLM\Software\VEKInfo\Galvano' AppPath "${1:-\\\\SERVER\\share\\Data\\Galvano}"
  mkdir -p "$(hx_unix_path 'C:\Apps\Galvano')" "$(hx_unix_path "${1:-\\\\SERVER\\share\\Data\\Galvano}")"
}
# package DIR [NAME]: a package in the folder DIR (Unix path) whose update information names
# NAME (the folder's own name when not given): the program, the tools' stand-ins and one new file.
package() {
  local p="$1" n="${2:-$(basename "$1")}"
  rm -rf "$p"; mkdir -p "$p/MiscFls" "$p/DLLs/NewUpFls" "$p/Log1"
  cp "$UPDATEG" "$p/UpdateG.exe"
  for tool in RegSvr32 RegIni Msizap; do cp "$RECORDER" "$p/MiscFls/$tool.exe"; done
  printf 'new' >"$p/DLLs/NewUpFls/fresh.txt"
  printf 'FILE,fresh.txt,fresh.txt,No\r\n' >"$p/DLLs/NewUpFls/INDEX.UPD"
  printf '%s,06/12/2026,,\r\nfresh.txt,,,2\r\n' "$n" >"$p/UpdInfoP.txt"
}
# auto FIELDS [PACKAGE]: the program unattended as a LAN run starts it from \\SERVER\share\PACKAGE
# (Upd1), row 3, report folder Log1, then the option fields (start wait, close wait, close);
# waits for its end.
auto() {
  local p="${2:-Upd1}"
  rm -f "$share/$p/Log1/3.log" "$share/$p/Log1/3.txt"
  start "\\\\SERVER\\share\\$p\\UpdateG.exe" "AUTOUPD-Galvano:\\\\SERVER\\share\\$p:3:Log1:$1"
  ends 120
}
# unattended CODE SETUP LINE...: a row. From a fresh `seed` (the scenario's own), SETUP (shell),
# an unattended run from Upd1 with a start wait of 15 s and nothing to close, then the exit code
# and the update log: LINE... are its lines between "Process:Update:To->C:\Apps\Galvano" and
# "[END]" ("-" for no log at all, "=" and lines for the whole log, "*" for any log).
unattended() {
  local code="$1" setup="$2"; shift 2
  seed; eval "$setup"
  auto "${FIELDS:-1:0:N}" || return
  code_is "$code"
  case "${1:-}" in
    -) log_is "$share/Upd1/Log1/3.log" - ;;
    \*) ;;
    =) shift; log_is "$share/Upd1/Log1/3.log" "$@" ;;
    *) log_is "$share/Upd1/Log1/3.log" '[START]' 'Process:Update:To->C:\Apps\Galvano' "$@" '[END]' ;;
  esac
}
# ask NAME PORT CODE TOKEN [ARGS...] LINE...: vek_check.py's check against the VEK service on
# 127.0.0.1:PORT; each LINE (any argument with ": " in it) is in its answer, kept in $work/NAME.txt.
ask() {
  local out="$work/$1.txt" args=() l; shift
  while [ $# -gt 0 ] && [[ "$1" != *": "* ]]; do args+=("$1"); shift; done
  timeout 120 python3 "$here/vek_check.py" "${args[@]}" >"$out" 2>"$work/$(basename "$out" .txt)-errors.txt"
  for l in "$@"; do grep -qxF -- "$l" "$out" || fail "no '$l' in the answer: $(tr '\n' ' ' <"$out")"; done
}

# --- the run -----------------------------------------------------------------------------------

desktop=1024x768
. "$scenario"
if [[ "$(head -1 "$scenario") " == *" screen "* ]]; then
  hx_xvfb_start
  hx_desktop_start "$name" "$desktop" "$UI_PROBE"
fi
cases=("$@")
[ ${#cases[@]} -gt 0 ] || mapfile -t cases < <(sed -n 's/^case_\([a-z0-9_]*\)().*/\1/p' "$scenario")
passed=()
for current in "${cases[@]}"; do
  declare -F "case_$current" >/dev/null || hx_fail "no case '$current' in $scenario"
  before=$failures
  hx_log "case $current ($kind)"
  "case_$current"
  # A program the case left running goes with the prefix's other processes.
  [ -z "$APP" ] || ! kill -0 "$APP" 2>/dev/null || hx_stop_prefix
  APP=""
  [ "$failures" = "$before" ] && passed+=("$current")
done
current=cleanup
declare -F cleanup >/dev/null && cleanup
hx_stop_prefix
hx_log "passed in the $kind prefix: ${passed[*]:-none}"
[ "$failures" = 0 ] || hx_fail "$failures check(s) failed in the $kind prefix"
