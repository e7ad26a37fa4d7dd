#!/usr/bin/env bash
# database_wine.sh database_wine_tests.exe: the database contract against the ODBC implementation
# in the prefix named by UPDEXAR_WINE_PREFIX, through Wine's odbc32 and the 32-bit MariaDB driver
# registered under the program's driver names, to a MariaDB server of this test's own: an intact
# MyISAM table, one whose index is gone and one whose index is cut short, a port where a server
# was stopped and a server that never answers.
set -u
. "${UPDEXAR_WINE_HARNESS:-$(dirname "$0")/harness}/harness.sh"
. "${UPDEXAR_WINE_HARNESS:-$(dirname "$0")/harness}/mariadb.sh"
[ $# -ge 1 ] || hx_fail "usage: database_wine.sh database_wine_tests.exe [GTEST ARGS...]"
exe="$1"; shift
[ -f "$exe" ] || hx_fail "no test program at $exe"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"

hx_use_prefix "$UPDEXAR_WINE_PREFIX"
kind="$(hx_prefix_kind)"
work="${UPDEXAR_WINE_ROOT:-$(dirname "$UPDEXAR_WINE_PREFIX")}/runs/database-$kind"
rm -rf "$work"
mkdir -p "$work"

for name in "MySQL ODBC 3.51 Driver" "MySQL ODBC 5.1 Driver" "MySQL"; do
  grep -qxF "[$name]" /etc/odbcinst.ini 2>/dev/null \
    || hx_fail "the ODBC driver [$name] is not in /etc/odbcinst.ini (run .ci/install-deps)"
done

started=$SECONDS
mdb_start "$work/mariadb"
mdb_sql "CREATE DATABASE galvano" || hx_fail "could not make the database"
mdb_account zolt 'Qor-7-zolt' galvano
for table in vertab vertab_gone vertab_cut; do
  mdb_sql "CREATE TABLE galvano.$table (Product VARCHAR(20), Version VARCHAR(20)) ENGINE=MyISAM;
           INSERT INTO galvano.$table VALUES ('Galvano', '7.2.0'), ('Tarsel', '7.1.4');" \
    || hx_fail "could not make $table"
done
mdb_damage galvano vertab_gone delete
mdb_damage galvano vertab_cut truncate
mdb_silent_start
hx_log "server ready in $((SECONDS - started))s"

export UPDEXAR_TEST_DB_PORT="$MDB_PORT" UPDEXAR_TEST_DB_SILENT_PORT="$MDB_SILENT_PORT"
# Where nothing listens any more, as after the server there was stopped.
export UPDEXAR_TEST_DB_STOPPED_PORT="$(hx_free_port)"
export UPDEXAR_TEST_DB_USER=zolt UPDEXAR_TEST_DB_PASSWORD='Qor-7-zolt' UPDEXAR_TEST_DB_NAME=galvano
export UPDEXAR_TEST_DB_INTACT=vertab UPDEXAR_TEST_DB_DAMAGED='vertab_gone vertab_cut'

begin="$(date +%s%N)"
hx_run "${UPDEXAR_WINE_TIMEOUT:-300}" "$work/output.txt" "$exe" \
  "--gtest_output=xml:$(hx_win_path "$work/report.xml")" "$@"
hx_log "database tests exit code $HX_EXIT in the $kind prefix, $(( ($(date +%s%N) - begin) / 1000000 )) ms"

# The repairs really happened on the server, rows and all.
if [ "$HX_EXIT" = 0 ]; then
  rows="$(mdb_sql "SELECT COUNT(*) FROM galvano.vertab_gone; SELECT COUNT(*) FROM galvano.vertab_cut" | tr '\n' ' ')"
  [ "$rows" = "2 2 " ] || hx_fail "the mended tables hold '$rows' rows, not 2 each"
fi
exit "$HX_EXIT"
