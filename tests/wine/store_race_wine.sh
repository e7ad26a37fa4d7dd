#!/usr/bin/env bash
# store_race_wine.sh store_race.exe
# Four computers (WS1..WS4) store the same update into one data directory on \\SERVER\share at
# the same moment, ten rounds in a row, each round starting from one of: no update stored, an
# older update stored, this update already stored. Every store must succeed, and afterwards the
# marker names this update, its folder is the package (without the report folder) and nothing
# else is left in SoftUpdates: not the older update, not a private folder or file of any store.
set -u
. "$(dirname "$0")/harness/harness.sh"
[ $# -eq 1 ] || hx_fail "usage: store_race_wine.sh store_race.exe"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
program="$(readlink -f "$1")"

hx_use_prefix "$UPDEXAR_WINE_PREFIX"
kind="$(hx_prefix_kind)"
work="$UPDEXAR_WINE_ROOT/runs/store-race-$kind"
rm -rf "$work"
mkdir -p "$work"
share="$work/share"
hx_map_share SERVER share "$share"

name=GalUpd0712
pkg="$share/$name"
data="$share/Data/Galvano"
soft="$data/SoftUpdates"
# What a complete store holds: the package without its report folder.
expected="$work/expected"

# A few hundred small files of different sizes in nested folders, a report folder that must stay
# behind, the information file and the program, which stores itself as the utility does.
mkdir -p "$pkg"
/usr/bin/python3 - "$pkg" <<'PY' || hx_fail "could not make the package"
import os, random, sys
base = sys.argv[1]
rnd = random.Random(712)
for i in range(320):
    rel = os.path.join("DLLs" if i % 4 else "MiscFls", *["s%d" % ((i >> k) % 3) for k in range(i % 4)], "f%03d.bin" % i)
    os.makedirs(os.path.join(base, os.path.dirname(rel)), exist_ok=True)
    with open(os.path.join(base, rel), "wb") as f:
        f.write(rnd.randbytes(rnd.randrange(0, 6000)))
os.makedirs(os.path.join(base, "DLLs", "Empty"), exist_ok=True)
os.makedirs(os.path.join(base, "Log1"), exist_ok=True)
for n in ("3.txt", "3.log"):
    with open(os.path.join(base, "Log1", n), "wb") as f:
        f.write(b"report\r\n")
PY
printf '%s\r\n' "$name,07/12/2026 10:00:00,," 'VekMain.dll,,07/12/2026,2' >"$pkg/UpdInfoP.txt"
cp "$program" "$pkg/UpdateG.exe"
cp -r "$pkg" "$expected"
rm -rf "$expected/Log1"

# seed clean|older|same: the data directory as the round finds it.
seed() {
  rm -rf "$data"
  mkdir -p "$data"
  case "$1" in
    older)
      mkdir -p "$soft/GalUpd0101/DLLs"
      printf 'old' >"$soft/GalUpd0101/DLLs/old.dll"
      printf '%s\r\n' 'GalUpd0101,01/01/2026,,' >"$soft/UpdInfoP.txt"
      ;;
    same)
      mkdir -p "$soft"
      cp -r "$expected" "$soft/$name"
      cp "$pkg/UpdInfoP.txt" "$soft/UpdInfoP.txt"
      ;;
  esac
}

failures=0
fail() { hx_log "FAIL [round $round, $2]: $1"; failures=$((failures + 1)); }

win_pkg="\\\\SERVER\\share\\$name"
win_data='\\SERVER\share\Data\Galvano'
go="$work/go"
WINEDEBUG=-all wineserver -p >/dev/null 2>&1   # one server for all rounds; it goes at exit
kinds=(clean older same)
start=$SECONDS
for round in $(seq 1 10); do
  state="${kinds[$(((round - 1) % 3))]}"
  seed "$state"
  rm -f "$go"
  pids=()
  for n in 1 2 3 4; do
    timeout --kill-after=10 180 wine "$win_pkg\\UpdateG.exe" "$win_pkg" "$win_data" "WS$n" "$(hx_win_path "$go")" \
      >"$work/round$round-WS$n.txt" 2>&1 &
    pids+=($!)
  done
  # Let them go together once all four have read the marker and wait.
  end=$((SECONDS + 120))
  for n in 1 2 3 4; do
    until grep -q '^ready' "$work/round$round-WS$n.txt" 2>/dev/null || [ $SECONDS -ge $end ]; do sleep 0.05; done
  done
  touch "$go"
  for n in 1 2 3 4; do
    wait "${pids[$((n - 1))]}"
    code=$?
    [ "$code" = 0 ] || fail "WS$n ended with $code: $(tr -d '\r' <"$work/round$round-WS$n.txt" | tr '\n' ' ')" "$state"
  done
  cmp -s "$pkg/UpdInfoP.txt" "$soft/UpdInfoP.txt" || fail "the marker does not name $name: $(head -c 200 "$soft/UpdInfoP.txt" 2>&1)" "$state"
  diff -r "$expected" "$soft/$name" >"$work/round$round-diff.txt" 2>&1 ||
    fail "the stored folder is not the package: $(head -5 "$work/round$round-diff.txt" | tr '\n' ' ')" "$state"
  left="$(ls -A "$soft" | sort | tr '\n' ' ')"
  [ "$left" = "$name UpdInfoP.txt " ] || fail "SoftUpdates holds more than the update and the marker: $left" "$state"
done
hx_log "10 rounds of four stores in $((SECONDS - start))s"
hx_stop_prefix
[ "$failures" = 0 ] || hx_fail "$failures check(s) failed"
hx_log "every store succeeded and left one complete update"
