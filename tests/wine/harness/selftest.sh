#!/usr/bin/env bash
# selftest.sh [LONG-RUNNING.exe]: the harness itself, in the run's prefix: path mapping, registry
# seeding of both kinds, a share, exit codes and output of programs, and the time limit. Every
# other Wine test leans on these.
set -u
. "$(dirname "$0")/harness.sh"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
sleeper="${1:-}"
fails=0
check() {  # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; fails=$((fails + 1)); fi
}
same() { [ "$1" = "$2" ] || { echo "     expected [$2], got [$1]"; return 1; }; }

hx_use_prefix "$UPDEXAR_WINE_PREFIX"
work="$UPDEXAR_WINE_ROOT/runs/harness-$(hx_prefix_kind)"
rm -rf "$work"; mkdir -p "$work"

# Paths: drive letters and shares, written either way round.
check "C: path" same "$(hx_unix_path 'c:\Program Files\X\a.txt')" "$WINEPREFIX/dosdevices/c:/Program Files/X/a.txt"
check "UNC path is lower-cased only in server and share" \
  same "$(hx_unix_path '\\SERVER\Share\Dir\F.txt')" "$WINEPREFIX/dosdevices/unc/server/share/Dir/F.txt"
check "Z: is the host" same "$(hx_unix_path 'Z:\tmp\x')" "/tmp/x"
check "host path through Z:" same "$(hx_win_path /tmp/a/../b)" 'Z:\tmp\b'

# Registry: both kinds of value.
key='HKLM\Software\UpdexarHarness'
hx_reg_sz "$key" Text 'C:\Program Files\Galvano'
hx_reg_dword "$key" Number 1234
check "REG_SZ seeded" same "$(hx_reg_query "$key" Text)" 'C:\Program Files\Galvano'
check "REG_DWORD seeded" same "$(hx_reg_query "$key" Number)" 0x4d2

# Programs: exit code and output come back.
hx_run 60 "$work/echo.txt" cmd /c "echo hello from windows& exit 7"
check "exit code" same "$HX_EXIT" 7
check "standard output" grep -qx 'hello from windows' "$work/echo.txt"

# A share: what a program writes there lands in the host folder.
hx_map_share SERVER share "$work/share"
hx_run 60 "$work/write.txt" cmd /c 'echo written on one>\\SERVER\share\note.txt'
check "file written to the share lands in the host folder" grep -q 'written on one' "$work/share/note.txt"

# A program that never ends is stopped at the limit.
if [ -n "$sleeper" ]; then
  start=$SECONDS
  hx_run 3 "$work/sleeper.txt" "$sleeper"
  check "time limit ends the program" same "$HX_EXIT" 124
  check "within the limit" [ $((SECONDS - start)) -lt 20 ]
fi

[ "$fails" -eq 0 ] || hx_fail "$fails harness checks failed"
echo "harness: all checks passed"
