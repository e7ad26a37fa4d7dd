# shellcheck shell=bash
# A MariaDB server of the test's own, for the programs under Wine to reach through odbc32: its
# own data directory, socket and free port, so runs side by side (and a packaged server, running
# or not) never meet. Source after harness.sh:
#
#   mdb_start "$work/mariadb"               # MDB_PORT; answers on 127.0.0.1:$MDB_PORT
#   mdb_sql "CREATE DATABASE galvano"
#   mdb_account zolt secret galvano
#   mdb_damage galvano vertab delete        # or truncate: the table's .MYI index
#   mdb_silent_start                        # MDB_SILENT_PORT takes connections, never answers
#
# Whatever was started is stopped when the script exits, however it exits.

if [ -n "${MDB_LOADED:-}" ]; then return 0; fi
MDB_LOADED=1
declare -F hx_free_port >/dev/null || { echo "mariadb.sh: source harness.sh first" >&2; exit 1; }

MDB_DIR="" MDB_PID="" MDB_PORT="" MDB_SOCKET="" MDB_SOCKET_DIR="" MDB_SILENT_PID="" MDB_SILENT_PORT=""
# The server runs as whoever runs the test (root is allowed, by name); install-db gives that
# user an account of the same name that logs in over the socket without a password.
MDB_USER="$(id -un)"

mdb_cleanup() {
  mdb_stop
  if [ -n "$MDB_SILENT_PID" ]; then
    kill "$MDB_SILENT_PID" 2>/dev/null || true
    wait "$MDB_SILENT_PID" 2>/dev/null || true
    MDB_SILENT_PID=""
  fi
}
trap 'mdb_cleanup; hx_cleanup' EXIT

# mdb_start DIR: a fresh server with its data under DIR (replaced), started and answering.
mdb_start() {
  local dir="$1" end
  command -v mariadbd >/dev/null && command -v mariadb-install-db >/dev/null \
    || hx_fail "MariaDB is not installed (run .ci/install-deps)"
  [ -n "$dir" ] && [ "$dir" != / ] || hx_fail "refusing a MariaDB data directory at '$dir'"
  rm -rf "$dir"
  mkdir -p "$dir"
  MDB_DIR="$(readlink -f "$dir")"
  MDB_SOCKET="$MDB_DIR/mariadbd.sock"
  # A Unix socket path holds at most 107 bytes; a deep build folder gets one under /tmp.
  if [ ${#MDB_SOCKET} -gt 100 ]; then
    MDB_SOCKET_DIR="$(mktemp -d /tmp/updexar-mdb.XXXXXX)"
    MDB_SOCKET="$MDB_SOCKET_DIR/mariadbd.sock"
  fi
  if ! mariadb-install-db --no-defaults --user="$MDB_USER" --datadir="$MDB_DIR/data" --skip-test-db \
       --auth-root-authentication-method=socket >"$MDB_DIR/install-db.log" 2>&1; then
    tail -20 "$MDB_DIR/install-db.log" >&2
    hx_fail "mariadb-install-db failed in $MDB_DIR"
  fi
  MDB_PORT="$(hx_free_port)"
  mariadbd --no-defaults --user="$MDB_USER" --datadir="$MDB_DIR/data" --port="$MDB_PORT" \
    --bind-address=127.0.0.1 --socket="$MDB_SOCKET" --pid-file="$MDB_DIR/mariadbd.pid" \
    --log-error="$MDB_DIR/mariadbd.err" --skip-name-resolve --innodb-buffer-pool-size=16M \
    >"$MDB_DIR/mariadbd.out" 2>&1 &
  MDB_PID=$!
  end=$((SECONDS + 60))
  until mdb_sql "SELECT 1" >/dev/null 2>&1; do
    if ! kill -0 "$MDB_PID" 2>/dev/null || [ $SECONDS -ge "$end" ]; then
      tail -20 "$MDB_DIR/mariadbd.err" >&2 2>/dev/null
      hx_fail "MariaDB did not come up on port $MDB_PORT (log: $MDB_DIR/mariadbd.err)"
    fi
    sleep 0.1
  done
  hx_log "MariaDB on 127.0.0.1:$MDB_PORT, data in $MDB_DIR/data"
}

# mdb_stop: shuts the server down and waits until it has gone. Harmless when none runs.
mdb_stop() {
  if [ -n "$MDB_PID" ]; then
    local end=$((SECONDS + 30))
    kill "$MDB_PID" 2>/dev/null || true
    while kill -0 "$MDB_PID" 2>/dev/null && [ $SECONDS -lt "$end" ]; do sleep 0.1; done
    kill -9 "$MDB_PID" 2>/dev/null || true
    wait "$MDB_PID" 2>/dev/null || true
    MDB_PID=""
  fi
  if [ -n "$MDB_SOCKET_DIR" ]; then
    rm -rf "$MDB_SOCKET_DIR"
    MDB_SOCKET_DIR=""
  fi
}

# mdb_sql "STATEMENTS": runs them as the server's own administrator; rows on standard output.
mdb_sql() {
  timeout 60 mariadb --no-defaults --socket="$MDB_SOCKET" --user="$MDB_USER" --batch --skip-column-names -e "$1"
}

# mdb_account USER PASSWORD DATABASE: an account that logs in over TCP with that password and
# may do anything in the database.
mdb_account() {
  mdb_sql "CREATE USER '$1'@'%' IDENTIFIED BY '$2'; GRANT ALL ON \`$3\`.* TO '$1'@'%';" \
    || hx_fail "could not make the account $1"
}

# mdb_damage DATABASE TABLE delete|truncate: the MyISAM table's index file is removed or emptied
# once the server has closed the table, so the next open of it fails.
mdb_damage() {
  local index="$MDB_DIR/data/$1/$2.MYI"
  [ -f "$index" ] || hx_fail "no MyISAM index at $index"
  mdb_sql "FLUSH TABLES \`$1\`.\`$2\`" || hx_fail "could not flush $1.$2"
  case "$3" in
    delete) rm -f "$index" ;;
    truncate) : > "$index" ;;
    *) hx_fail "mdb_damage: delete or truncate, not '$3'" ;;
  esac
}

# mdb_silent_start: a server that takes TCP connections on MDB_SILENT_PORT and never says a
# word, as a hung database server does.
mdb_silent_start() {
  local file
  file="$(mktemp)"
  rm -f "$file"
  python3 -c '
import os, socket, sys
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(16)
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write(str(s.getsockname()[1]))
os.rename(sys.argv[1] + ".tmp", sys.argv[1])
held = []
while True:
    held.append(s.accept()[0])
' "$file" >/dev/null 2>&1 &
  MDB_SILENT_PID=$!
  local end=$((SECONDS + 30))
  until [ -s "$file" ]; do
    kill -0 "$MDB_SILENT_PID" 2>/dev/null && [ $SECONDS -lt "$end" ] || hx_fail "the silent server did not start"
    sleep 0.05
  done
  MDB_SILENT_PORT="$(cat "$file")"
  rm -f "$file"
}
