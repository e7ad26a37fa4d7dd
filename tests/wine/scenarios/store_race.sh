# wine: win32 timeout=900
# Four computers (WS1..WS4) store into one data directory on \\SERVER\share at once: WS1 and WS2
# an older update, WS3 and WS4 a newer one, the older pair let go first in odd rounds and last in
# even ones, twenty rounds, each from one of: nothing stored, an update older than both stored,
# the older of the two stored. The newer stores always succeed; an older one succeeds or is
# refused because the newer one is there, and says which. Afterwards the marker names the newer
# update, its folder is its package without the report folder, and nothing else is left in
# SoftUpdates.
old=GalUpd0712 new=GalUpd0812 data="$share/Data/Galvano"
soft="$share/Data/Galvano/SoftUpdates"
# Each package: 400 small files in nested folders and an empty one, a report folder that stays
# behind, the update information, and the program, which stores itself as the utility does.
for name in $old $new; do
  /usr/bin/python3 "$here/../../bench/file_tree.py" "$share/$name/DLLs" 400 3000 || hx_fail "could not make the package"
  mkdir -p "$share/$name/DLLs/Empty" "$share/$name/Log1"; printf 'report\r\n' >"$share/$name/Log1/3.log"
  printf '%s\r\n' "$name,${name:6:2}/${name:8:2}/2026 10:00:00,," 'VekMain.dll,,07/12/2026,2' >"$share/$name/UpdInfoP.txt"
  cp "$STORE_RACE" "$share/$name/UpdateG.exe"
  cp -r "$share/$name" "$work/$name"; rm -rf "$work/$name/Log1"
done

case_race() {
  local round state n name first second out
  for round in $(seq 1 20); do
    state=$(((round - 1) % 3))
    rm -rf "$data"; mkdir -p "$data"
    if [ $state = 1 ]; then
      mkdir -p "$soft/GalUpd0101/DLLs"; printf 'old' >"$soft/GalUpd0101/DLLs/old.dll"
      printf 'GalUpd0101,01/01/2026,,\r\n' >"$soft/UpdInfoP.txt"
    elif [ $state = 2 ]; then
      mkdir -p "$soft"; cp -r "$work/$old" "$soft/$old"; cp "$share/$old/UpdInfoP.txt" "$soft/"
    fi
    rm -f "$work"/go-*
    local pids=()
    for n in 1 2 3 4; do
      name=$([ $n -le 2 ] && echo $old || echo $new)
      timeout --kill-after=10 180 wine "\\\\SERVER\\share\\$name\\UpdateG.exe" "\\\\SERVER\\share\\$name" \
        '\\SERVER\share\Data\Galvano' "WS$n" "$(hx_win_path "$work/go-$name")" >"$work/$round-WS$n.txt" 2>&1 &
      pids[$n]=$!
    done
    # They go once all four have read the marker and wait: one pair, then the other.
    for n in 1 2 3 4; do
      for _ in $(seq 1 1200); do grep -q '^ready' "$work/$round-WS$n.txt" 2>/dev/null && break; sleep 0.1; done
    done
    first=$old second=$new; [ $((round % 2)) = 0 ] && first=$new second=$old
    touch "$work/go-$first"; touch "$work/go-$second"
    for n in 1 2 3 4; do
      wait "${pids[$n]}"; out=$(tr -d '\r' <"$work/$round-WS$n.txt" | tail -1)
      case "$n:$out" in
        [1-4]:stored\ in*|[12]:refused:\ A\ Higher\ Version\ of\ Software\ Update\ dated\ \[08/12/2026*) ;;
        *) fail "round $round: WS$n said: $out" ;;
      esac
    done
    same "$share/$new/UpdInfoP.txt" "$soft/UpdInfoP.txt"
    same "$work/$new" "$soft/$new"
    [ "$(ls -A "$soft" | sort | tr '\n' ' ')" = "$new UpdInfoP.txt " ] || fail "round $round: SoftUpdates holds $(ls -A "$soft")"
  done
}
