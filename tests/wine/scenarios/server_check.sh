# wine: win32 screen
# The check of the data directory and of the server before an update: the settings behind the
# main window's "..." button, and the real VEK service in a second prefix (a second computer, at
# 127.0.0.1) confirming or not; then a closed port and a service that never answers, unattended
# and at the desk (Cancel during the wait). What each answer leads to is the unit tier's.
# Screenshots of the window's two faces.
export UPDEXAR_TIME_SCALE=10   # the start countdown and the check's 30 s wait a tenth as long
key='HKLM\Software\VEKInfo\Galvano' vek='HKLM\Software\VEKInfo' data="$share/Data/Galvano"
service_name='Service [VEKSvrReg.Exe]'
chattr -i "$work/../server_check-$kind/locked" 2>/dev/null
# Galvano with its data directory and a package; the server is 127.0.0.1, neither "localhost"
# nor this computer's name, so the check asks the service there.
seed() {
  galvano; hx_reg_sz "$key" Server 127.0.0.1
  hx_reg_delete 'HKCU\Software\VEKInfo\Galvano' ThinClient; hx_reg_delete 'HKCU\Software\VEKInfo\Galvano' Server
  rm -rf "$app" "$data"; mkdir -p "$app" "$data"; package "$share/Upd1"
  rm -f "$sysdir/VEKSvrReg.exe"   # else the update makes it a service on our port
}
test_files() { find "$data" -maxdepth 1 -regex '.*/T[0-9][0-9][0-9][0-9]\.txt' -printf '%f\n' 2>/dev/null; }
# silent: a service that takes connections and never answers, on a port of its own (SvrPort).
silent() {
  [ -n "$HX_SILENT_PORT" ] || hx_silent_start "$work/port"
  hx_reg_sz "$vek" SvrPort "$HX_SILENT_PORT"
}
cleanup() {
  [ -d "$work/server" ] && hx_stop_prefix "$work/server"
  local n; for n in InstallPath AppPath Server; do hx_reg_delete "$key" $n; done; hx_reg_delete "$vek" SvrPort
  hx_reg_delete 'HKCU\Software\VEKInfo\Galvano' ThinClient; hx_reg_delete 'HKCU\Software\VEKInfo\Galvano' Server
}
refused() {  # refused SETUP LINE: the unattended run ended at the check, nothing installed, no test file left
  unattended 5 "$1" "Error:CheckOnSvr:$2"; lacks "$app/fresh.txt"; [ -z "$(test_files)" ] || fail "test file left"
}

case_settings() {
  seed; hx_reg_sz "$key" AppPath '\\SERVER\share\Data\Galvano\'; hx_reg_delete "$key" Server; hx_reg_sz "$vek" SvrPort 0
  desk Upd1 GalvanoUpd
  ui <<EOF
$main
click ...
on = Server Settings
edit 0 \\\\SERVER\\share\\Data\\Galvano
EOF
  shot server-settings
  # A folder no file can be made in (root writes into read-only ones, so an immutable one).
  mkdir -p "$work/locked/Galvano"; chattr +i "$work/locked/Galvano" || fail "could not lock the folder"
  local locked; locked="$(hx_win_path "$work/locked/Galvano")"
  ui <<EOF
on = Server Settings
set 0 $locked
click &Submit
on =Updexar
see Data Path [$locked] is Write-Protected.
click OK
on = Server Settings
set 0 \\\\SERVER\\share\\Data\\Galvano
click Thin Client
click &Submit
gone
EOF
  chattr -i "$work/locked/Galvano"
  # Every value saved as text; a thin client's server is the user's own.
  [ "$(timeout 60 wine reg query "$key" /v AppPath | tr -d '\r' | awk '/AppPath/ { print $2, $3 }')" = 'REG_SZ \\SERVER\share\Data\Galvano' ] || fail "AppPath not saved as text"
  [ "$(timeout 60 wine reg query 'HKCU\Software\VEKInfo\Galvano' /v ThinClient | tr -d '\r' | awk '/ThinClient/ { print $2, $3 }')" = 'REG_SZ 1' ] || fail "ThinClient not saved as text"
  reg_is 'HKCU\Software\VEKInfo\Galvano' Server localhost; reg_is "$vek" SvrPort 7070; reg_is "$key" Server ''
  leave
}

case_service() {
  seed
  local server="$work/server" port; port="$(hx_free_port)"
  hx_reg_sz "$vek" SvrPort "$port"
  hx_make_prefix "$server" win32; HX_PREFIXES+=("$server"); ln -s "$share" "$server/drive_c/Shared"
  mkdir -p "$server/drive_c/Other/Galvano"; cp "$VEKSVR" "$server/drive_c/VEKSvrReg.exe"
  ( export WINEPREFIX="$server"; hx_reg_sz "$vek" SvrPort "$port"; hx_reg_sz "$key" AppPath 'C:\Shared\Data\Galvano'
    hx_start 'C:\VEKSvrReg.exe' )
  for _ in $(seq 1 600); do (: <>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
  unattended 0 '' 'Process:Update:OK'
  is "$app/fresh.txt" new; [ -f "$data/SoftUpdates/Upd1/UpdateG.exe" ] || fail "the update was not stored"
  [ -z "$(test_files)" ] || fail "test file left"
  # The service reads its data directory for each request: now it looks into another folder.
  WINEPREFIX="$server" hx_reg_sz "$key" AppPath 'C:\Other\Galvano'
  refused '' 'Software Data Directory [\\SERVER\share\Data\Galvano] could not be verified from the server'
  hx_stop_prefix "$server"
}

case_failures() {
  refused 'hx_reg_sz "$vek" SvrPort "$(hx_free_port)"' \
    "Error Occured while Connecting to $service_name-10061 : Connection is forcefully rejected"
  refused silent "Connected to $service_name but Failed to Retrieve Data"
}

# Update, Yes, and the check waits on the silent stand-in with its test file made.
check() {
  printf '%s\n' "$main" 'click &Update >>' 'on =Updexar' 'see Do you really want to Update software on Local Machine ?' \
    'click &Yes' 'on = Server Settings' 'see Verifying Software Data Directory from Server ...' | ui
  for _ in $(seq 1 300); do [ -n "$(test_files)" ] && break; sleep 0.1; done
  [ "$(test_files | wc -l)" = 1 ] || fail "test files while waiting: $(test_files)"
}

# In real time, long enough to leave by hand: the wait's window, and Cancel (what it takes away
# is the unit tier's).
case_desk() {
  seed; silent
  UPDEXAR_TIME_SCALE=1 desk Upd1 GalvanoUpd; check
  shot server-check-wait
  printf '%s\n' 'on = Server Settings' 'click &Cancel' 'gone' "$main" 'only' | ui
  leave
}
