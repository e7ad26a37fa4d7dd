#!/usr/bin/env bash
# server_check_wine.sh UpdateG.exe ui_probe.exe recorder.exe VEKSvrReg.exe SHOTDIR [CASE...]
# The real utility checks a Galvano data directory, and asks the real VEK service about it, before
# an update:
#   settings  the main window's data-directory button: the settings as the registry holds them,
#             Submit's three refusals, and what Submit saves
#   service   unattended, against VEKSvrReg.exe in a second prefix (a second computer), reached
#             at 127.0.0.1: the directory confirmed and the update done; then the service looks
#             into another directory
#   failures  unattended: nothing listening, and stand-ins that answer as an old service, answer
#             garbage, or never answer; each with its log line and exit code 5
#   desk      by hand, a service that never answers: Retry and then No, Settings during the wait,
#             Cancel
# Screenshots of the window's two faces stay in SHOTDIR.
set -u
. "$(dirname "$0")/harness/harness.sh"
[ $# -ge 5 ] || hx_fail "usage: server_check_wine.sh UpdateG.exe ui_probe.exe recorder.exe VEKSvrReg.exe SHOTDIR [CASE...]"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
exe="$1" probe_exe="$2" recorder="$3" service_exe="$4" shots="$5"
shift 5
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(settings service failures desk)
standin="$(dirname "$0")/vek_standin.py"

. "$(dirname "$0")/harness/app.sh"
# The folder the settings case makes immutable, should a run have been cut short there, would
# keep the run's folder from being cleared.
chattr -i "$UPDEXAR_WINE_ROOT/runs/server_check-$(hx_prefix_kind "$UPDEXAR_WINE_PREFIX")/locked/Galvano" 2>/dev/null
app_begin server_check
vek='HKLM\Software\VEKInfo'
key="$vek\\Galvano"
app="$(hx_unix_path 'C:\Apps\Galvano')"
pkg="$share/Upd1"
data_win='\\SERVER\share\Data\Galvano'
data="$share/Data/Galvano"
main='Updexar -> Galvano -> GalvanoUpd'
settings='= Server Settings'
service_name='Service [VEKSvrReg.Exe]'
# The start countdown (15 s) and the check's wait (30 s) a tenth as long: short, and still ample
# for a service under Wine to answer.
export UPDEXAR_TIME_SCALE=10

# An installation, its data directory and a package with one file to install. The server is
# 127.0.0.1: not "localhost" and not this computer's name, so the check asks the service there.
seed() {
  hx_reg_sz "$key" InstallPath 'C:\Apps\Galvano\'
  hx_reg_sz "$key" AppPath "$data_win"
  hx_reg_sz "$key" Server 127.0.0.1
  hx_reg_delete 'HKCU\Software\VEKInfo\Galvano' ThinClient
  hx_reg_delete 'HKCU\Software\VEKInfo\Galvano' Server
  rm -rf "$app" "$data" "$pkg"
  # No service program in the system folder: the update would make it a service on our port.
  rm -f "$sysdir/VEKSvrReg.exe"
  mkdir -p "$app" "$data" "$pkg/Log1" "$pkg/MiscFls" "$pkg/DLLs/NewUpFls"
  cp "$exe" "$pkg/UpdateG.exe"
  for tool in RegSvr32 RegIni Msizap; do cp "$recorder" "$pkg/MiscFls/$tool.exe"; done
  printf 'new' >"$pkg/DLLs/NewUpFls/fresh.txt"
  printf 'FILE,fresh.txt,fresh.txt,No\r\n' >"$pkg/DLLs/NewUpFls/INDEX.UPD"
  printf 'Upd1,06/12/2026,,\r\nfresh.txt,,,2\r\n' >"$pkg/UpdInfoP.txt"
}

# The check's test files (T####.txt) in a folder.
test_files() { find "$1" -maxdepth 1 -type f -regex '.*/T[0-9][0-9][0-9][0-9]\.txt' -printf '%f\n' 2>/dev/null; }

# port_listens PORT SECONDS: something accepts connections on 127.0.0.1:PORT within the time.
port_listens() {
  python3 - "$1" "$2" <<'PY'
import socket, sys, time
end = time.time() + float(sys.argv[2])
while time.time() < end:
    try:
        socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1).close()
        sys.exit(0)
    except OSError:
        time.sleep(0.1)
sys.exit(1)
PY
}

