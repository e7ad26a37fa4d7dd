# wine: win32 wow64 screen timeout=900
# The utility updates a Galvano installation from a package in \\SERVER\share, unattended as a
# LAN run starts it and by hand: what lands where, what the outside tools are asked, the COM
# library, the font, the old start-up entry and the VEK service, the runs that stop before
# anything is installed, and running product programs closed or not. Screenshots of the progress
# and the wait window.
export UPDEXAR_TIME_SCALE=100   # the 15 s start wait passes in a blink
pkg="$share/Upd1" src="$share/Upd1/DLLs/NewUpFls"
fonts="$(hx_unix_path 'C:\windows\Fonts')"
# The Startup folders of old Windows' profile paths, and the ones the shell names today.
startups=("$(hx_unix_path "$(timeout 60 wine cmd /c 'echo %USERPROFILE%' 2>/dev/null | tr -d '\r')")/Start Menu/Programs/Startup"
  "$(hx_unix_path "$(timeout 60 wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')")/Microsoft/Windows/Start Menu/Programs/StartUp"
  "$(hx_unix_path 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\StartUp')")
fontkey='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts'
service='^[a-z]:\\.*\\veksvrreg\.exe'   # the service program's process, from any folder

# The service goes for good: stopped first (a service deleted while it runs stays in the
# registry, and comes back at the next start of the prefix), then deleted.
remove_service() {
  timeout 60 wine net stop VEKSvrReg >/dev/null 2>&1
  waits 10 '! timeout 30 wine sc query VEKSvrReg 2>/dev/null | grep -qE "RUNNING|PENDING"'
  timeout 60 wine sc delete VEKSvrReg >/dev/null 2>&1
  timeout 60 wine reg delete 'HKLM\System\CurrentControlSet\Services\VEKSvrReg' /f >/dev/null 2>&1
}
cleanup() { remove_service; }

# Galvano with a few files already there, and a package with an entry of each kind.
seed() {
  remove_service
  timeout 60 wine reg delete 'HKCU\Software\UpdexarTest' /f >/dev/null 2>&1
  rm -rf "$app" "$work/recorded.txt" "$fonts"/{UpdTest,dejavu}.ttf "$(hx_unix_path 'C:\Apps\started.txt')"
  hx_reg_delete "$fontkey" 'Updexar Test Face (TrueType)'
  rm -f "$sysdir"/{VEKSvrReg.Exe,Regasm.exe,Net.dll,VekTool.dll}
  galvano
  hx_reg_sz 'HKLM\Software\VEKInfo' SvrPort "$(hx_free_port)"
  package "$pkg"
  mkdir -p "$app/Reports" "$src/Reports/2026" "$pkg/DLLs/SigFlsN" "$pkg/DLLs/MyFonts"
  for f in keep same-day older always; do printf 'old' >"$app/$f.txt"; printf 'new' >"$src/$f.txt"; done
  chmod a-w "$app/always.txt"
  touch -d '2 days ago' "$src/older.txt"
  printf 'stale' >"$app/Reports/stale.rpt"; printf 'r2' >"$src/Reports/2026/r2.rpt"
  printf 'db' >"$src/data.mdb"; printf 'ocx' >"$src/Grid.ocx"; printf 'tool' >"$src/VekTool.dll"
  cp "$COM_DLL" "$src/VekComp.dll"
  printf '%s\r\n' 'FILE,keep.txt,keep.txt,No' 'FILE,fresh.txt,deep\new\fresh.txt,No' \
    'FILE,same-day.txt,same-day.txt,Last Modified Date' 'FILE,older.txt,older.txt,Last Modified Date' \
    'FILE,always.txt,always.txt,Always' 'FOLDER,Reports,Reports,Always' 'FILE,data.mdb,SOFTDATADIR\data.mdb,Always' \
    'FILE,VekComp.dll,VekComp.dll,Always' 'FILE,Grid.ocx,System\SYSDIR\Grid.ocx,Always' \
    'file,VekTool.dll,sysdir\VekTool.dll,No' 'FILE,gone.dll,gone.dll,Always' >"$src/INDEX.UPD"
  printf 'Upd1,06/12/2026,,\r\ndeep\\new\\fresh.txt,,,2\r\n' >"$pkg/UpdInfoP.txt"
  cp "$RECORDER" "$pkg/DLLs/SigFlsN/Regasm.exe"; printf 'net' >"$pkg/DLLs/SigFlsN/Net.dll"
  cp "$VEKSVR" "$pkg/MiscFls/VEKSvrReg.Exe"
  # A face no prefix has: DejaVu Sans under another name; and a face every prefix has.
  /usr/bin/python3 - "$pkg/DLLs/MyFonts/UpdTest.ttf" <<'PY' || fail "could not make the test font"
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
  local f; for f in "${startups[@]}"; do mkdir -p "$f"; printf 'x' >"$f/Old VEKServer.lnk"; printf 'x' >"$f/VEKSERVER.txt"; done
}

case_unattended() {
  local s='\\SERVER\share\Upd1\DLLs\NewUpFls' m='\\SERVER\share\Upd1\MiscFls' sys='C:\windows\system32'
  unattended 11 '' "Error:Update:File missing ($s\\gone.dll)" "Error:Update:Dll Register ($sys\\VekTool.dll) Failed" \
    'Process:Update:OK'
  is "$app/keep.txt" old; is "$app/deep/new/fresh.txt" new; is "$app/same-day.txt" new; is "$app/older.txt" old
  is "$app/always.txt" new   # read-only, replaced all the same
  lacks "$app/Reports/stale.rpt"; is "$app/Reports/2026/r2.rpt" r2
  is "$share/Data/Galvano/data.mdb" db; is "$app/System/SYSDIR/Grid.ocx" ocx; is "$sysdir/VekTool.dll" tool
  recorded "\"$m\\RegSvr32.exe\" /s \"C:\\Apps\\Galvano\\System\\SYSDIR\\Grid.ocx\"" \
    "\"$sys\\Regasm.exe\" \"$sys\\Net.dll\" /codebase /silent"
  [ "$(grep -c "^\"${m//\\/\\\\}\\\\Msizap.exe\" T {[0-9A-F-]*}.\$" "$work/recorded.txt")" = 11 ] || fail "Msizap not asked for the eleven old installations"
  # RegIni is handed a rights script (what it holds is the unit tier's), which is gone after the run.
  local script; script="$(tr -d '\r' <"$work/recorded.txt" | sed -n 's/^".*RegIni.exe" "\(C:\\.*\\[0-9]\{14\}\.INI\)"$/\1/p')"
  [ -n "$script" ] && lacks "$(hx_unix_path "$script")" || fail "RegIni's command line: $(grep RegIni "$work/recorded.txt")"
  reg_is 'HKCU\Software\UpdexarTest\Com' Registered 0x1   # through the library's own entry point
  # Fonts installed for good: registered as installers do, so they are there after a restart.
  same "$pkg/DLLs/MyFonts/UpdTest.ttf" "$fonts/UpdTest.ttf"; lacks "$fonts/dejavu.ttf"
  reg_is "$fontkey" 'Updexar Test Face (TrueType)' UpdTest.ttf
  local f; for f in "${startups[@]}"; do lacks "$f/Old VEKServer.lnk"; [ -e "$f/VEKSERVER.txt" ] || fail "a start-up file that is no link was deleted"; done
  # The service as the update left it: its program where the 32-bit program really sees the
  # system folder, running, answering checks of the data directory; a second copy started directly
  # finds the port taken and leaves; the stop ends its process.
  local dir port; dir="C:\\windows\\$([ "$kind" = wow64 ] && echo syswow64 || echo system32)"
  port="$(hx_reg_query 'HKLM\Software\VEKInfo' SvrPort)"
  [ "$(hx_reg_query 'HKLM\System\CurrentControlSet\Services\VEKSvrReg' ImagePath | tr '[:upper:]' '[:lower:]')" = "${dir,,}\\veksvrreg.exe" ] \
    || fail "service program: $(hx_reg_query 'HKLM\System\CurrentControlSet\Services\VEKSvrReg' ImagePath)"
  printf 'Test\r\n' >"$share/Data/Galvano/T1234.txt"
  ask exist "$port" GLV T1234 'state: EXIST'
  timeout 30 wine "$dir\\VEKSvrReg.exe" >/dev/null 2>&1; [ $? -lt 124 ] || fail "a second copy did not leave"
  timeout 60 wine net stop VEKSvrReg >/dev/null 2>&1
  waits 30 '[ -z "$(running "$service")" ]' || fail "VEKSvrReg.exe still runs after the stop"
  timeout 60 wine sc query VEKSvrReg | grep -q STOPPED || fail "the service did not stop"
}

# A package sealed with updexar-pack.exe, as its author would seal it: whole, it installs as
# before; with one byte changed, the run names the file, changes nothing and ends with the damaged
# package's own exit code (the seal's other refusals are the unit tier's).
sealed() { timeout 120 wine "$PACK" seal '\\SERVER\share\Upd1' >"$work/seal.txt" 2>&1 || fail "seal: $(cat "$work/seal.txt")"; }
case_seal() {
  unattended 11 'sealed' '*'
  is "$app/deep/new/fresh.txt" new
  unattended 12 'sealed; printf N | dd of="$src/fresh.txt" bs=1 conv=notrunc 2>/dev/null' \
    "Error:Update:File [\\\\SERVER\\share\\Upd1\\DLLs\\NewUpFls\\fresh.txt] differs from the package's seal"
  lacks "$app/deep" "$sysdir/VekTool.dll"; is "$app/keep.txt" old; reg_is 'HKLM\Software\VEKInfo\Galvano' InstallPath 'C:\Apps\Galvano\'
}

# A folder entry replaces its destination: never the whole system folder or installation.
case_folders() {
  local s='\\SERVER\share\Upd1\DLLs\NewUpFls'
  unattended 11 "printf '%s\\r\\n' 'FOLDER,Reports,SYSDIR\\,Always' 'FOLDER,Reports,\\,Always' >\"\$src/INDEX.UPD\"" \
    "Error:Update:Folder ($s\\Reports) not copied: [SYSDIR\\] is a whole folder" \
    "Error:Update:Folder ($s\\Reports) not copied: [\\] is a whole folder" 'Process:Update:OK'
  is "$app/keep.txt" old; [ -f "$sysdir/kernel32.dll" ] || fail "the system folder was emptied"
}

# A running product program: refused when the countdown runs out on "don't close" (without a wait
# alike); closed when it runs out on "close", or at once by the countdown's button.
case_running() {
  start_product() {
    rm -f "$(hx_unix_path 'C:\Apps\started.txt')"
    hx_start 'C:\Apps\Galvano\Galvano.exe' 600 'C:\Apps\started.txt'; product=$HX_BG_PID
    for _ in $(seq 1 100); do [ -s "$(hx_unix_path 'C:\Apps\started.txt')" ] && break; sleep 0.1; done
  }
  local product
  FIELDS=1:3:N unattended 4 'cp "$DUMMY" "$app/Galvano.exe"; start_product' \
    = '[START]' 'Error:Update:VEK Applications Running:;  Galvano.exe' '[END]'
  kill -0 "$product" 2>/dev/null || fail "the product program was ended though the choice was not to"
  auto 1:2:Y; code_is 11
  kill -0 "$product" 2>/dev/null && fail "the product program still runs after the countdown"
  grep -q 'Process:Update:OK' "$pkg/Log1/3.log" || fail "no update after the countdown ran out"
  start_product
  UPDEXAR_TIME_SCALE=1 start '\\SERVER\share\Upd1\UpdateG.exe' 'AUTOUPD-Galvano:\\SERVER\share\Upd1:3:Log1:1:1:Y'
  ui <<'EOF'
on = Please Wait ...
see Auto Update in 15 Second(s)
click &Update Now
see Auto Close Apps and Update in 15 Second(s)
EOF
  shot wait-window
  echo 'on = Please Wait ...
click Close Apps / &Update Now' | ui
  ends 120 && code_is 11
  kill -0 "$product" 2>/dev/null && fail "the product program still runs"
  # The service that run installed is stopped by the next one and runs again when it goes no
  # further.
  rm -f "$pkg/MiscFls/RegSvr32.exe"; auto 1:0:N; code_is 7
  waits 10 'timeout 30 wine sc query VEKSvrReg 2>&1 | grep -q RUNNING' \
    || fail "the service is not back after a failed step"
}

case_interactive() {
  seed
  local local_pkg; local_pkg="$(hx_unix_path 'C:\Updates\GalvanoUpd')"
  rm -rf "$local_pkg"; mkdir -p "$(dirname "$local_pkg")"; cp -a "$pkg" "$local_pkg"
  sed -i 's/^Upd1,/GalvanoUpd,/' "$local_pkg/UpdInfoP.txt"
  start 'C:\Updates\GalvanoUpd\UpdateG.exe'
  ui <<'EOF'
on =Updexar -> Galvano -> GalvanoUpd
click &Update >>
on =Updexar
see Do you really want to Update software on Local Machine ?
click &Yes
on =Updation
EOF
  shot update-window
  # Ignore each fault of the package (a missing source, a library that does not register) until
  # the run says it is done.
  ui <<'EOF'
on =Updation
click &Ignore
on =Contact Your Vendor
click &Ignore
on =Updexar
see Updated Successfully.
EOF
  shot update-done
  ui <<'EOF'
on =Updexar
click OK
gone = Please Wait ...
EOF
  leave
  is "$app/always.txt" new
}
