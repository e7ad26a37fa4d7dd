# wine: win32 screen
# Unattended for Galvano with this computer as its server, the utility looks at the product's
# version table before the update, in a MariaDB server of the test's own reached with the
# account, port and driver of VEKCONFIG.INI's [MySql] section: a MyISAM VerInfo whose index is
# gone, and one whose index is cut short (in a database the registry names), mended with every
# row kept; an intact one opened and left alone; a wrong password, a driver the ODBC set-up
# lacks, a server that never answers and a stopped one passed over, the update going on.
. "$here/harness/mariadb.sh"
export UPDEXAR_TIME_SCALE=100
key='HKLM\Software\VEKInfo\Galvano' password='Qor-7-zolt'
mdb_start "$work/mariadb"
mdb_sql "SET GLOBAL log_output='FILE'; SET GLOBAL general_log_file='$work/general-setup.log'; SET GLOBAL general_log=1;
         CREATE DATABASE Galvano; CREATE DATABASE galvano_hq" || hx_fail "could not prepare the server"
mdb_account zolt "$password" Galvano
mdb_sql "GRANT ALL ON galvano_hq.* TO 'zolt'@'%'" || hx_fail "could not give zolt galvano_hq"
ini() { printf '[MySql]\r\nUID_51=zolt\r\nPWD_51=%s\r\nPort_51=%s\r\nDriverVer_51=5.1\r\n' "$1" "$2" >"$sysdir/VEKCONFIG.INI"; }
cleanup() { local n; for n in InstallPath AppPath Database MySqlVer; do hx_reg_delete "$key" $n; done; rm -f "$sysdir/VEKCONFIG.INI"; }
seed() { rm -rf "$app" "$share/Data"; galvano; package "$share/Upd1"; }
galvano; hx_reg_delete "$key" Server; hx_reg_sz "$key" MySqlVer 5.1; ini "$password" "$MDB_PORT"

# table DATABASE: VerInfo made afresh, MyISAM with a key, 300 rows; its checksum in SUM.
table() {
  mdb_sql "DROP TABLE IF EXISTS $1.VerInfo;
           CREATE TABLE $1.VerInfo (Module VARCHAR(40) PRIMARY KEY, Version VARCHAR(20), Built DATE) ENGINE=MyISAM;
           INSERT INTO $1.VerInfo SELECT CONCAT('Module', seq), CONCAT('7.2.', seq), '2026-11-30' - INTERVAL seq DAY
             FROM seq.seq_1_to_300;" || fail "could not make $1.VerInfo"
  SUM="$(mdb_sql "CHECKSUM TABLE $1.VerInfo EXTENDED")"
}
# run NAME: an unattended run that updates and logs nothing about the database; the server's log
# of the run in $work/general-NAME.log.
run() {
  [ -n "$MDB_PID" ] && mdb_sql "SET GLOBAL general_log_file='$work/general-$1.log'"
  unattended 0 '' 'Process:Update:OK'
  # Switching files closes the run's, so all of it is on disk.
  [ -n "$MDB_PID" ] && mdb_sql "SET GLOBAL general_log_file='$work/general-between.log'"
  is "$app/fresh.txt" new
}
# sent NAME PATTERN: a statement of run NAME (the driver prepares what gives rows, and a prepare
# that fails is not logged).
sent() { grep -qE "[0-9] (Query|Execute)"$'\t'"$2\$" "$work/general-$1.log" 2>/dev/null; }
# mended NAME DATABASE: logged in to it, repaired from the definition alone, every row kept and
# found by its key.
mended() {
  grep -qE "[0-9] Connect"$'\t'"zolt@[^ ]+ on $2 using TCP/IP\$" "$work/general-$1.log" || fail "$1: no login to $2"
  sent "$1" 'REPAIR TABLE VerInfo USE_FRM' || fail "$1: no repair from the definition"
  sent "$1" 'REPAIR TABLE VerInfo EXTENDED' && fail "$1: a thorough repair after the first had mended it"
  [ "$(mdb_sql "CHECKSUM TABLE $2.VerInfo EXTENDED" 2>&1)" = "$SUM" ] || fail "$1: rows differ after the repair"
  [ "$(mdb_sql "SELECT Version FROM $2.VerInfo WHERE Module = 'Module217'" 2>&1)" = 7.2.217 ] || fail "$1: the key fails"
}

case_damaged() {
  table Galvano; mdb_damage Galvano VerInfo delete
  run gone; mended gone Galvano
  # The registry names the database: any name that begins with the product's, in any case.
  hx_reg_sz "$key" Database galvano_hq
  table galvano_hq; mdb_damage galvano_hq VerInfo truncate
  run cut; mended cut galvano_hq
  hx_reg_delete "$key" Database
}

case_intact() {
  table Galvano
  run intact
  sent intact 'SELECT \* FROM VerInfo' || fail "the program did not open the table"
  grep -qiE "[0-9] Query"$'\t'"(REPAIR|CHECK|OPTIMIZE|ALTER)" "$work/general-intact.log" && fail "an intact table was worked on"
  [ "$(mdb_sql "CHECKSUM TABLE Galvano.VerInfo EXTENDED")" = "$SUM" ] || fail "the rows changed"
}

case_passed() {
  ini wrong-password "$MDB_PORT"; run wrong
  grep -q "Connect"$'\t'"Access denied for user 'zolt'@" "$work/general-wrong.log" || fail "the server saw no refused login"
  # The driver manager reads its drivers from the folder ODBCSYSINI names: one without 5.1.
  mkdir -p "$work/odbc"; awk '/^\[/ { keep = ($0 == "[MySQL]") } keep' /etc/odbcinst.ini >"$work/odbc/odbcinst.ini"
  ini "$password" "$MDB_PORT"; ODBCSYSINI="$work/odbc" run driver
  grep -q 'using TCP/IP$' "$work/general-driver.log" && fail "a login through a driver the set-up lacks"
  mdb_silent_start; ini "$password" "$MDB_SILENT_PORT"; run silent
  local port="$MDB_PORT"; mdb_stop; ini "$password" "$port"; run stopped
}