# The server is a computer of its own: a second prefix, whose processes the update does not see
# (an update ends every VEKSvrReg.exe of its own computer, to replace the program). Its C:\Shared
# is the folder the client knows as \\SERVER\share.
server="$work/server-prefix"
on_server() { WINEPREFIX="$server" "$@"; }
# start_service: VEKSvrReg.exe started directly on the server, serving on the client's SvrPort.
start_service() {
  hx_make_prefix "$server" win32
  HX_PREFIXES+=("$server")
  ln -s "$share" "$server/drive_c/Shared"
  mkdir -p "$server/drive_c/Other/Galvano"
  on_server hx_copy_in "$service_exe" 'C:\vektest'
  local port; port="$(hx_reg_query "$vek" SvrPort)"
  on_server hx_reg_sz "$vek" SvrPort "$port"
  on_server hx_reg_sz "$key" AppPath 'C:\Shared\Data\Galvano'
  on_server hx_start 'C:\vektest\VEKSvrReg.exe'
  port_listens "$port" 60 || { fail "the service does not listen"; return 1; }
}
stop_service() { [ -d "$server" ] && hx_stop_prefix "$server"; }

# start_standin MODE: the stand-in on a port of its own, which becomes SvrPort; its pid in sby,
# its output in $work/standin-MODE.txt.
sby=""
start_standin() {
  local portfile="$work/standin-$1.port" port=""
  rm -f "$portfile"
  python3 "$standin" "$1" "$portfile" >"$work/standin-$1.txt" 2>&1 &
  sby=$!
  for _ in $(seq 1 100); do [ -s "$portfile" ] && break; sleep 0.1; done
  port="$(cat "$portfile" 2>/dev/null)"
  [ -n "$port" ] || { fail "the $1 stand-in did not listen"; return 1; }
  hx_reg_sz "$vek" SvrPort "$port"
}
stop_standin() {
  [ -n "$sby" ] || return 0
  kill "$sby" 2>/dev/null; wait "$sby" 2>/dev/null
  sby=""
}

# run_unattended: as a LAN run starts the program; the exit code in APP_CODE.
run_unattended() {
  rm -f "$pkg/Log1/"*
  start_app '\\SERVER\share\Upd1\UpdateG.exe' 'AUTOUPD-Galvano:\\SERVER\share\Upd1:3:Log1:1:0:N'
  app_ends 120 || { fail "the program did not end"; hx_stop_prefix; return 1; }
}
# expect_log LINE...: the update log holds exactly these lines.
expect_log() {
  cmp -s "$pkg/Log1/3.log" <(printf '%s\r\n' "$@") && return 0
  fail "update log differs:"
  diff <(printf '%s\n' "$@") <(tr -d '\r' <"$pkg/Log1/3.log" 2>/dev/null) >&2
}
# refused WHAT LINE: the unattended run ended at the server check with this line.
refused() {
  run_unattended || return
  [ "$APP_CODE" = 5 ] || fail "$1: exit code $APP_CODE, not 5"
  expect_log '[START]' 'Process:Update:To->C:\Apps\Galvano' "Error:CheckOnSvr:$2" '[END]'
  [ -e "$app/fresh.txt" ] && fail "$1: the update went on"
  [ -z "$(test_files "$data")" ] || fail "$1: test file left: $(test_files "$data")"
}

# reg_text KEY NAME: "REG_SZ <text>" when the value is text.
reg_text() {
  timeout 60 wine reg query "$1" /v "$2" $(hx_reg_view) 2>/dev/null | tr -d '\r' \
    | awk -v n="$2" 'tolower($1) == tolower(n) { $1 = ""; sub(/^ +/, ""); print }'
}

# open_settings: the main window's data-directory button; the settings window's texts in
# $work/settings-texts.txt.
open_settings() {
  probe click "=$main" "..." || { fail "no data-directory button"; return 1; }
  probe wait-window "$settings" 30 >/dev/null || { fail "no settings window"; return 1; }
  probe texts "$settings" >"$work/settings-texts.txt"
}
# submit_refused TEXT: Submit answers with exactly this box, and the settings stay open.
submit_refused() {
  probe click "$settings" "&Submit" || { fail "no Submit"; return; }
  probe wait-text "=Updexar" "$1" 30 || fail "Submit did not say \"$1\": $(probe texts "=Updexar" | tr '\n' '|')"
  probe click "=Updexar" "OK" || fail "no OK"
  probe gone "=Updexar" 20 || fail "the box stayed"
  probe wait-window "$settings" 5 >/dev/null || fail "the settings closed on a refusal"
  probe click "$settings" "&Cancel" || fail "no Cancel"
  probe gone "$settings" 20 || fail "Cancel left the settings open"
}

# The main window from a local copy of the package, as a user starts it.
start_desk() {
  local local_pkg; local_pkg="$(hx_unix_path 'C:\Updates\GalvanoUpd')"
  rm -rf "$local_pkg"; mkdir -p "$(dirname "$local_pkg")"; cp -a "$pkg" "$local_pkg"
  start_app 'C:\Updates\GalvanoUpd\UpdateG.exe'
  probe wait-window "=$main" 60 >/dev/null || { fail "no main window"; return 1; }
}
end_desk() {
  probe key "=$main" ESC; probe click "=Updexar" "&Yes" >/dev/null
  app_ends 30 || fail "the program did not end after Exit"
}

