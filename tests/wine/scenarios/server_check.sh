# wine: win32 screen
# The check of the data directory and of the server before an update: the settings behind the
# main window's "..." button, and the real VEK service in a second prefix (a second computer, at
# 127.0.0.1) confirming or not; then a closed port and stand-ins that answer as an old service,
# answer garbage or never answer, unattended and at the desk (Retry, Settings and Cancel during
# the wait). Screenshots of the window's two faces.
export UPDEXAR_TIME_SCALE=10   # the start countdown and the check's 30 s wait a tenth as long
key='HKLM\Software\VEKInfo\Galvano' vek='HKLM\Software\VEKInfo' data="$share/Data/Galvano"
service_name='Service [VEKSvrReg.Exe]'
main='on =Updexar -> Galvano -> GalvanoUpd'
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
# port: something takes connections on 127.0.0.1:PORT within 60 s.
listens() { python3 -c 'import socket, sys, time
for _ in range(600):
    try: socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1).close(); sys.exit(0)
    except OSError: time.sleep(0.1)
sys.exit(1)' "$1"; }
# standin MODE: the misbehaving service on a port of its own, which becomes SvrPort.
standin() {
  [ -z "${sby:-}" ] || kill "$sby" 2>/dev/null; rm -f "$work/port"
  python3 "$here/tcp_standin.py" "$1" "$work/port" >"$work/standin.txt" 2>&1 & sby=$!
  for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.1; done
  hx_reg_sz "$vek" SvrPort "$(cat "$work/port")"
}
cleanup() {
  [ -z "${sby:-}" ] || kill "$sby" 2>/dev/null; [ -d "$work/server" ] && hx_stop_prefix "$work/server"
  local n; for n in InstallPath AppPath Server; do hx_reg_delete "$key" $n; done; hx_reg_delete "$vek" SvrPort
  hx_reg_delete 'HKCU\Software\VEKInfo\Galvano' ThinClient; hx_reg_delete 'HKCU\Software\VEKInfo\Galvano' Server
}
refused() {  # refused SETUP LINE: the unattended run ended at the check, nothing installed, no test file left
  unattended 5 "$1" "Error:CheckOnSvr:$2"; lacks "$app/fresh.txt"; [ -z "$(test_files)" ] || fail "test file left"
}
desk() { rm -rf "$(hx_unix_path 'C:\Updates\GalvanoUpd')"; mkdir -p "$(hx_unix_path 'C:\Updates')"
         cp -a "$share/Upd1" "$(hx_unix_path 'C:\Updates\GalvanoUpd')"; start 'C:\Updates\GalvanoUpd\UpdateG.exe'; }
leave() { printf '%s\n' "$main" 'key ESC' 'on =Updexar' 'click &Yes' | ui; ends 30; }

case_settings() {
  seed; hx_reg_sz "$key" AppPath '\\SERVER\share\Data\Galvano\'; hx_reg_delete "$key" Server; hx_reg_sz "$vek" SvrPort 0
  desk
  ui <<EOF
$main
click ...
on = Server Settings
edit 0 \\\\SERVER\\share\\Data\\Galvano
see localhost
see 7070
checked 0 Thin Client
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
$main
see \\\\SERVER\\share\\Data\\Galvano
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
  listens "$port" || fail "the service does not listen"
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
  refused 'standin old' "Old Version of $service_name is running on Server"
  refused 'standin garbage' 'Failed to Verify Software Data Directory [\\SERVER\share\Data\Galvano] from the server'
  refused 'standin silent' "Connected to $service_name but Failed to Retrieve Data"
}

# Update, Yes, and the check waits on the silent stand-in with its test file made.
check() {
  printf '%s\n' "$main" 'click &Update >>' 'on =Updexar' 'see Do you really want to Update software on Local Machine ?' \
    'click &Yes' 'on = Server Settings' 'see Verifying Software Data Directory from Server ...' | ui
  for _ in $(seq 1 300); do [ -n "$(test_files)" ] && break; sleep 0.1; done
  [ "$(test_files | wc -l)" = 1 ] || fail "test files while waiting: $(test_files)"
}

case_desk() {
  seed; standin silent; desk; check
  ui <<EOF
on =Updexar
see Connected to $service_name but Failed to Retrieve Data.*Do you want to Retry?
click &Yes
gone
on =Updexar
click &No
gone
on = Server Settings
see &Submit
edit 1 127.0.0.1
click &Cancel
gone
EOF
  leave
  # In real time the wait is long enough to leave by hand: Settings at once, then Cancel.
  UPDEXAR_TIME_SCALE=1 desk; check
  shot server-check-wait
  printf '%s\n' 'on = Server Settings' 'click &Settings' 'see &Submit' 'click &Cancel' 'gone' | ui
  check
  printf '%s\n' 'on = Server Settings' 'click &Cancel' 'gone' "$main" 'only' | ui
  [ -z "$(test_files)" ] || fail "Cancel left the test file"
  leave
}
