#!/usr/bin/env bash
# repair_wine.sh UpdateG.exe ui_probe.exe recorder.exe [CASE...]
# The real utility, run unattended for Galvano with this computer as the server, looks at the
# product's version table before the update: in a MariaDB server of the test's own, reached with
# the account, port and driver of VEKCONFIG.INI's [MySql] section.
#   damaged  a MyISAM VerInfo whose index is gone, then one whose index is cut short (in a
#            database named by the registry): mended, every row kept
#   intact   opened and left alone
#   passed   a wrong password, a driver name the ODBC set-up lacks, a server that never answers
#            and a stopped server: the update goes on and logs nothing about it. What each adds
#            to a run is measured against runs that leave the database out.
set -u
. "$(dirname "$0")/harness/harness.sh"
. "$(dirname "$0")/harness/mariadb.sh"
[ $# -ge 3 ] || hx_fail "usage: repair_wine.sh UpdateG.exe ui_probe.exe recorder.exe [CASE...]"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
exe="$1" probe_exe="$2" recorder="$3"
shift 3
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(damaged intact passed)
shots="$UPDEXAR_WINE_ROOT/runs"   # no pictures here

for name in "MySQL ODBC 5.1 Driver" "MySQL"; do
  grep -qxF "[$name]" /etc/odbcinst.ini 2>/dev/null \
    || hx_fail "the ODBC driver [$name] is not in /etc/odbcinst.ini (run .ci/install-deps)"
done

. "$(dirname "$0")/harness/app.sh"
app_begin repair
key='HKLM\Software\VEKInfo\Galvano'
app="$(hx_unix_path 'C:\Apps\Galvano')"
pkg="$share/Upd1"
data="$share/Data/Galvano"
# The start countdown passes in a blink; the database's own time-out is real time regardless.
export UPDEXAR_TIME_SCALE=100

mdb_start "$work/mariadb"
# Every statement the program sends, one file per run.
mdb_sql "SET GLOBAL log_output='FILE'; SET GLOBAL general_log_file='$work/general-setup.log';
         SET GLOBAL general_log=1" || hx_fail "could not turn on the server's general log"
password='Qor-7-zolt'
mdb_sql "CREATE DATABASE Galvano; CREATE DATABASE galvano_hq" || hx_fail "could not make the databases"
mdb_account zolt "$password" Galvano
mdb_sql "GRANT ALL ON galvano_hq.* TO 'zolt'@'%'" || hx_fail "could not give zolt galvano_hq"

# ini USER PASSWORD PORT DRIVERVERSION: the account of MySQL 5.1 in VEKCONFIG.INI.
ini() {
  printf '[MySql]\r\nUID_51=%s\r\nPWD_51=%s\r\nPort_51=%s\r\nDriverVer_51=%s\r\n' "$@" >"$sysdir/VEKCONFIG.INI"
}

# Galvano installed here, its data directory on the share and this computer as its server.
setup() {
  hx_reg_sz "$key" InstallPath 'C:\Apps\Galvano\'
  hx_reg_sz "$key" AppPath '\\SERVER\share\Data\Galvano'
  hx_reg_delete "$key" Server
  hx_reg_delete "$key" Database
  hx_reg_sz "$key" MySqlVer 5.1
  ini zolt "$password" "$MDB_PORT" 5.1
}

# table DATABASE: VerInfo made afresh, MyISAM with a key, 300 rows; its checksum in SUM.
SUM=""
table() {
  mdb_sql "DROP TABLE IF EXISTS $1.VerInfo;
           CREATE TABLE $1.VerInfo (Module VARCHAR(40) PRIMARY KEY, Version VARCHAR(20), Built DATE) ENGINE=MyISAM;
           INSERT INTO $1.VerInfo SELECT CONCAT('Module', seq), CONCAT('7.2.', seq), '2026-11-30' - INTERVAL seq DAY
             FROM seq.seq_1_to_300;" || hx_fail "could not make $1.VerInfo"
  SUM="$(mdb_sql "CHECKSUM TABLE $1.VerInfo EXTENDED")"
}

# run NAME: one unattended run, as a LAN run starts it, from a fresh installation and package. The
# server's general log of the run in $work/general-NAME.log, the run's length in RUN_MS. The update
# must end well with nothing in its log but its own progress.
RUN_MS=""
run() {
  local name="$1" begin
  rm -rf "$app" "$data" "$pkg"
  mkdir -p "$app" "$data" "$pkg/Log1" "$pkg/MiscFls" "$pkg/DLLs/NewUpFls"
  cp "$exe" "$pkg/UpdateG.exe"
  for tool in RegSvr32 RegIni Msizap; do cp "$recorder" "$pkg/MiscFls/$tool.exe"; done
  printf 'new' >"$pkg/DLLs/NewUpFls/fresh.txt"
  printf 'FILE,fresh.txt,fresh.txt,No\r\n' >"$pkg/DLLs/NewUpFls/INDEX.UPD"
  printf 'Upd1,06/12/2026,,\r\nfresh.txt,,,2\r\n' >"$pkg/UpdInfoP.txt"
  [ -n "$MDB_PID" ] && mdb_sql "SET GLOBAL general_log_file='$work/general-$name.log'"
  begin="$(date +%s%N)"
  start_app '\\SERVER\share\Upd1\UpdateG.exe' 'AUTOUPD-Galvano:\\SERVER\share\Upd1:3:Log1:1:0:N'
  app_ends 120 || { fail "$name: the program did not end"; hx_stop_prefix; return 1; }
  RUN_MS=$(( ($(date +%s%N) - begin) / 1000000 ))
  # Switching files closes the run's, so all of it is on disk.
  [ -n "$MDB_PID" ] && mdb_sql "SET GLOBAL general_log_file='$work/general-between.log'"
  [ "$APP_CODE" = 0 ] || fail "$name: exit code $APP_CODE, not 0"
  cmp -s "$pkg/Log1/3.log" <(printf '%s\r\n' '[START]' 'Process:Update:To->C:\Apps\Galvano' 'Process:Update:OK' '[END]') \
    || fail "$name: update log: $(tr -d '\r' <"$pkg/Log1/3.log" 2>/dev/null | tr '\n' '|')"
  [ "$(cat "$app/fresh.txt" 2>/dev/null)" = new ] || fail "$name: nothing installed"
}

# sent NAME PATTERN: the program ran a statement matching PATTERN in run NAME (the driver prepares
# the statements that give rows, and a prepare that fails is not logged).
sent() { grep -qE "[0-9] (Query|Execute)"$'\t'"$2\$" "$work/general-$1.log" 2>/dev/null; }
# connected NAME DATABASE: the program logged in over TCP, as zolt, to the database.
connected() { grep -qE "[0-9] Connect"$'\t'"zolt@[^ ]+ on $2 using TCP/IP\$" "$work/general-$1.log" 2>/dev/null; }

# mended NAME DATABASE: the run repaired the table from its definition, and it now opens with the
# rows it had.
mended() {
  connected "$1" "$2" || fail "$1: the program did not log in to $2"
  sent "$1" 'REPAIR TABLE VerInfo USE_FRM' || fail "$1: no repair from the definition"
  sent "$1" 'REPAIR TABLE VerInfo EXTENDED' && fail "$1: a thorough repair although the first one mended it"
  [ "$(mdb_sql "CHECKSUM TABLE $2.VerInfo EXTENDED" 2>&1)" = "$SUM" ] || fail "$1: rows differ after the repair"
  [ "$(mdb_sql "CHECK TABLE $2.VerInfo" 2>&1 | cut -f3,4 | tail -1)" = $'status\tOK' ] \
    || fail "$1: the table checks as: $(mdb_sql "CHECK TABLE $2.VerInfo" 2>&1 | tr '\n\t' '| ')"
  [ "$(mdb_sql "SELECT Version FROM $2.VerInfo WHERE Module = 'Module217'" 2>&1)" = 7.2.217 ] \
    || fail "$1: a look-up by key fails after the repair"
}

# --- cases ------------------------------------------------------------------------------------

case_damaged() {
  setup
  table Galvano
  mdb_damage Galvano VerInfo delete
  mdb_sql "SELECT COUNT(*) FROM Galvano.VerInfo" >/dev/null 2>&1 && { fail "the damage did not take"; return; }
  run gone && mended gone Galvano

  # The registry names the database: any name that begins with the product's, in any case.
  hx_reg_sz "$key" Database galvano_hq
  table galvano_hq
  mdb_damage galvano_hq VerInfo truncate
  run cut && mended cut galvano_hq
}

case_intact() {
  setup
  table Galvano
  run intact || return
  connected intact Galvano || fail "the program did not log in"
  sent intact 'SELECT \* FROM VerInfo' || fail "the program did not open the table"
  grep -qiE "[0-9] Query"$'\t'"(REPAIR|CHECK|OPTIMIZE|ALTER)" "$work/general-intact.log" \
    && fail "an intact table was worked on: $(grep -iE 'REPAIR|CHECK|OPTIMIZE|ALTER' "$work/general-intact.log" | tr '\n\t' '| ')"
  [ "$(mdb_sql "CHECKSUM TABLE Galvano.VerInfo EXTENDED")" = "$SUM" ] || fail "the rows changed"
}

# timed NAME WHAT: a run; its length against the middle of the runs without the database goes to
# the report, and what it added to ADDED[NAME].
timings=()
declare -A ADDED
timed() {
  run "$1" || return 1
  ADDED[$1]=$((RUN_MS - base))
  timings+=("$(printf '%-32s %6d ms  (%+d ms)' "$2" "$RUN_MS" "${ADDED[$1]}")")
}

case_passed() {
  setup
  table Galvano
  # Runs that leave the database out (its name is not the product's): what a run costs without it.
  hx_reg_sz "$key" Database Other
  local lengths=() name
  for name in base1 base2 base3; do run "$name" && lengths+=("$RUN_MS"); done
  [ ${#lengths[@]} = 3 ] || return
  base="$(printf '%s\n' "${lengths[@]}" | sort -n | sed -n 2p)"
  timings=("$(printf '%-32s %6d ms  (runs: %s)' 'without the database' "$base" "${lengths[*]}")")
  hx_reg_delete "$key" Database
  timed reached 'the table opened' || return

  ini zolt wrong-password "$MDB_PORT" 5.1
  timed wrong 'a wrong password'
  grep -q "Connect"$'\t'"Access denied for user 'zolt'@" "$work/general-wrong.log" \
    || fail "wrong: the server saw no refused login"

  # The driver manager reads its drivers from the folder ODBCSYSINI names: one without 5.1.
  mkdir -p "$work/odbc"
  awk '/^\[/ { keep = ($0 == "[MySQL]") } keep' /etc/odbcinst.ini >"$work/odbc/odbcinst.ini"
  ini zolt "$password" "$MDB_PORT" 5.1
  ODBCSYSINI="$work/odbc" timed driver 'a driver not registered'
  grep -q 'using TCP/IP$' "$work/general-driver.log" && fail "driver: the program logged in through a driver it should not find"

  mdb_silent_start
  ini zolt "$password" "$MDB_SILENT_PORT" 5.1
  timed silent 'a server that never answers'

  local port="$MDB_PORT"
  mdb_stop
  ini zolt "$password" "$port" 5.1
  timed stopped 'a stopped server'

  printf '%s\n' "${timings[@]}" >"$work/timings.txt"
  hx_log "run lengths in the $kind prefix:"
  printf '  %s\n' "${timings[@]}" >&2
  # A refusal comes at once and must not cost the connect's time-out of 5 s; silence costs about
  # that, and no more.
  for name in wrong driver stopped; do
    [ "${ADDED[$name]:-99999}" -lt 5000 ] || fail "$name: the run took ${ADDED[$name]:-?} ms longer"
  done
  [ "${ADDED[silent]:-0}" -ge 3000 ] && [ "${ADDED[silent]:-0}" -lt 15000 ] \
    || fail "silent: the run took ${ADDED[silent]:-?} ms longer, not about the connect's 5 s"
}

# --- run --------------------------------------------------------------------------------------

# The prefix is shared with the other tests, which expect no database settings.
case_cleanup() {
  local name
  for name in InstallPath AppPath Server Database MySqlVer; do hx_reg_delete "$key" "$name"; done
  rm -f "$sysdir/VEKCONFIG.INI"
}
run_cases "${cases[@]}" cleanup
