#!/usr/bin/env bash
# lan_run_wine.sh UpdateG.exe ui_probe.exe recorder.exe psexec.exe updexar-upl.exe SHOTDIR [CASE...]
# The LAN run of the real utility, from its main window, against machines played by Wine prefixes
# of their own that map \\SERVER\share to the same folder, reached through the PsExec stand-in
# (tests/standins/psexec.cpp and psexec_host.sh). The machines, by address:
#   127.0.0.11  Galvano installed: updated by the utility the run starts there
#   127.0.0.12  no Galvano: the utility there logs why it cannot update
#   127.0.0.13  never starts the program
#   127.0.0.14  its utility writes a marker without "Connected"
#   127.0.0.15  connected, and its update never ends
# Cases:
#   close    all five from a saved machine list; Close during the update wait answered No, then
#            Yes while the fifth still works; each row's result in the run's record, the run's
#            folder and program gone, the staged package kept, the run's own PsExec ended and
#            someone else's left running
#   timeout  the fifth machine alone, until the update wait runs out
# Screenshots of the progress window while it waits and of the main window with the results stay
# in SHOTDIR.
set -u
. "$(dirname "$0")/harness/harness.sh"
[ $# -ge 6 ] || hx_fail "usage: lan_run_wine.sh UpdateG.exe ui_probe.exe recorder.exe psexec.exe updexar-upl.exe SHOTDIR [CASE...]"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
exe="$1" probe_exe="$2" recorder="$3" psexec="$4" upl="$5" shots="$6"
shift 6
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(close timeout)

. "$(dirname "$0")/harness/app.sh"
app_begin lan_run
main='Updexar -> Galvano -> GalvanoUpd'
wait_box='= Please Wait ...'
pkg="$(hx_unix_path 'C:\Updates\GalvanoUpd')"
lan="$share/VEK_Updates"
staged="$lan/GalvanoUpd"
machines="$work/machines"
export UPDEXAR_PSEXEC_HOST; UPDEXAR_PSEXEC_HOST="$(readlink -f "$(dirname "$0")/../standins/psexec_host.sh")"
export UPDEXAR_PSEXEC_WORK="$work/psexec-jobs" UPDEXAR_LAN_MACHINES="$machines" UPDEXAR_LAN_SHARE="$share"
# The utility on a machine passes its start countdown in a blink.
export UPDEXAR_LAN_TIME_SCALE=100
mkdir -p "$UPDEXAR_PSEXEC_WORK"

# The machines have a screen of their own: their windows stay out of this run's pictures.
lan_display() {
  local numfile; numfile="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
  lan_xvfb=$!
  for _ in $(seq 1 100); do [ -s "$numfile" ] && break; sleep 0.1; done
  UPDEXAR_LAN_DISPLAY=":$(tr -dc '0-9' <"$numfile")"
  rm -f "$numfile"
  [ "$UPDEXAR_LAN_DISPLAY" != : ] || hx_fail "no screen for the machines"
  export UPDEXAR_LAN_DISPLAY
  # Left behind by a run cut short, the run's clean-up (stop-prefix.sh) ends it.
  [ -n "${UPDEXAR_WINE_STATE:-}" ] && mkdir -p "$UPDEXAR_WINE_STATE" && echo "$lan_xvfb $$" >"$UPDEXAR_WINE_STATE/xvfb.$lan_xvfb"
}

# machine ADDRESS DOES [galvano|bare]: the machine's folder; with a prefix of its own for "run".
machine() {
  local dir="$machines/$1"
  mkdir -p "$dir"
  echo "$2" >"$dir/does"
  [ $# -ge 3 ] || return 0
  hx_make_prefix "$dir/prefix" win32 >/dev/null 2>&1
  (
    export WINEPREFIX="$dir/prefix"
    hx_map_share SERVER share "$share"
    if [ "$3" = galvano ]; then
      hx_reg_sz 'HKLM\Software\VEKInfo\Galvano' InstallPath 'C:\Apps\Galvano\'
      hx_reg_sz 'HKLM\Software\VEKInfo\Galvano' AppPath '\\SERVER\share\Data\Galvano'
      mkdir -p "$(hx_unix_path 'C:\Apps\Galvano')"
    fi
    # Kept up for the whole test: a utility started there comes up as fast as on a running PC.
    wineserver -p >/dev/null 2>&1
  )
}

# The package the user starts the utility from, and the shared folder with the options and the
# machine list a previous run saved there.
seed() {
  rm -rf "$pkg" "$lan" "$share/Data"
  mkdir -p "$pkg/MiscFls" "$pkg/DLLs/NewUpFls" "$lan" "$share/Data/Galvano"
  cp "$exe" "$pkg/UpdateG.exe"
  for tool in RegSvr32 RegIni Msizap; do cp "$recorder" "$pkg/MiscFls/$tool.exe"; done
  cp "$psexec" "$pkg/MiscFls/PsExec.exe"
  printf 'new' >"$pkg/DLLs/NewUpFls/fresh.txt"
  printf 'FILE,fresh.txt,fresh.txt,No\r\n' >"$pkg/DLLs/NewUpFls/INDEX.UPD"
  printf 'GalvanoUpd,06/12/2026,,\r\nfresh.txt,,,2\r\n' >"$pkg/UpdInfoP.txt"
  printf 'cboStartUpd=1\r\ncboCloseApp=1\r\noptCloseApp=Y\r\n' >"$lan/VEKUpdUtil.INI"
  hx_reg_sz 'HKLM\Software\VEKInfo' SoftUpdPath '\\SERVER\share'
  rm -f "$work/recorded.txt" "$machines"/*/codes
  # Someone else's PsExec, running before the run: a run ends only its own.
  [ -n "$foreign" ] && kill -0 "$foreign" 2>/dev/null || { hx_start 'C:\Tools\PsExec.exe' '\\OTHERPC' -accepteula 'C:\Tools\Other.exe'; foreign=$HX_BG_PID; }
  for m in "$machines"/*/prefix; do
    [ -d "$m" ] || continue
    rm -f "$m/drive_c/Apps/Galvano/fresh.txt"
  done
}

# save_list ADDRESS...: the machine list, each known by its address (ticked) with a login.
save_list() {
  local a
  for a in "$@"; do printf '2\t\t1\t%s\tadmin\tsecret\n' "$a"; done >"$work/list.txt"
  timeout 60 wine "$upl" encode <"$work/list.txt" >"$lan/VEKUpdUtil.UPL" 2>"$work/upl-errors.txt" \
    || hx_fail "could not write the machine list: $(cat "$work/upl-errors.txt")"
}

# wait_texts CAPTION PATTERN SECONDS: a control of the window shows text matching PATTERN (grep -E).
wait_texts() {
  local end=$((SECONDS + $3))
  while [ $SECONDS -lt $end ]; do
    probe texts "$1" 2>/dev/null | grep -qE -- "$2" && return 0
    sleep 0.2
  done
  return 1
}

# start_run: the main window, the LAN choice with its saved machines, Update and Yes; the run's
# folder in report once it is made.
start_run() {
  start_app 'C:\Updates\GalvanoUpd\UpdateG.exe'
  probe wait-window "=$main" 60 >/dev/null || { fail "no main window"; return 1; }
  probe click "=$main" "Update on LAN Machines" || { fail "no LAN choice"; return 1; }
  probe wait-text "=$main" "&Search" 30 || { fail "the LAN frame did not open"; return 1; }
  # The list is in once the choice to save it again shows: its names are looked up meanwhile.
  wait_texts "=$main" '^ComboBox	Yes$' 60 || { fail "the saved machine list was not loaded"; return 1; }
  probe click "=$main" "Update on Local Machine" || { fail "no local choice"; return 1; }
  probe click "=$main" "&Update >>" || { fail "no Update button"; return 1; }
  probe wait-text "=Updexar" "Do you really want to Update software on selected LAN Machines ?" 30 \
    || { fail "no question: $(probe windows | tr '\n' '|')"; return 1; }
  probe click "=Updexar" "&Yes" || { fail "no Yes"; return 1; }
  probe wait-window "$wait_box" 30 >/dev/null || { fail "no progress window"; return 1; }
  local end=$((SECONDS + 60))
  report=""
  while [ -z "$report" ] && [ $SECONDS -lt $end ]; do
    report="$(find "$staged" -maxdepth 1 -type d -name 'Log[0-9]*' 2>/dev/null | head -1)"
    sleep 0.1
  done
  [ -n "$report" ] || { fail "no run folder in $staged"; return 1; }
  run_number="${report##*/Log}"
}

# run_psexec: the Linux pids of the run's own PsExec processes still running.
run_psexec() {
  local pid
  for pid in $(pgrep -f 'GalvanoUpd\\MiscFls\\PsExec\.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
}

# record_has ROW ADDRESS: the run started PsExec for that row as a LAN run does.
record_has() {
  local shared='\\SERVER\share\VEK_Updates\GalvanoUpd'
  grep -qxF -- "\"C:\\Updates\\GalvanoUpd\\MiscFls\\PsExec.exe\" \"\\\\$2\" -u \"admin\" -p \"secret\" -accepteula -c -f -i 0 \"$shared\\Up$run_number.exe\" AUTOUPD-Galvano:$shared:$1:Log$run_number:1:1:Y" \
    <(tr -d '\r' <"$work/recorded.txt") || fail "no PsExec for row $1 ($2): $(tr -d '\r' <"$work/recorded.txt" | grep -F "\\\\$2")"
}

# record_is LINE...: the run's CSV record holds these rows after its header (the time left out).
record_is() {
  local csv
  csv="$(ls "$lan"/LanRun-*.csv 2>/dev/null | head -1)"
  [ -n "$csv" ] || { fail "no record of the run in $lan: $(ls "$lan")"; return; }
  [ "$(head -1 "$csv")" = $'Machine,Address,Result,Time\r' ] || fail "record header: $(head -1 "$csv")"
  diff <(printf '%s\n' "$@") <(tail -n +2 "$csv" | tr -d '\r' | sed 's/,"[^"]*"$//') >"$work/record-diff.txt" \
    || fail "record of the run differs: $(cat "$work/record-diff.txt")"
  rm -f "$csv"
}

# ended_clean: the run's end steps.
ended_clean() {
  [ -e "$report" ] && fail "the run folder $report is still there: $(ls "$report")"
  [ -e "$staged/Up$run_number.exe" ] && fail "Up$run_number.exe is still there"
  [ -f "$staged/MiscFls/PsExec.exe" ] && [ -f "$staged/MiscFls/RegSvr32.exe" ] || fail "MiscFls was not kept: $(ls "$staged")"
  [ -f "$staged/DLLs/NewUpFls/INDEX.UPD" ] || fail "DLLs was not kept"
  [ -z "$(run_psexec)" ] || fail "the run's PsExec still runs: $(run_psexec)"
  kill -0 "$foreign" 2>/dev/null || fail "someone else's PsExec was ended"
}

foreign=""
ok='"","127.0.0.11","Updated successfully to: / C:\Apps\Galvano"'

# --- cases ------------------------------------------------------------------------------------

case_close() {
  seed
  save_list 127.0.0.11 127.0.0.12 127.0.0.13 127.0.0.14 127.0.0.15
  # The fifteen seconds for the machines to answer take five.
  UPDEXAR_TIME_SCALE=3 start_run || return
  probe texts "$wait_box" | grep -qx $'Button\t&Close' && fail "Close is there before the update wait"
  wait_texts "$wait_box" '^Static	Waiting for Update Response \[Time Out in 1[45] Minute\(s\)' 60 \
    || { fail "no update wait: $(probe texts "$wait_box" | tr '\n' '|')"; return; }
  # The two machines that ran the utility have answered once their logs are read (and deleted).
  local end=$((SECONDS + 120))
  while [ $SECONDS -lt $end ]; do
    [ -s "$machines/127.0.0.11/codes" ] && [ -s "$machines/127.0.0.12/codes" ] \
      && [ ! -e "$report/1.log" ] && [ ! -e "$report/2.log" ] && break
    sleep 0.2
  done
  [ "$(cat "$machines/127.0.0.11/codes" 2>/dev/null)" = 0 ] || fail "the utility on 127.0.0.11 ended with '$(cat "$machines/127.0.0.11/codes" 2>/dev/null)'"
  [ "$(cat "$machines/127.0.0.12/codes" 2>/dev/null)" = 7 ] || fail "the utility on 127.0.0.12 ended with '$(cat "$machines/127.0.0.12/codes" 2>/dev/null)'"
  [ "$(cat "$machines/127.0.0.11/prefix/drive_c/Apps/Galvano/fresh.txt" 2>/dev/null)" = new ] \
    || fail "127.0.0.11 was not updated"
  [ -n "$(run_psexec)" ] || fail "no PsExec of the run runs while a machine works"
  hx_desktop_shot "$shots/lan-waiting-$kind.png" || fail "no screenshot of the wait"

  probe click "$wait_box" "&Close" || { fail "no Close during the update wait"; return; }
  wait_texts "=Updexar" 'will not stop update already running on LAN Machines.*Do you really want to close waiting \?' 30 \
    || { fail "no question on Close: $(probe windows | tr '\n' '|')"; return; }
  probe click "=Updexar" "&No" || fail "no No"
  probe gone "=Updexar" 20 || fail "the question stayed"
  wait_texts "$wait_box" '^Static	Waiting for Update Response' 5 || fail "No did not go on waiting"
  probe click "$wait_box" "&Close" || { fail "no Close after No"; return; }
  probe wait-window "=Updexar" 30 >/dev/null || { fail "no question on the second Close"; return; }
  probe click "=Updexar" "&Yes" || fail "no Yes"
  probe gone "$wait_box" 30 || { fail "Yes did not end the wait"; return; }
  local shot="$shots/lan-results-$kind.png" green
  hx_desktop_shot "$shot" || fail "no screenshot of the results"
  # The updated machine's Status cell is the only pure green on the screen.
  green="$(convert "$shot" -fill black +opaque '#00FF00' -fill white -opaque '#00FF00' -format '%[fx:round(mean*w*h)]' info:)"
  [ "${green:-0}" -gt 2000 ] || fail "no green cell for the updated machine ($green green pixels)"

  local row=1 a
  for a in 127.0.0.11 127.0.0.12 127.0.0.13 127.0.0.14 127.0.0.15; do record_has $row $a; row=$((row + 1)); done
  # The grid itself, as the user reads it: each Status cell's back colour and text (column 6, after
  # the hidden column of plain passwords).
  local got="" r
  for r in 1 2 3 4 5; do got+="$(probe cell "=$main" $r 6 | cut -f2,6-)"$'\n'; done
  diff <(printf '%s\t%s\n' '#00FF00' 'Updated successfully to:\r\nC:\Apps\Galvano' \
    '#FFFFFF' 'Erros:\r\nUpdate:Installation Path [] is not Correct' '#FFFFFF' 'Not Connected (Time Out)' \
    '#FFFFFF' 'Not Connected (Unknown reason)' '#FFFFFF' 'Connected') <(printf '%s' "$got") >"$work/grid-diff.txt" \
    || fail "the grid's Status column differs: $(cat "$work/grid-diff.txt")"
  record_is "$ok" \
    '"","127.0.0.12","Erros: / Update:Installation Path [] is not Correct"' \
    '"","127.0.0.13","Not Connected (Time Out)"' \
    '"","127.0.0.14","Not Connected (Unknown reason)"' \
    '"","127.0.0.15","Connected"'
  ended_clean
  probe key "=$main" ESC; probe click "=Updexar" "&Yes" >/dev/null
  app_ends 30 || fail "the program did not end after Exit"
}

case_timeout() {
  seed
  save_list 127.0.0.15
  # Fast enough that the fifteen minutes pass in one, and still ample for the stand-in to bring
  # the machine's marker within the fifteen seconds.
  UPDEXAR_TIME_SCALE=15 start_run || return
  probe gone "$wait_box" 120 || { fail "the update wait did not run out"; return; }
  record_is '"","127.0.0.15","Connected (Time Out)"'
  ended_clean
  probe key "=$main" ESC; probe click "=Updexar" "&Yes" >/dev/null
  app_ends 30 || fail "the program did not end after Exit"
}

# --- run --------------------------------------------------------------------------------------

lan_display
HX_PREFIXES+=("$machines/127.0.0.11/prefix" "$machines/127.0.0.12/prefix")
machine 127.0.0.11 run galvano & first=$!
machine 127.0.0.12 run bare & second=$!
wait "$first" "$second"
for m in 127.0.0.11 127.0.0.12; do
  [ -d "$machines/$m/prefix/drive_c" ] || hx_fail "no prefix for $m"
done
machine 127.0.0.13 refuse
machine 127.0.0.14 unknown
machine 127.0.0.15 hang
machine OTHERPC silent
mkdir -p "$(hx_unix_path 'C:\Tools')"
cp "$psexec" "$(hx_unix_path 'C:\Tools')/PsExec.exe"

case_cleanup() {
  kill "$lan_xvfb" 2>/dev/null && rm -f "${UPDEXAR_WINE_STATE:-/nonexistent}/xvfb.$lan_xvfb"
  hx_reg_delete 'HKLM\Software\VEKInfo' SoftUpdPath
}
run_cases "${cases[@]}" cleanup
hx_log "screenshots in $shots"
