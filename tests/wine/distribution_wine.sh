#!/usr/bin/env bash
# distribution_wine.sh UpdateG.exe ui_probe.exe recorder.exe [CASE...]
# The real utility, unattended, stores a Galvano package from \\SERVER\share in the data
# directory on another share (\\DATASRV\data) before it updates this computer:
#   stores     one data directory through its states: nothing stored, the same update stored, the
#              marker's folder gone, an older update stored, a newer one stored; a root that
#              cannot be made (SoftUpdates a file, the share missing). The package's report
#              folders never reach the stored copy.
#   refusals   the update-information file and the installation refuse the update, each with
#              its log line, and the data directory stays as it was
set -u
. "$(dirname "$0")/harness/harness.sh"
. "$(dirname "$0")/harness/app.sh"
[ $# -ge 3 ] || hx_fail "usage: distribution_wine.sh UpdateG.exe ui_probe.exe recorder.exe [CASE...]"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
exe="$1" probe_exe="$2" recorder="$3"
shift 3
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(stores refusals)
shots="$UPDEXAR_WINE_ROOT/runs"   # no pictures here

app_begin distribution
data="$work/data"
hx_map_share DATASRV data "$data"
app="$(hx_unix_path 'C:\Apps\Galvano')"
sysdir="$(hx_unix_path 'C:\windows\system32')"
soft="$data/Galvano/SoftUpdates"
export UPDEXAR_TIME_SCALE=100   # the 15 s start wait
# The long date in the log is the user's format; the test knows the one of Wine's default locale.
export LC_ALL=C.UTF-8

hx_reg_sz 'HKLM\Software\VEKInfo\Galvano' InstallPath 'C:\Apps\Galvano\'
hx_reg_sz 'HKLM\Software\VEKInfo\Galvano' AppPath '\\DATASRV\data\Galvano'
# Another test in this prefix may have left the VEK service program in the system folder; the
# update would install the service from it.
find "$sysdir" -maxdepth 1 -iname veksvrreg.exe -delete
rm -rf "$app"; mkdir -p "$app" "$data/Galvano"
printf 'keep' >"$app/keep.dll"; touch -d '2026-12-06 12:00' "$app/keep.dll"
printf 'old' >"$app/old.dll"; touch -d '2026-11-01 12:00' "$app/old.dll"

# package NAME [INFO-RECORD...]: a package in the share whose UpdInfoP.txt holds the records (no
# such file without them), with the run's report folder and another machine's.
package() {
  local pkg="$share/$1"; shift
  rm -rf "$pkg"
  mkdir -p "$pkg/Log1" "$pkg/Log2" "$pkg/MiscFls" "$pkg/DLLs/NewUpFls/Sub"
  cp "$exe" "$pkg/UpdateG.exe"
  cp "$recorder" "$pkg/MiscFls/RegSvr32.exe"
  printf 'FILE,Sub\\file.bin,Sub\\file.bin,Always\r\n' >"$pkg/DLLs/NewUpFls/INDEX.UPD"
  printf 'sub' >"$pkg/DLLs/NewUpFls/Sub/file.bin"
  printf 'other machine' >"$pkg/Log2/4.log"
  [ $# = 0 ] || printf '%s\r\n' "$@" >"$pkg/UpdInfoP.txt"
}

# run NAME: the program as a LAN run starts it from package NAME; exit code in APP_CODE.
run() {
  rm -f "$share/$1/Log1/3.log" "$share/$1/Log1/3.txt"
  start_app "\\\\SERVER\\share\\$1\\UpdateG.exe" "AUTOUPD-Galvano:\\\\SERVER\\share\\$1:3:Log1:1:0:N"
  app_ends 120 || { fail "$1: the program did not end"; hx_stop_prefix; return 1; }
}

# expect_log NAME LINE...: the update log of package NAME holds exactly these lines.
expect_log() {
  local log="$share/$1/Log1/3.log"; shift
  cmp -s "$log" <(printf '%s\r\n' "$@") && return 0
  fail "update log differs:"
  diff <(printf '%s\n' "$@") <(tr -d '\r' <"$log" 2>/dev/null) >&2
}

# updated NAME: the run ended well.
updated() {
  [ "$APP_CODE" = 0 ] || fail "$1: exit code $APP_CODE, not 0"
  expect_log "$1" '[START]' 'Process:Update:To->C:\Apps\Galvano' 'Process:Update:OK' '[END]'
}

# refused NAME PROCEDURE:TEXT: the run ended on that line, and the data directory is as before.
refused() {
  [ "$APP_CODE" = 6 ] || fail "$1: exit code $APP_CODE, not 6"
  expect_log "$1" '[START]' 'Process:Update:To->C:\Apps\Galvano' "Error:$2" '[END]'
  [ "$(state)" = "$before" ] || { fail "$1: the data directory changed:"; diff <(echo "$before") <(state) >&2; }
}

# The data directory, every file with its size, inode and time and every folder: what a store
# would change. Folders' times are left out: the server check before the store writes and removes
# its test file in the data directory on every run.
state() { (cd "$data" && find . -mindepth 1 \( -type d -printf '%p folder\n' \) -o -printf '%p %s %i %T@\n' | sort); }

# stored NAME: SoftUpdates\NAME is the package without its report folders.
stored() {
  local expected="$work/expected-$1"
  rm -rf "$expected"; cp -a "$share/$1" "$expected"; rm -rf "$expected/Log1" "$expected/Log2"
  diff -r "$expected" "$soft/$1" >&2 || fail "$1: the stored folder is not the package without its reports"
}

# --- cases ------------------------------------------------------------------------------------

case_stores() {
  local before marker
  package Upd1 'Upd1,06/12/2026,,' 'new.dll,,06/12/2026,2' 'keep.dll,,06/12/2026,2'
  # Nothing stored yet.
  rm -rf "$soft"
  run Upd1 || return
  updated Upd1
  stored Upd1
  cmp -s "$share/Upd1/UpdInfoP.txt" "$soft/UpdInfoP.txt" || fail "the marker is not the package's info file"
  [ "$(ls -A "$soft" | tr '\n' ' ')" = "Upd1 UpdInfoP.txt " ] || fail "SoftUpdates holds: $(ls -A "$soft")"

  # The same update stored: nothing is copied again.
  printf 'mine' >"$soft/Upd1/extra.txt"
  before="$(state)"
  run Upd1 || return
  updated Upd1
  [ "$(state)" = "$before" ] || fail "the stored update was touched again"

  # The marker names this update but its folder is gone: stored again, the marker stays.
  rm -rf "$soft/Upd1"
  marker="$(stat -c '%i %Y' "$soft/UpdInfoP.txt")"
  run Upd1 || return
  updated Upd1
  stored Upd1
  [ "$(stat -c '%i %Y' "$soft/UpdInfoP.txt")" = "$marker" ] || fail "the marker was replaced"

  # An older update stored. Nothing on this computer needs this one; it goes on all the same.
  package Upd2 'Upd2,07/12/2026 10:30:00,,' 'keep.dll,,06/12/2026,2'
  run Upd2 || return
  updated Upd2
  stored Upd2
  cmp -s "$share/Upd2/UpdInfoP.txt" "$soft/UpdInfoP.txt" || fail "the marker does not name the newer update"
  [ "$(ls -A "$soft" | tr '\n' ' ')" = "Upd2 UpdInfoP.txt " ] || fail "after the newer update SoftUpdates holds: $(ls -A "$soft")"

  # A newer update stored.
  before="$(state)"
  run Upd1 || return
  refused Upd1 'CopyUpdateToDataPath:A Higher Version of Software Update dated [07/12/2026 10:30:00] is available in Software Data Directory, which has been Updated on any Other Computer over Network'

  # No root for the store: SoftUpdates is a file, or the data directory's share is not there.
  rm -rf "$soft"; printf 'x' >"$soft"
  before="$(state)"
  run Upd1 || return
  refused Upd1 'CopyUpdateToDataPath:Failed to Create Folder [\\DATASRV\data\Galvano\SoftUpdates]'
  rm -f "$soft"; before="$(state)"
}

case_refusals() {
  local before
  rm -rf "$soft"
  before="$(state)"
  local long='Sunday, November 1, 2026'
  local line records
  # LINE|RECORD;RECORD...
  while IFS='|' read -r -u 3 line records; do
    IFS=';' read -r -a records <<<"$records"
    package Upd1 "${records[@]}"
    run Upd1 || return
    refused Upd1 "$line"
  done 3<<EOF
CopyUpdateToDataPath:Missing Update Info File|
CopyUpdateToDataPath:Not a Valid Update Info File|new.dll,,06/12/2026,2
CopyUpdateToDataPath:Invalid Update Name [Other] in Info File|Other,06/12/2026,,;new.dll,,,2
CopyUpdateToDataPath:Invalid Update Date [6/12/26] in Info File|Upd1,6/12/26,,;new.dll,,,2
CheckFileVer:File [C:\Apps\Galvano\old.dll] last modified on [$long] is not updated to support this Update|Upd1,06/12/2026,,;keep.dll,01/12/2026,,2;old.dll,02/11/2026,,2
CheckFileVer:File [C:\windows\system32\gone.dll] is missing and does not support this Update|Upd1,06/12/2026,,;new.dll,,,2;gone.dll,01/01/2026,,1
EOF
}

run_cases "${cases[@]}"