# --- cases ------------------------------------------------------------------------------------

case_settings() {
  seed
  hx_reg_sz "$key" AppPath "$data_win\\"
  hx_reg_delete "$key" Server
  hx_reg_delete "$vek" SvrPort
  start_desk || return
  open_settings || return
  local t="$work/settings-texts.txt"
  has_line "$t" "$(printf 'Edit\t%s' "$data_win")" || fail "data directory not shown without its backslash"
  has_line "$t" $'Edit\tlocalhost' || fail "no server shown as localhost"
  has_line "$t" $'Edit\t7070' || fail "no port shown as 7070"
  [ "$(probe checked "$settings" "Thin Client")" = 0 ] || fail "Thin Client ticked"
  hx_desktop_shot "$shots/server-settings-$kind.png" || fail "no screenshot of the settings"
  probe click "$settings" "&Cancel"; probe gone "$settings" 20 || fail "Cancel left the settings open"

  hx_reg_sz "$vek" SvrPort 0
  open_settings || return
  has_line "$work/settings-texts.txt" $'Edit\t7070' || fail "port 0 not shown as 7070"
  probe click "$settings" "&Cancel"; probe gone "$settings" 20 || fail "Cancel left the settings open"

  # Q: is no drive of this prefix.
  hx_reg_sz "$key" AppPath 'Q:\Data\Galvano'
  open_settings && submit_refused 'Data Path [Q:\Data\Galvano] not found.'
  mkdir -p "$(hx_unix_path 'C:\Data\Other')"
  hx_reg_sz "$key" AppPath 'C:\Data\Other'
  open_settings && submit_refused 'Data Path [C:\Data\Other] is not correct.'
  # Root writes into a read-only folder anyway, and so does Wine run by root; an immutable folder
  # refuses every new file, whoever asks.
  local locked="$work/locked/Galvano"
  mkdir -p "$locked"
  chattr +i "$locked" || fail "could not make $locked immutable"
  local locked_win; locked_win="$(hx_win_path "$locked")"
  hx_reg_sz "$key" AppPath "$locked_win"
  open_settings && submit_refused "Data Path [$locked_win] is Write-Protected."
  chattr -i "$locked"

  # Submit keeps what the window shows, every value as text; the thin client's server is the user's.
  hx_reg_sz "$key" AppPath "$data_win\\"
  open_settings || return
  probe click "$settings" "Thin Client" || fail "no Thin Client box"
  probe click "$settings" "&Submit" || fail "no Submit"
  probe gone "$settings" 20 || { fail "Submit left the settings open: $(probe windows | tr '\n' '|')"; return; }
  [ "$(reg_text "$key" AppPath)" = "REG_SZ $data_win" ] || fail "AppPath saved as '$(reg_text "$key" AppPath)'"
  [ "$(reg_text 'HKCU\Software\VEKInfo\Galvano' ThinClient)" = 'REG_SZ 1' ] \
    || fail "ThinClient saved as '$(reg_text 'HKCU\Software\VEKInfo\Galvano' ThinClient)'"
  [ "$(reg_text 'HKCU\Software\VEKInfo\Galvano' Server)" = 'REG_SZ localhost' ] \
    || fail "Server saved as '$(reg_text 'HKCU\Software\VEKInfo\Galvano' Server)'"
  [ -z "$(reg_text "$key" Server)" ] || fail "a thin client's server went to the machine's settings"
  [ "$(reg_text "$vek" SvrPort)" = 'REG_SZ 7070' ] || fail "SvrPort saved as '$(reg_text "$vek" SvrPort)'"
  probe texts "=$main" >"$work/main-after-submit.txt"
  has_line "$work/main-after-submit.txt" "$(printf 'Edit\t%s' "$data_win")" || fail "the main window does not show the saved directory"
  end_desk
}

case_service() {
  seed
  hx_reg_sz "$vek" SvrPort "$(hx_free_port)"
  start_service || return
  run_unattended || return
  [ "$APP_CODE" = 0 ] || fail "confirmed: exit code $APP_CODE, not 0"
  expect_log '[START]' 'Process:Update:To->C:\Apps\Galvano' 'Process:Update:OK' '[END]'
  [ "$(cat "$app/fresh.txt" 2>/dev/null)" = new ] || fail "confirmed: nothing installed"
  [ -f "$data/SoftUpdates/Upd1/UpdateG.exe" ] || fail "confirmed: the update was not stored in the data directory"
  [ -z "$(test_files "$data")" ] || fail "confirmed: test file left: $(test_files "$data")"

  # The service reads its data directory for each request: now it looks into another folder.
  rm -f "$app/fresh.txt"
  on_server hx_reg_sz "$key" AppPath 'C:\Other\Galvano'
  refused elsewhere "Software Data Directory [$data_win] could not be verified from the server"
  stop_service
}

