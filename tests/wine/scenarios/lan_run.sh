# wine: win32 screen
# The LAN run from the main window, against machines played by Wine prefixes of their own that map
# \\SERVER\share to the same folder, reached through the PsExec stand-in (tests/standins). The
# machines, by address: .11 Galvano installed, updated by the utility the run starts there; .12 no
# Galvano, its utility logs why it cannot update; .13 never starts the program; .15 connected,
# its update never ends (the other results and their texts are the unit tier's). Screenshots of
# the progress window while it waits and of the main window with the results.
pkg="$(hx_unix_path 'C:\Updates\GalvanoUpd')" lan="$share/VEK_Updates" staged="$share/VEK_Updates/GalvanoUpd"
export UPDEXAR_PSEXEC_HOST="$here/../standins/psexec_host.sh" UPDEXAR_PSEXEC_WORK="$work/jobs"
export UPDEXAR_LAN_MACHINES="$work/machines" UPDEXAR_LAN_SHARE="$share" UPDEXAR_LAN_TIME_SCALE=100
mkdir -p "$work/jobs"
# The machines have a screen of their own: their windows stay out of the pictures.
hx_xvfb_new; export UPDEXAR_LAN_DISPLAY="$HX_NEW_DISPLAY"
cleanup() { hx_reg_delete 'HKLM\Software\VEKInfo' SoftUpdPath; }
# machine ADDRESS DOES [galvano|bare]: the machine's folder; with a prefix of its own for "run".
machine() {
  local dir="$UPDEXAR_LAN_MACHINES/$1"
  mkdir -p "$dir"; echo "$2" >"$dir/does"
  [ $# -ge 3 ] || return 0
  hx_make_prefix "$dir/prefix" win32 >/dev/null 2>&1
  ( export WINEPREFIX="$dir/prefix"; hx_map_share SERVER share "$share"
    [ "$3" = galvano ] && galvano
    wineserver -p >/dev/null 2>&1 )   # kept up: a utility started there comes up as on a running PC
}
HX_PREFIXES+=("$UPDEXAR_LAN_MACHINES/127.0.0.11/prefix" "$UPDEXAR_LAN_MACHINES/127.0.0.12/prefix")
machine 127.0.0.11 run galvano & first=$!
machine 127.0.0.12 run bare
wait "$first"
machine 127.0.0.13 refuse; machine 127.0.0.15 hang; machine OTHERPC silent
mkdir -p "$(hx_unix_path 'C:\Tools')"; cp "$PSEXEC" "$(hx_unix_path 'C:\Tools')/PsExec.exe"
foreign=""

# The package the user starts the utility from, the options and the machine list (each machine by
# its address, with a login) a previous run saved, and someone else's PsExec already running.
seed() {
  package "$pkg"; rm -rf "$lan"; mkdir -p "$lan"
  cp "$PSEXEC" "$pkg/MiscFls/PsExec.exe"
  printf 'cboStartUpd=1\r\ncboCloseApp=1\r\noptCloseApp=Y\r\n' >"$lan/VEKUpdUtil.INI"
  hx_reg_sz 'HKLM\Software\VEKInfo' SoftUpdPath '\\SERVER\share'
  local a; for a in "$@"; do printf '2\t\t1\t%s\tadmin\tsecret\n' "$a"; done >"$work/list.txt"
  timeout 60 wine "$UPL" encode -o "$(hx_win_path "$lan/VEKUpdUtil.UPL")" <"$work/list.txt" || fail "could not write the machine list"
  rm -f "$work/recorded.txt" "$UPDEXAR_LAN_MACHINES"/*/codes "$UPDEXAR_LAN_MACHINES"/*/prefix/drive_c/Apps/Galvano/fresh.txt
  kill -0 "$foreign" 2>/dev/null || { hx_start 'C:\Tools\PsExec.exe' '\\OTHERPC' -accepteula 'C:\Tools\Other.exe'; foreign=$HX_BG_PID; }
}
# The main window, the LAN choice with its saved machines (in once the choice to save them again
# shows), Update and Yes; the run's folder in report once it is made.
run() {
  start 'C:\Updates\GalvanoUpd\UpdateG.exe'
  ui <<EOF
$main
click Update on LAN Machines
after Save User Login Details in Shared Directory
combo 0 Yes
click Update on Local Machine
click &Update >>
on =Updexar
see Do you really want to Update software on selected LAN Machines ?
click &Yes
on = Please Wait ...
EOF
  waits 60 'report="$(find "$staged" -maxdepth 1 -type d -name "Log[0-9]*" 2>/dev/null)"; [ -n "$report" ]' \
    || fail "no run folder in $staged"
}
own_psexec() { running 'GalvanoUpd\\MiscFls\\PsExec\.exe'; }
# record_is LINE...: the run's record holds these rows after its header (times left out).
record_is() {
  local csv; csv="$(ls "$lan"/LanRun-*.csv 2>/dev/null | head -1)"
  diff <(printf '%s\n' 'Machine,Address,Result,Time' "$@") <(tr -d '\r' <"$csv" | sed '2,$ s/,"[^"]*"$//') >&2 || fail "the run's record differs"
  rm -f "$csv"
}
# The run's end: its folder and program gone, the staged package kept, only its own PsExec ended.
ended() {
  local n="${report##*/Log}"
  lacks "$report" "$staged/Up$n.exe"
  [ -f "$staged/MiscFls/PsExec.exe" ] && [ -f "$staged/DLLs/NewUpFls/INDEX.UPD" ] || fail "the staged package was not kept"
  [ -z "$(own_psexec)" ] || fail "the run's PsExec still runs"
  kill -0 "$foreign" 2>/dev/null || fail "someone else's PsExec was ended"
  leave
}

# All four; Close during the update wait, while the last still works.
case_close() {
  seed 127.0.0.11 127.0.0.12 127.0.0.13 127.0.0.15
  UPDEXAR_TIME_SCALE=3 run   # the 15 s for the machines to answer take five
  printf '%s\n' 'on = Please Wait ...' 'unseen &Close' 'see Waiting for Update Response [Time Out in 1* Minute(s)*' | ui
  # The two machines that ran the utility have answered once their logs are read (and deleted).
  for _ in $(seq 1 600); do [ -s "$UPDEXAR_LAN_MACHINES/127.0.0.12/codes" ] && [ -s "$UPDEXAR_LAN_MACHINES/127.0.0.11/codes" ] \
    && [ ! -e "$report/1.log" ] && [ ! -e "$report/2.log" ] && break; sleep 0.2; done
  is "$UPDEXAR_LAN_MACHINES/127.0.0.11/codes" '0\n'; is "$UPDEXAR_LAN_MACHINES/127.0.0.12/codes" '7\n'
  is "$UPDEXAR_LAN_MACHINES/127.0.0.11/prefix/drive_c/Apps/Galvano/fresh.txt" new
  [ -n "$(own_psexec)" ] || fail "no PsExec of the run runs while a machine works"
  shot lan-waiting
  ui <<'EOF'
on = Please Wait ...
click &Close
on =Updexar
see *will not stop update already running on LAN Machines*Do you really want to close waiting ?
click &Yes
gone = Please Wait ...
EOF
  shot lan-results
  # The updated machine's Status cell is the only pure green on the screen.
  [ "$(convert "$shots/lan-results-$kind.png" -fill black +opaque '#00FF00' -fill white -opaque '#00FF00' \
       -format '%[fx:round(mean*w*h)]' info:)" -gt 2000 ] || fail "no green cell for the updated machine"
  # How PsExec is asked is the unit tier's; here the first machine's, as the stand-in got it.
  local shared='\\SERVER\share\VEK_Updates\GalvanoUpd' n="${report##*/Log}"
  recorded "\"C:\\Updates\\GalvanoUpd\\MiscFls\\PsExec.exe\" \"\\\\127.0.0.11\" -u \"admin\" -p \"secret\" -accepteula -c -f -i 0 \"$shared\\Up$n.exe\" AUTOUPD-Galvano:$shared:1:Log$n:1:1:Y"
  record_is '"","127.0.0.11","Updated successfully to: / C:\Apps\Galvano"' \
    '"","127.0.0.12","Erros: / Update:Installation Path [] is not Correct"' '"","127.0.0.13","Not Connected (Time Out)"' \
    '"","127.0.0.15","Connected"'
  ended
}

# The last alone, until the update wait runs out: fifteen minutes in one.
case_timeout() {
  seed 127.0.0.15
  UPDEXAR_TIME_SCALE=15 run
  echo 'gone = Please Wait ...' | ui
  for _ in $(seq 1 600); do [ -n "$(find "$staged" -maxdepth 1 -name 'Log[0-9]*')" ] || break; sleep 0.2; done
  record_is '"","127.0.0.15","Connected (Time Out)"'
  ended
}
