# wine: win32 wow64 timeout=1200
# The Windows implementations for real (GoogleTest), with the contract tests the fakes pass too;
# then the database contract through odbc32 and the 32-bit MariaDB driver to a server of the
# test's own: an intact MyISAM table, one whose index is gone and one whose index is cut short, a
# stopped server and one that never answers.
. "$here/harness/mariadb.sh"
# gtests PROGRAM: its report in $work.
gtests() {
  timeout --kill-after=10 900 wine "$1" "--gtest_output=xml:$(hx_win_path "$work/$(basename "$1" .exe).xml")" 2>&1 \
    | tr -d '\r' >"$work/$(basename "$1" .exe).txt"
  [ "${PIPESTATUS[0]}" = 0 ] || fail "$(basename "$1") failed: $(grep -E '^\[  FAILED|Failure' "$work/$(basename "$1" .exe).txt" | head -20)"
}

case_platform() {
  hx_xvfb_start
  gtests "$PLATFORM_TESTS"
}

case_database() {
  local name
  for name in "MySQL ODBC 3.51 Driver" "MySQL ODBC 5.1 Driver" "MySQL"; do
    grep -qxF "[$name]" /etc/odbcinst.ini || fail "the ODBC driver [$name] is not registered (run .ci/install-deps)"
  done
  mdb_start "$work/mariadb"
  mdb_sql "CREATE DATABASE galvano" || fail "could not make the database"
  mdb_account zolt 'Qor-7-zolt' galvano
  for name in vertab vertab_gone vertab_cut; do
    mdb_sql "CREATE TABLE galvano.$name (Product VARCHAR(20), Version VARCHAR(20)) ENGINE=MyISAM;
             INSERT INTO galvano.$name VALUES ('Galvano', '7.2.0'), ('Tarsel', '7.1.4');" || fail "could not make $name"
  done
  mdb_damage galvano vertab_gone delete
  mdb_damage galvano vertab_cut truncate
  hx_silent_start "$work/silent.port"
  export UPDEXAR_TEST_DB_PORT="$MDB_PORT" UPDEXAR_TEST_DB_SILENT_PORT="$HX_SILENT_PORT"
  # Where nothing listens any more, as after the server there was stopped.
  export UPDEXAR_TEST_DB_STOPPED_PORT="$(hx_free_port)"
  export UPDEXAR_TEST_DB_USER=zolt UPDEXAR_TEST_DB_PASSWORD='Qor-7-zolt' UPDEXAR_TEST_DB_NAME=galvano
  export UPDEXAR_TEST_DB_INTACT=vertab UPDEXAR_TEST_DB_DAMAGED='vertab_gone vertab_cut'
  gtests "$DATABASE_TESTS" || return
  # The repairs really happened on the server, rows and all.
  [ "$(mdb_sql "SELECT COUNT(*) FROM galvano.vertab_gone; SELECT COUNT(*) FROM galvano.vertab_cut" | tr '\n' ' ')" = "2 2 " ] \
    || fail "the mended tables lost rows"
}

# The machine-list tool's Windows build, as its users run it: the same checks as natively.
case_upl() { bash "$UPL_TEST" wine "$UPL" >"$work/upl.txt" 2>&1 || fail "updexar-upl.exe: $(tail -5 "$work/upl.txt")"; }
# The package tool's Windows build, as package authors run it: the same checks as natively.
case_pack() { bash "$PACK_TEST" "$EXAMPLE" wine "$PACK" >"$work/pack.txt" 2>&1 || fail "updexar-pack.exe: $(grep FAIL "$work/pack.txt" | head -5)"; }
