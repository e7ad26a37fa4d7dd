#!/usr/bin/env bash
# store_wine_bench.sh store_race.exe [FILES] [MB] [RECORDS]
# The store of an update in the data directory and the first pass over its information file,
# with the real code under Wine (store_race.exe, from build/win32/tests/wine):
#   1. a package of FILES files (2,000) and about MB megabytes (200) in nested folders, stored
#      into a data directory on \\SERVER\share by one computer, next to `xcopy /E /I` of the same
#      package to the same share under the same Wine;
#   2. the first pass over an information file of RECORDS file records (10,000) against an
#      installation that has every file, some of them older than the update.
# Prints the figures; nothing passes or fails on a time.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../tests/wine/harness/harness.sh"
[ $# -ge 1 ] || hx_fail "usage: store_wine_bench.sh store_race.exe [FILES] [MB] [RECORDS]"
exe="$(readlink -f "$1")" files="${2:-2000}" megabytes="${3:-200}" records="${4:-10000}"

root="$(dirname "$exe")/store-bench"
prefix="$root/prefix"
[ -d "$prefix/drive_c" ] || hx_make_prefix "$prefix" win32
hx_use_prefix "$prefix"
share="$root/share"
hx_map_share SERVER share "$share"
data="$share/Data/Galvano"

now_ms() { date +%s%3N; }
since() { awk -v a="$1" -v b="$(now_ms)" 'BEGIN { printf "%.2f", (b - a) / 1000 }'; }

# The package as a LAN run leaves it: the update's folders, a report folder, the information file
# and the program, which stores itself.
pkg="$share/BenchUpd"
rm -rf "$pkg"
mkdir -p "$pkg/Log1" "$pkg/MiscFls"
/usr/bin/python3 "$here/file_tree.py" "$pkg/DLLs/NewUpFls" "$files" "$((megabytes * 1024 * 1024 / files))" \
  || hx_fail "could not make the package"
printf 'report\r\n' >"$pkg/Log1/3.log"
printf '%s\r\n' 'BenchUpd,07/12/2026 10:00:00,,' >"$pkg/UpdInfoP.txt"
cp "$exe" "$pkg/UpdateG.exe"
hx_log "package: $files files, $(du -sh "$pkg/DLLs" | cut -f1)"
# The prefix up before anything is timed and kept up between runs, so that no run pays for its
# start.
wineserver -p >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1

# Three rounds, taking turns, and the middle figure of each; every timed step starts after sync,
# so that no step pays for the writes of the one before.
median() { printf '%s\n' "$@" | sort -n | sed -n 2p; }
stores=() inside=() xcopies=()
for _ in 1 2 3; do
  rm -rf "$data"; mkdir -p "$data"; sync
  start=$(now_ms)
  wine '\\SERVER\share\BenchUpd\UpdateG.exe' '\\SERVER\share\BenchUpd' '\\SERVER\share\Data\Galvano' WS1 \
    >"$root/store.txt" 2>&1 || hx_fail "the store failed: $(cat "$root/store.txt")"
  stores+=("$(since "$start")")
  inside+=("$(tr -d '\r' <"$root/store.txt" | awk '/^stored in/ { printf "%.2f", $3 / 1000 }')")
  diff -r -x Log1 "$pkg" "$data/SoftUpdates/BenchUpd" >/dev/null || hx_fail "the stored update is not the package"

  rm -rf "$data"; mkdir -p "$data"; sync
  start=$(now_ms)
  wine xcopy /E /I /Q '\\SERVER\share\BenchUpd' '\\SERVER\share\Data\Galvano\Copy' >/dev/null 2>&1
  xcopies+=("$(since "$start")")
done
store_s=$(median "${stores[@]}") inside_s=$(median "${inside[@]}") xcopy_s=$(median "${xcopies[@]}")
hx_log "stores: ${stores[*]} (inside the program: ${inside[*]}); xcopy: ${xcopies[*]}"
rm -rf "$data"

# An installation with every listed file; one in ten is older than the update (the pass counts
# it), the others are of the update's day. Every seventh record also names a minimum date.
install="$(hx_unix_path 'C:\Apps\Galvano')"
rm -rf "$install"
/usr/bin/python3 - "$install" "$share/Info.txt" "$records" <<'PY' || hx_fail "could not make the installation"
import os, sys, time
base, info, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
day = time.mktime((2026, 12, 1, 12, 0, 0, 0, 0, -1))
older = time.mktime((2026, 11, 1, 12, 0, 0, 0, 0, -1))
with open(info, "w", newline="") as out:
    out.write("BenchUpd,01/12/2026,,\r\n")
    for i in range(count):
        rel = os.path.join("d%d" % (i % 10), "e%d" % (i // 10 % 10), "g%05d.dll" % i)
        path = os.path.join(base, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(b"x")
        when = older if i % 10 == 0 else day
        os.utime(path, (when, when))
        out.write("%s,%s,01/12/2026,2\r\n" % (rel.replace("/", "\\"), "01/01/2020" if i % 7 == 0 else ""))
PY
sync
wine "$exe" --checkfilever '\\SERVER\share\Info.txt' 'C:\Apps\Galvano' 3 >"$root/pass.txt" 2>&1 ||
  hx_fail "the first pass failed: $(cat "$root/pass.txt")"
tr -d '\r' <"$root/pass.txt" >&2
pass_count="$(tr -d '\r' <"$root/pass.txt" | sed -n 's/^count \([-0-9]*\).*/\1/p')"
pass_s="$(tr -d '\r' <"$root/pass.txt" | awk '/^middle:/ { printf "%.3f", $2 / 1000 }')"

echo
echo "Store of $files files, $megabytes MB into a data directory on \\\\SERVER\\share (Wine $(wine --version 2>/dev/null)); middle of three rounds"
printf '| %-40s | %8s |\n' "what" "seconds"
printf '| %-40s | %8s |\n' "store (program start to end)" "$store_s"
printf '| %-40s | %8s |\n' "store (inside the program)" "$inside_s"
printf '| %-40s | %8s |\n' "xcopy /E /I under the same Wine" "$xcopy_s"
awk -v s="$store_s" -v x="$xcopy_s" 'BEGIN { printf "store / xcopy: %.2f\n", s / x }'
echo
echo "First pass over $records file records (count $pass_count): $pass_s s, middle of three"
hx_stop_prefix
