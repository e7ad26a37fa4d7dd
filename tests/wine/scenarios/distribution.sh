# wine: win32 screen
# The utility, unattended, stores a Galvano package from \\SERVER\share in the data directory on
# another share (\\DATASRV\data) before it updates this computer: one data directory through its
# states (nothing stored, an older update, a newer one), and the installation's files refusing
# the update by their dates on disk, each with its line while the data directory stays as it was
# (the update information's refusals are the unit tier's). Report folders are never stored.
export UPDEXAR_TIME_SCALE=100
data="$work/data" soft="$work/data/Galvano/SoftUpdates"
hx_map_share DATASRV data "$data"
galvano '\\DATASRV\data\Galvano'
printf 'keep' >"$app/keep.dll"; touch -d '2026-12-06 12:00' "$app/keep.dll"
printf 'old' >"$app/old.dll"; touch -d '2026-11-01 12:00' "$app/old.dll"
# Another test in this prefix may have left the service program, which the update would install.
find "$sysdir" -maxdepth 1 -iname veksvrreg.exe -delete

# pkg NAME INFO-RECORD...: package NAME whose update information holds the records, with this
# run's report folder and another machine's.
pkg() {
  local p="$share/$1"; shift
  package "$p"; printf '%s\r\n' "$@" >"$p/UpdInfoP.txt"
  mkdir -p "$p/Log2"; printf 'other machine' >"$p/Log2/4.log"
}
# Every file of the data directory with its size, inode and time, and every folder: what a store
# would change (folders' times change with the server check's test file).
state() { (cd "$data" && find . -mindepth 1 \( -type d -printf '%p folder\n' \) -o -printf '%p %s %i %T@\n' | sort); }
# stored NAME: SoftUpdates\NAME is the package without its report folders.
stored() { rm -rf "$work/$1"; cp -a "$share/$1" "$work/$1"; rm -rf "$work/$1"/Log*; same "$work/$1" "$soft/$1"; }
updated() { auto 1:0:N "$1" && code_is 0 && log_is "$share/$1/Log1/3.log" '[START]' 'Process:Update:To->C:\Apps\Galvano' 'Process:Update:OK' '[END]'; }
# refused NAME LINE: the run ended on that line, and the data directory is as it was.
refused() {
  local before; before="$(state)"
  auto 1:0:N "$1"; code_is 6
  log_is "$share/$1/Log1/3.log" '[START]' 'Process:Update:To->C:\Apps\Galvano' "Error:$2" '[END]'
  [ "$(state)" = "$before" ] || fail "$1: the data directory changed"
}

case_stores() {
  pkg Upd1 'Upd1,06/12/2026,,' 'new.dll,,06/12/2026,2' 'keep.dll,,06/12/2026,2'
  rm -rf "$soft"
  updated Upd1; stored Upd1
  # An older update stored: this one goes on, though nothing here needs it, and replaces it.
  pkg Upd2 'Upd2,07/12/2026 10:30:00,,' 'keep.dll,,06/12/2026,2'
  updated Upd2; stored Upd2
  [ "$(ls -A "$soft" | tr '\n' ' ')" = "Upd2 UpdInfoP.txt " ] || fail "SoftUpdates holds: $(ls -A "$soft")"
  refused Upd1 'CopyUpdateToDataPath:A Higher Version of Software Update dated [07/12/2026 10:30:00] is available in Software Data Directory, which has been Updated on any Other Computer over Network'
}

# An installed file older than the update wants, by its date on disk in the user's long format.
case_refusals() {
  pkg Upd1 'Upd1,06/12/2026,,' 'keep.dll,01/12/2026,,2' 'old.dll,02/11/2026,,2'
  local file='File [C:\Apps\Galvano\old.dll] last modified on [Sunday, November 1, 2026]'
  refused Upd1 "CheckFileVer:$file is not updated to support this Update"
}

# At the desk a newer stored update takes over: Explorer shows it and its program starts shown (a
# program started hidden shows its first window hidden on Windows); this one stops, changing
# nothing. The stored program is the stand-in, which notes how it was started.
case_higher() {
  pkg Upd1 'Upd1,06/12/2026,,' 'new.dll,,06/12/2026,2'
  rm -rf "$soft" "$work/recorded.txt"; mkdir -p "$soft/Upd3"; cp "$DUMMY" "$soft/Upd3/UpdateG.exe"
  printf 'Upd3,08/12/2026,,\r\n' >"$soft/UpdInfoP.txt"
  local before; before="$(state)"
  desk Upd1
  ui <<'EOF'
on =Updexar -> Galvano -> Upd1
click &Update >>
on =Updexar
click &Yes
on =Updexar
see A Higher Version of Software Update dated [08/12/2026] is available in Software Data Directory*
click OK
EOF
  for _ in $(seq 1 100); do grep -q '^started' "$work/recorded.txt" 2>/dev/null && break; sleep 0.2; done
  grep -qE '^started [0-9]+ show 1 .*SoftUpdates\\Upd3\\UpdateG.exe' <(tr -d '\r' <"$work/recorded.txt" 2>/dev/null) \
    || fail "the stored update's program was not started shown: $(grep started "$work/recorded.txt")"
  [ "$(state)" = "$before" ] || fail "the data directory changed"
  lacks "$app/new.dll"
  leave Upd1
}
