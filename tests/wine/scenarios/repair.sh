# wine: win32 screen
# Unattended for Galvano with this computer as its server, the utility looks at the product's
# version table before the update, in a MariaDB server of the test's own reached with the
# account, port and driver of VEKCONFIG.INI's [MySql] section: a MyISAM VerInfo whose index is
# gone mended with every row kept, and a login the server refuses passed over, the update going
# on. (Which database, and an intact table left alone, are the unit tier's; an index cut short,
# other failed connections and the driver's refusals are the database contract's, in `platform`.)
. "$here/harness/mariadb.sh"
export UPDEXAR_TIME_SCALE=100
key='HKLM\Software\VEKInfo\Galvano' password='Qor-7-zolt'
mdb_start "$work/mariadb"
mdb_sql "SET GLOBAL log_output='FILE'; SET GLOBAL general_log_file='$work/general-setup.log'; SET GLOBAL general_log=1;
         CREATE DATABASE Galvano" || hx_fail "could not prepare the server"
mdb_account zolt "$password" Galvano
ini() { printf '[MySql]\r\nUID_51=zolt\r\nPWD_51=%s\r\nPort_51=%s\r\nDriverVer_51=5.1\r\n' "$1" "$2" >"$sysdir/VEKCONFIG.INI"; }
cleanup() { local n; for n in InstallPath AppPath MySqlVer; do hx_reg_delete "$key" $n; done; rm -f "$sysdir/VEKCONFIG.INI"; }
seed() { rm -rf "$app" "$share/Data"; galvano; package "$share/Upd1"; }
galvano; hx_reg_delete "$key" Server; hx_reg_sz "$key" MySqlVer 5.1; ini "$password" "$MDB_PORT"

# VerInfo made afresh, MyISAM with a key, 300 rows; its checksum in SUM.
mdb_sql "CREATE TABLE Galvano.VerInfo (Module VARCHAR(40) PRIMARY KEY, Version VARCHAR(20), Built DATE) ENGINE=MyISAM;
         INSERT INTO Galvano.VerInfo SELECT CONCAT('Module', seq), CONCAT('7.2.', seq), '2026-11-30' - INTERVAL seq DAY
           FROM seq.seq_1_to_300;" || hx_fail "could not make the table"
SUM="$(mdb_sql "CHECKSUM TABLE Galvano.VerInfo EXTENDED")"
# run NAME: an unattended run that updates and logs nothing about the database; the server's log
# of the run in $work/general-NAME.log.
run() {
  mdb_sql "SET GLOBAL general_log_file='$work/general-$1.log'"
  unattended 0 '' 'Process:Update:OK'
  # Switching files closes the run's, so all of it is on disk.
  mdb_sql "SET GLOBAL general_log_file='$work/general-between.log'"
  is "$app/fresh.txt" new
}
# sent NAME PATTERN: a statement of run NAME (the driver prepares what gives rows, and a prepare
# that fails is not logged).
sent() { grep -qE "[0-9] (Query|Execute)"$'\t'"$2\$" "$work/general-$1.log" 2>/dev/null; }

# Logged in, repaired from the definition alone, every row kept and found by its key.
case_damaged() {
  mdb_damage Galvano VerInfo delete
  run gone
  grep -qE "[0-9] Connect"$'\t'"zolt@[^ ]+ on Galvano using TCP/IP\$" "$work/general-gone.log" || fail "no login"
  sent gone 'REPAIR TABLE VerInfo USE_FRM' || fail "no repair from the definition"
  sent gone 'REPAIR TABLE VerInfo EXTENDED' && fail "a thorough repair after the first had mended it"
  [ "$(mdb_sql "CHECKSUM TABLE Galvano.VerInfo EXTENDED" 2>&1)" = "$SUM" ] || fail "rows differ after the repair"
  [ "$(mdb_sql "SELECT Version FROM Galvano.VerInfo WHERE Module = 'Module217'" 2>&1)" = 7.2.217 ] || fail "the key fails"
}

case_refused() {
  ini wrong-password "$MDB_PORT"; run wrong
  grep -q "Connect"$'\t'"Access denied for user 'zolt'@" "$work/general-wrong.log" || fail "the server saw no refused login"
}
