#!/usr/bin/env bash
# update_wine.sh UpdateG.exe ui_probe.exe recorder.exe com_test.dll VEKSvrReg.exe dummy_program.exe SHOTDIR [CASE...]
# The real utility updates a Galvano installation from a package in \\SERVER\share:
#   unattended   every index rule and prefix, skipped sources, COM through the entry point and
#                RegSvr32, RegAsm, Msizap and RegIni (with the rights script), a font, an old
#                start-up entry, the VEK service created and running; the log line by line
#   service      an existing service that does not run is started as the service
#   stops        the run's stops before anything is installed, each with its line and exit code
#   running      a running product program: refused without a wait or when the countdown runs
#                out on "don't close"; closed when it runs out on "close" or its button is pressed
#   interactive  Update -> Yes -> the progress window -> "Updated Successfully."
# Screenshots of the progress and the wait window stay in SHOTDIR.
set -u
. "$(dirname "$0")/harness/harness.sh"
[ $# -ge 7 ] || hx_fail "usage: update_wine.sh UpdateG.exe ui_probe.exe recorder.exe com_test.dll VEKSvrReg.exe dummy_program.exe SHOTDIR [CASE...]"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
exe="$1" probe_exe="$2" recorder="$3" com_dll="$4" service_exe="$5" dummy="$6" shots="$7"
shift 7
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(unattended service stops running interactive)

. "$(dirname "$0")/harness/app.sh"
app_begin update
pkg="$share/Upd1"
app="$(hx_unix_path 'C:\Apps\Galvano')"
fonts="$(hx_unix_path 'C:\windows\Fonts')"
# The start wait of an unattended run (15 s) passes in a blink; a countdown to look at runs at 1.
export UPDEXAR_TIME_SCALE=100

# expect_log LINE...: the update log holds exactly these lines.
expect_log() {
  cmp -s "$pkg/Log1/3.log" <(printf '%s\r\n' "$@") && return 0
  fail "update log differs:"
  diff <(printf '%s\n' "$@") <(tr -d '\r' <"$pkg/Log1/3.log" 2>/dev/null) >&2
}
# The service goes for good: stopped first (a service deleted while it still runs stays in the
# registry, and comes back at the next start of the prefix), then deleted.
remove_service() {
  local state
  timeout 60 wine net stop VEKSvrReg >/dev/null 2>&1 || true
  for _ in $(seq 1 100); do
    state="$(timeout 30 wine sc query VEKSvrReg 2>/dev/null | tr -d '\r')"
    grep -q RUNNING <<<"$state" || grep -q PENDING <<<"$state" || break
    sleep 0.1
  done
  timeout 60 wine sc delete VEKSvrReg >/dev/null 2>&1 || true
  timeout 60 wine reg delete 'HKLM\System\CurrentControlSet\Services\VEKSvrReg' /f >/dev/null 2>&1 || true
}

# A Galvano installation with a few files already there, and a package with one of each kind of
# entry. Run again before each case: each case starts from the same machine.
seed() {
  remove_service
  timeout 60 wine reg delete 'HKCU\Software\UpdexarTest' /f >/dev/null 2>&1 || true
  rm -rf "$app" "$pkg" "$(hx_unix_path 'C:\Apps\started.txt')" "$work/recorded.txt"* "$sysdir/VEKSvrReg.Exe" "$sysdir/Regasm.exe" "$sysdir/Net.dll" \
         "$sysdir/RegIni.exe" "$sysdir/VekTool.dll"
  rm -f "$fonts/UpdTest.ttf" "$fonts/dejavu.ttf"
  hx_reg_sz 'HKLM\Software\VEKInfo\Galvano' InstallPath 'C:\Apps\Galvano\'
  hx_reg_sz 'HKLM\Software\VEKInfo\Galvano' AppPath '\\SERVER\share\Data\Galvano'
  hx_reg_sz 'HKLM\Software\VEKInfo' SvrPort "$(hx_free_port)"
  mkdir -p "$app/Reports" "$share/Data/Galvano" "$pkg/Log1" "$pkg/MiscFls" "$pkg/DLLs/NewUpFls/Reports/2026" \
           "$pkg/DLLs/SigFlsN" "$pkg/DLLs/MyFonts"
  printf 'old' >"$app/keep.txt"
  printf 'old' >"$app/same-day.txt"
  printf 'old' >"$app/older.txt"
  printf 'old' >"$app/always.txt"; chmod a-w "$app/always.txt"
  printf 'stale' >"$app/Reports/stale.rpt"
  local src="$pkg/DLLs/NewUpFls"
  for f in keep fresh same-day older always; do printf 'new' >"$src/$f.txt"; done
  touch -d '2 days ago' "$src/older.txt"
  printf 'r1' >"$src/Reports/r1.rpt"; printf 'r2' >"$src/Reports/2026/r2.rpt"
  printf 'db' >"$src/data.mdb"
  cp "$com_dll" "$src/VekComp.dll"
  printf 'ocx' >"$src/Grid.ocx"
  printf 'tool' >"$src/VekTool.dll"
  printf '%s\r\n' \
    'FILE,keep.txt,keep.txt,No' \
    'FILE,fresh.txt,deep\new\fresh.txt,No' \
    'FILE,same-day.txt,same-day.txt,Last Modified Date' \
    'FILE,older.txt,older.txt,Last Modified Date' \
    'FILE,always.txt,always.txt,Always' \
    'FOLDER,Reports,Reports,Always' \
    'FILE,data.mdb,SOFTDATADIR\data.mdb,Always' \
    'FILE,VekComp.dll,VekComp.dll,Always' \
    'FILE,Grid.ocx,System\SYSDIR\Grid.ocx,Always' \
    'file,VekTool.dll,sysdir\VekTool.dll,No' \
    'FILE,gone.dll,gone.dll,Always' \
    'FOLDER,NoSuchFolder,x,Always' \
    'DRIVER,keep.txt,x,Always' \
    '"FILE" , "keep.txt", "with, comma.txt" ,' >"$src/INDEX.UPD"
  rm -rf "$share/Data/Galvano/SoftUpdates"
  cp "$exe" "$pkg/UpdateG.exe"
  # The update is stored in the data directory first; a new file is what this computer needs it for.
  printf '%s\r\n' 'Upd1,06/12/2026,,' 'deep\new\fresh.txt,,,2' >"$pkg/UpdInfoP.txt"
  for tool in RegSvr32 RegIni Msizap; do cp "$recorder" "$pkg/MiscFls/$tool.exe"; done
  cp "$recorder" "$pkg/DLLs/SigFlsN/Regasm.exe"
  printf 'net' >"$pkg/DLLs/SigFlsN/Net.dll"
  cp "$service_exe" "$pkg/MiscFls/VEKSvrReg.Exe"
  # A face no prefix has: DejaVu Sans under another name.
  /usr/bin/python3 - "$pkg/DLLs/MyFonts/UpdTest.ttf" <<'PY' || hx_fail "could not make the test font"
import sys
from fontTools.ttLib import TTFont
f = TTFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf")
for rec in f["name"].names:
    if rec.nameID in (1, 3, 4, 6, 16):
        rec.string = "UpdexarTestFace" if rec.nameID == 6 else "Updexar Test Face"
f.save(sys.argv[1])
PY
  printf 'notafont' >"$pkg/DLLs/MyFonts/dejavu.ttf"
  printf '"UpdTest.ttf","Updexar Test Face"\r\n"dejavu.ttf","DEJAVU SANS"\r\n' >"$pkg/DLLs/MyFonts/FontList.txt"
  mkdir -p "$startup"; printf 'x' >"$startup/Old VEKServer.lnk"; printf 'x' >"$startup/VEKSERVER.txt"
}

# run_unattended CLOSE-WAIT:CLOSE: as the LAN run starts the program, after a start wait of 15 s.
run_unattended() {
  start_app '\\SERVER\share\Upd1\UpdateG.exe' "AUTOUPD-Galvano:\\\\SERVER\\share\\Upd1:3:Log1:1:$1"
  app_ends 120 || { fail "the program did not end"; hx_stop_prefix; return 1; }
}

# --- cases ------------------------------------------------------------------------------------

case_unattended() {
  seed
  run_unattended '0:N' || return
  [ "$APP_CODE" = 0 ] || fail "exit code $APP_CODE, not 0"
  local src='\\SERVER\share\Upd1\DLLs\NewUpFls'
  expect_log '[START]' 'Process:Update:To->C:\Apps\Galvano' \
    "Error:Update:File missing ($src\\gone.dll)" "Error:Update:Folder missing ($src\\NoSuchFolder)" \
    "Error:Update:Invalid Type ($src\\keep.txt)" \
    'Error:Update:Dll Register (C:\windows\system32\VekTool.dll) Failed' 'Process:Update:OK' '[END]'
  [ "$(cat "$app/keep.txt")" = old ] || fail "rule No replaced an existing file"
  [ "$(cat "$app/deep/new/fresh.txt" 2>/dev/null)" = new ] || fail "rule No did not copy a missing file into new folders"
  [ "$(cat "$app/same-day.txt")" = new ] || fail "same day did not replace"
  [ "$(cat "$app/older.txt")" = old ] || fail "an older source replaced a newer file"
  [ "$(cat "$app/always.txt")" = new ] || fail "a read-only file was not replaced"
  [ -e "$app/Reports/stale.rpt" ] && fail "a folder entry kept what the old folder had"
  [ "$(cat "$app/Reports/2026/r2.rpt" 2>/dev/null)" = r2 ] || fail "a folder entry was not copied whole"
  [ "$(cat "$share/Data/Galvano/data.mdb" 2>/dev/null)" = db ] || fail "SOFTDATADIR\\ did not reach the data directory"
  [ -e "$app/System/SYSDIR/Grid.ocx" ] || fail "SYSDIR\\ not at the start was not taken as a plain path"
  [ "$(cat "$sysdir/VekTool.dll" 2>/dev/null)" = tool ] || fail "sysdir\\ (any case) did not reach the system folder"
  [ -e "$app/with, comma.txt" ] && fail "a record with an empty rule was used"

  local r="$work/recorded.txt"
  tr -d '\r' <"$r" >"$work/recorded-lf.txt"; r="$work/recorded-lf.txt"
  has() { grep -qxF -- "$1" "$r" || fail "not started: $1"; }
  has '"\\SERVER\share\Upd1\MiscFls\RegSvr32.exe" /s "C:\Apps\Galvano\System\SYSDIR\Grid.ocx"'
  has '"C:\windows\system32\Regasm.exe" "C:\windows\system32\Net.dll" /codebase /silent'
  [ "$(grep -c '^"\\\\SERVER\\share\\Upd1\\MiscFls\\Msizap.exe" T {[0-9A-F-]*}$' "$r")" = 11 ] \
    || fail "Msizap was not asked for the eleven old installations: $(grep -c Msizap "$r")"
  grep -qE '^"\\\\SERVER\\share\\Upd1\\MiscFls\\RegIni.exe" "C:\\.*\\[0-9]{14}\.INI"$' "$r" \
    || fail "RegIni command line: $(grep -F RegIni.exe "$r")"
  local script; script="$(grep -F RegIni.exe "$r" | sed 's/.*" "\(.*\)"$/\1/')"
  [ -n "$script" ] && [ -e "$(hx_unix_path "$script")" ] && fail "the rights script was left behind: $script"
  local kept; kept="$(ls "$work"/recorded.txt.*.INI 2>/dev/null | head -1)"
  local rows='\Registry\Machine\Software\VEKInfo'
  cmp -s "$kept" <(printf '%s [17 11 7 5 1]\r\n' "$rows" "$rows\\Galvano" "$rows\\Selvan" "$rows\\Tarsel" "$rows\\Fendal") \
    || fail "rights script: $(od -c "$kept" 2>&1 | head -3)"
  [ "$(hx_reg_query 'HKCU\Software\UpdexarTest\Com' Registered)" = 0x1 ] \
    || fail "VekComp.dll was not registered through its own entry point"
  [ -e "$fonts/UpdTest.ttf" ] || fail "the missing face's font was not installed"
  [ -e "$fonts/dejavu.ttf" ] \
    && fail "an installed face was copied again"
  [ -e "$startup/Old VEKServer.lnk" ] && fail "the old start-up entry is still there"
  [ -e "$startup/VEKSERVER.txt" ] || fail "a start-up file that is no link or program was deleted"

  timeout 60 wine sc query VEKSvrReg 2>&1 | tr -d '\r' >"$work/sc.txt"
  grep -q RUNNING "$work/sc.txt" || fail "the VEK service is not running: $(tr '\n' ' ' <"$work/sc.txt")"
  local image
  image="$(hx_reg_query 'HKLM\System\CurrentControlSet\Services\VEKSvrReg' ImagePath)"
  if [ "$kind" = wow64 ]; then
    [ "${image,,}" = 'c:\windows\syswow64\veksvrreg.exe' ] || fail "service program path on 64-bit Windows: $image"
  else
    [ "${image,,}" = 'c:\windows\system32\veksvrreg.exe' ] || fail "service program path: $image"
  fi
  remove_service
}

# The service exists but does not run: the update starts it as the service, and no plain copy of
# the program is left holding its port.
case_service() {
  seed
  cp "$service_exe" "$sysdir/VEKSvrReg.exe"
  local path='C:\windows\system32\VEKSvrReg.exe'
  [ "$kind" = wow64 ] && path='C:\windows\syswow64\VEKSvrReg.exe'
  timeout 60 wine sc create VEKSvrReg binpath= "$path" start= demand >/dev/null 2>&1 || fail "could not create the service"
  run_unattended '0:N' || return
  [ "$APP_CODE" = 0 ] || fail "exit code $APP_CODE"
  timeout 60 wine sc query VEKSvrReg 2>&1 | tr -d '\r' >"$work/sc-existing.txt"
  grep -q RUNNING "$work/sc-existing.txt" || fail "the existing service was not started"
  # Windows processes show their Windows path as their command line; only this prefix's count.
  local copies=0 pid
  for pid in $(pgrep -fi '^[a-z]:\\.*\\veksvrreg\.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && copies=$((copies + 1))
  done
  [ "$copies" = 1 ] || fail "$copies copies of VEKSvrReg.exe run"
  remove_service
}

case_stops() {
  seed; rm -rf "$pkg/DLLs"
  run_unattended '0:N' || return
  [ "$APP_CODE" = 7 ] || fail "no DLLs: exit code $APP_CODE"
  expect_log '[START]' 'Process:Update:To->C:\Apps\Galvano' 'Error:Update:Source Folder [\\SERVER\share\Upd1\DLLs] not Found' '[END]'

  seed; hx_reg_sz 'HKLM\Software\VEKInfo\Galvano' InstallPath 'C:\Apps\Galvano\Old'
  run_unattended '0:N' || return
  expect_log '[START]' 'Process:Update:To->' 'Error:Update:Installation Path [] is not Correct' '[END]'

  seed; rm -rf "$app"
  run_unattended '0:N' || return
  expect_log '[START]' 'Process:Update:To->C:\Apps\Galvano' 'Error:Update:Installation Path [C:\Apps\Galvano] Not Found' '[END]'

  seed; rm -f "$pkg/MiscFls/RegSvr32.exe"
  run_unattended '0:N' || return
  [ "$APP_CODE" = 7 ] || fail "no RegSvr32: exit code $APP_CODE"
  expect_log '[START]' 'Process:Update:To->C:\Apps\Galvano' 'Error:CheckRegSvr:RegSvr32 File is Mising' '[END]'
}

# start_product: the stand-in product program runs; its pid in product.
start_product() {
  rm -f "$(hx_unix_path 'C:\Apps\started.txt')"
  hx_start 'C:\Apps\Galvano\Galvano.exe' 600 'C:\Apps\started.txt'
  product=$HX_BG_PID
  for _ in $(seq 1 100); do [ -s "$(hx_unix_path 'C:\Apps\started.txt')" ] && break; sleep 0.1; done
}

case_running() {
  seed
  cp "$dummy" "$(hx_unix_path 'C:\Apps\Galvano')/Galvano.exe"
  local product
  start_product
  run_unattended '0:N' || return
  [ "$APP_CODE" = 4 ] || fail "refusal: exit code $APP_CODE, not 4"
  expect_log '[START]' 'Error:Update:VEK Applications Running:;  Galvano.exe' '[END]'
  kill -0 "$product" 2>/dev/null || fail "the product program was ended without a wait time"

  # 60 seconds and "don't close", nobody answers: the countdown runs out and nothing is closed.
  run_unattended '3:N' || return
  [ "$APP_CODE" = 4 ] || fail "countdown to no: exit code $APP_CODE, not 4"
  kill -0 "$product" 2>/dev/null || fail "the product program was ended though the choice was not to"

  # 30 seconds and "close", nobody answers: the program is closed and the update runs.
  run_unattended '2:Y' || return
  [ "$APP_CODE" = 0 ] || fail "countdown to close: exit code $APP_CODE, not 0"
  kill -0 "$product" 2>/dev/null && fail "the product program still runs after the countdown"
  grep -q 'Process:Update:OK' "$pkg/Log1/3.log" || fail "no update after the countdown ran out"

  # In real time the countdown shows; pressing its button closes the program at once.
  start_product
  rm -f "$pkg/Log1/3.log"
  UPDEXAR_TIME_SCALE=1 start_app '\\SERVER\share\Upd1\UpdateG.exe' 'AUTOUPD-Galvano:\\SERVER\share\Upd1:3:Log1:1:1:Y'
  probe wait-text "= Please Wait ..." "Auto Update in 15 Second(s)" 60 || fail "no start countdown"
  probe click "= Please Wait ..." "&Update Now" || fail "no button to start now"
  probe wait-text "= Please Wait ..." "Auto Close Apps and Update in 15 Second(s)" 60 \
    || fail "no countdown before closing: $(probe texts "= Please Wait ..." | tr '\n' '|')"
  hx_desktop_shot "$shots/wait-window-$kind.png" || true
  probe click "= Please Wait ..." "Close Apps / &Update Now" || fail "no button to go on"
  app_ends 120 || { fail "the update did not end"; return; }
  [ "$APP_CODE" = 0 ] || fail "after closing the program: exit code $APP_CODE"
  kill -0 "$product" 2>/dev/null && fail "the product program still runs"
  grep -q 'Process:Update:OK' "$pkg/Log1/3.log" || fail "no update after the countdown"
}

case_interactive() {
  seed
  local local_pkg; local_pkg="$(hx_unix_path 'C:\Updates\GalvanoUpd')"
  rm -rf "$local_pkg"; mkdir -p "$(dirname "$local_pkg")"; cp -a "$pkg" "$local_pkg"
  sed -i 's/^Upd1,/GalvanoUpd,/' "$local_pkg/UpdInfoP.txt"   # the update is named after its folder
  start_app 'C:\Updates\GalvanoUpd\UpdateG.exe'
  local main='Updexar -> Galvano -> GalvanoUpd'
  probe wait-window "=$main" 60 >/dev/null || { fail "no main window"; return; }
  probe click "=$main" "&Update >>" || fail "no update button"
  probe wait-text "Updexar" "Do you really want to Update software on Local Machine ?" 30 || fail "no question"
  probe click "Updexar" "&Yes" || fail "no Yes"
  # The first missing source stops the run with a question over the progress window.
  probe wait-window "=Updation" 60 >/dev/null || { fail "no Updation question"; return; }
  hx_desktop_shot "$shots/update-window-$kind.png" || true
  probe texts "= Please Wait ..." >"$work/update-texts.txt"
  # Ignore every question the package's faults raise (three missing or invalid sources, one
  # library that cannot register) until the run says it is done.
  local answered=0
  while [ $answered -lt 6 ]; do
    if probe wait-window "=Updation" 3 >/dev/null; then probe click "=Updation" "&Ignore" >/dev/null
    elif probe wait-window "=Contact Your Vendor" 3 >/dev/null; then probe click "=Contact Your Vendor" "&Ignore" >/dev/null
    else break; fi
    answered=$((answered + 1))
  done
  [ $answered = 4 ] || fail "$answered questions answered, not 4"
  probe wait-text "Updexar" "Updated Successfully." 120 || fail "no success message"
  hx_desktop_shot "$shots/update-done-$kind.png" || true
  probe click "Updexar" "OK" || fail "no OK"
  probe gone "= Please Wait ..." 30 || fail "the progress window stayed"
  probe key "=$main" ESC; probe click "Updexar" "&Yes" >/dev/null
  app_ends 30 || fail "the program did not end after Exit"
  [ "$(cat "$app/always.txt")" = new ] || fail "the interactive run did not install"
}

# --- run --------------------------------------------------------------------------------------

startup="$(hx_unix_path "$(timeout 60 wine cmd /c 'echo %USERPROFILE%' 2>/dev/null | tr -d '\r')")/Start Menu/Programs/Startup"
# The service starts with the prefix; the tests that share the prefix after this one must not meet it.
case_cleanup() { remove_service; }
run_cases "${cases[@]}" cleanup
hx_log "screenshots in $shots"
