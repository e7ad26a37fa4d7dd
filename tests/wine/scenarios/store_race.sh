# wine: win32 timeout=600
# Four computers (WS1..WS4) store the same update into one data directory on \\SERVER\share at
# the same moment, ten rounds, each from one of: nothing stored, an older update stored, this
# update stored. Every store succeeds, and afterwards the marker names this update, its folder is
# the package without its report folder, and nothing else is left in SoftUpdates.
name=GalUpd0712 data="$share/Data/Galvano"
pkg="$share/$name" soft="$share/Data/Galvano/SoftUpdates"
# A few hundred small files in nested folders, a report folder that stays behind, the update
# information, and the program, which stores itself as the utility does.
/usr/bin/python3 - "$pkg" <<'PY' || hx_fail "could not make the package"
import os, random, sys
base, rnd = sys.argv[1], random.Random(712)
for i in range(320):
    rel = os.path.join("DLLs" if i % 4 else "MiscFls", *["s%d" % ((i >> k) % 3) for k in range(i % 4)], "f%03d.bin" % i)
    os.makedirs(os.path.join(base, os.path.dirname(rel)), exist_ok=True)
    open(os.path.join(base, rel), "wb").write(rnd.randbytes(rnd.randrange(0, 6000)))
for d in ("DLLs/Empty", "Log1"):
    os.makedirs(os.path.join(base, d), exist_ok=True)
open(os.path.join(base, "Log1", "3.log"), "wb").write(b"report\r\n")
PY
printf '%s\r\n' "$name,07/12/2026 10:00:00,," 'VekMain.dll,,07/12/2026,2' >"$pkg/UpdInfoP.txt"
cp "$STORE_RACE" "$pkg/UpdateG.exe"
cp -r "$pkg" "$work/expected"; rm -rf "$work/expected/Log1"

case_race() {
  local round state n code
  WINEDEBUG=-all wineserver -p >/dev/null 2>&1   # one server for all rounds; it goes at exit
  for round in $(seq 1 10); do
    state=$(((round - 1) % 3))
    rm -rf "$data"; mkdir -p "$data"
    if [ $state = 1 ]; then
      mkdir -p "$soft/GalUpd0101/DLLs"; printf 'old' >"$soft/GalUpd0101/DLLs/old.dll"
      printf 'GalUpd0101,01/01/2026,,\r\n' >"$soft/UpdInfoP.txt"
    elif [ $state = 2 ]; then
      mkdir -p "$soft"; cp -r "$work/expected" "$soft/$name"; cp "$pkg/UpdInfoP.txt" "$soft/"
    fi
    rm -f "$work/go"
    for n in 1 2 3 4; do
      timeout --kill-after=10 180 wine "\\\\SERVER\\share\\$name\\UpdateG.exe" "\\\\SERVER\\share\\$name" \
        '\\SERVER\share\Data\Galvano' "WS$n" "$(hx_win_path "$work/go")" >"$work/$round-WS$n.txt" 2>&1 &
    done
    # They go together once all four have read the marker and wait.
    for n in 1 2 3 4; do
      for _ in $(seq 1 1200); do grep -q '^ready' "$work/$round-WS$n.txt" 2>/dev/null && break; sleep 0.1; done
    done
    touch "$work/go"
    for n in 1 2 3 4; do
      wait -n; code=$?
      [ "$code" = 0 ] || fail "round $round: a store ended with $code: $(cat "$work/$round"-WS*.txt | tr -d '\r' | tr '\n' ' ')"
    done
    same "$pkg/UpdInfoP.txt" "$soft/UpdInfoP.txt"
    same "$work/expected" "$soft/$name"
    [ "$(ls -A "$soft" | sort | tr '\n' ' ')" = "$name UpdInfoP.txt " ] || fail "round $round: SoftUpdates holds $(ls -A "$soft")"
  done
}