case_failures() {
  seed
  local closed; closed="$(hx_free_port)"
  hx_reg_sz "$vek" SvrPort "$closed"
  refused closed "Error Occured while Connecting to $service_name-10061 : Connection is forcefully rejected"

  start_standin old || return
  refused old "Old Version of $service_name is running on Server"
  stop_standin
  start_standin garbage || return
  refused garbage "Failed to Verify Software Data Directory [$data_win] from the server"
  stop_standin
  start_standin silent || return
  refused silent "Connected to $service_name but Failed to Retrieve Data"
  stop_standin
}

# start_check: Update, Yes, and the check waits on the silent stand-in; the test file is there.
start_check() {
  local requests; requests="$(grep -c '^request' "$work/standin-silent.txt")"
  probe click "=$main" "&Update >>" || { fail "no Update button"; return 1; }
  probe wait-text "=Updexar" "Do you really want to Update software on Local Machine ?" 30 || { fail "no question"; return 1; }
  probe click "=Updexar" "&Yes" || { fail "no Yes"; return 1; }
  probe wait-text "$settings" "Verifying Software Data Directory from Server ..." 60 || { fail "no wait"; return 1; }
  local end=$((SECONDS + 30))
  while [ "$(grep -c '^request' "$work/standin-silent.txt")" = "$requests" ] && [ $SECONDS -lt $end ]; do sleep 0.1; done
  [ "$(test_files "$data" | wc -l)" = 1 ] || fail "test files while waiting: '$(test_files "$data")'"
}

case_desk() {
  seed
  start_standin silent || return
  start_desk || return
  start_check || return
  local question="Connected to $service_name but Failed to Retrieve Data.\\r\\n\\r\\nDo you want to Retry?"
  local answer
  for answer in '&Yes' '&No'; do
    probe wait-window "=Updexar" 60 >/dev/null || { fail "no question after the wait"; return; }
    probe texts "=Updexar" >"$work/desk-question.txt"
    grep -qxF "$(printf 'Static\t%s' "$question")" "$work/desk-question.txt" \
      || fail "question: $(tr '\n' '|' <"$work/desk-question.txt")"
    probe click "=Updexar" "$answer" || fail "no $answer"
    probe gone "=Updexar" 20 || fail "the question stayed"
  done
  probe wait-text "$settings" "&Submit" 20 || fail "No did not lead back to the settings"
  probe texts "$settings" >"$work/desk-settings.txt"
  has_line "$work/desk-settings.txt" $'Edit\t127.0.0.1' || fail "the settings do not show the server"
  probe click "$settings" "&Cancel"; probe gone "$settings" 20 || fail "Cancel left the settings open"
  end_desk

  # In real time the wait is long enough to leave by hand.
  UPDEXAR_TIME_SCALE=1 start_desk || return
  start_check || return
  hx_desktop_shot "$shots/server-check-wait-$kind.png" || fail "no screenshot of the wait"
  probe click "$settings" "&Settings" || fail "no Settings button"
  # Far less than the 30 s the wait would take.
  probe wait-text "$settings" "&Submit" 5 || fail "Settings did not lead to the settings at once"
  probe windows | grep -qx $'.*\tUpdexar' && fail "a box came with Settings"
  probe click "$settings" "&Cancel"; probe gone "$settings" 20 || fail "Cancel left the settings open"

  start_check || return
  probe click "$settings" "&Cancel" || fail "no Cancel"
  probe gone "$settings" 5 || fail "Cancel during the wait left the window open"
  [ -z "$(test_files "$data")" ] || fail "Cancel left the test file: $(test_files "$data")"
  probe windows | grep -qx $'.*\tUpdexar' && fail "a box came with Cancel"
  end_desk
  stop_standin
}

# --- run --------------------------------------------------------------------------------------

# The prefix is shared with the other tests, which expect no server settings.
case_cleanup() {
  stop_service; stop_standin
  chattr -i "$work/locked/Galvano" 2>/dev/null
  local name
  for name in InstallPath AppPath Server DefVal; do hx_reg_delete "$key" "$name"; done
  hx_reg_delete "$vek" SvrPort
  for name in ThinClient Server; do hx_reg_delete 'HKCU\Software\VEKInfo\Galvano' "$name"; done
}
run_cases "${cases[@]}" cleanup
hx_log "screenshots in $shots"
