# shellcheck shell=bash
# A MariaDB server of the test's own for the programs under Wine to reach through odbc32: its own
# data directory, socket and free port, so runs side by side (and a packaged server, running or
# not) never meet. Source after harness.sh; whatever it started is stopped at exit.
#   mdb_start DIR                      MDB_PORT: answers on 127.0.0.1:$MDB_PORT
#   mdb_sql "STATEMENTS"; mdb_account USER PASSWORD DATABASE; mdb_damage DATABASE TABLE delete|truncate
MDB_DIR="" MDB_PID="" MDB_PORT="" MDB_SOCKET=""
# The server runs as whoever runs the test; install-db gives that user an account of the same name
# that logs in over the socket without a password.
MDB_USER="$(id -un)"
trap 'mdb_stop; hx_cleanup' EXIT

mdb_start() {
  command -v mariadbd >/dev/null || hx_fail "MariaDB is not installed (run .ci/install-deps)"
  rm -rf "$1"; mkdir -p "$1"
  MDB_DIR="$(readlink -f "$1")"
  # A Unix socket path holds at most 107 bytes; a deep build folder gets one under /tmp.
  MDB_SOCKET="$MDB_DIR/mariadbd.sock"
  [ ${#MDB_SOCKET} -le 100 ] || MDB_SOCKET="$(mktemp -d /tmp/updexar-mdb.XXXXXX)/mariadbd.sock"
  mariadb-install-db --no-defaults --user="$MDB_USER" --datadir="$MDB_DIR/data" --skip-test-db \
    --auth-root-authentication-method=socket >"$MDB_DIR/install-db.log" 2>&1 || hx_fail "mariadb-install-db failed in $MDB_DIR"
  MDB_PORT="$(hx_free_port)"
  mariadbd --no-defaults --user="$MDB_USER" --datadir="$MDB_DIR/data" --port="$MDB_PORT" --bind-address=127.0.0.1 \
    --socket="$MDB_SOCKET" --pid-file="$MDB_DIR/mariadbd.pid" --log-error="$MDB_DIR/mariadbd.err" --skip-name-resolve \
    --innodb-buffer-pool-size=16M >"$MDB_DIR/mariadbd.out" 2>&1 &
  MDB_PID=$!
  for _ in $(seq 1 600); do mdb_sql "SELECT 1" >/dev/null 2>&1 && return 0; kill -0 "$MDB_PID" 2>/dev/null || break; sleep 0.1; done
  hx_fail "MariaDB did not come up (log: $MDB_DIR/mariadbd.err)"
}
# mdb_stop: shut down, and gone. Harmless when none runs.
mdb_stop() {
  [ -n "$MDB_PID" ] || return 0
  kill "$MDB_PID" 2>/dev/null
  for _ in $(seq 1 300); do kill -0 "$MDB_PID" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$MDB_PID" 2>/dev/null; wait "$MDB_PID" 2>/dev/null
  MDB_PID=""
  case "$MDB_SOCKET" in /tmp/updexar-mdb.*) rm -rf "$(dirname "$MDB_SOCKET")" ;; esac
}
# mdb_sql "STATEMENTS": as the server's own administrator; rows on standard output.
mdb_sql() { timeout 60 mariadb --no-defaults --socket="$MDB_SOCKET" --user="$MDB_USER" --batch --skip-column-names -e "$1"; }
# mdb_account USER PASSWORD DATABASE: logs in over TCP with that password, may do anything there.
mdb_account() { mdb_sql "CREATE USER '$1'@'%' IDENTIFIED BY '$2'; GRANT ALL ON \`$3\`.* TO '$1'@'%';" || hx_fail "no account $1"; }
# mdb_damage DATABASE TABLE delete|truncate: the MyISAM table's index file removed or emptied once
# the server has closed the table, so its next open fails.
mdb_damage() {
  local index="$MDB_DIR/data/$1/$2.MYI"
  [ -f "$index" ] && mdb_sql "FLUSH TABLES \`$1\`.\`$2\`" || hx_fail "cannot damage $1.$2"
  if [ "$3" = delete ]; then rm -f "$index"; else : >"$index"; fi
}
