#!/usr/bin/env bash
# update_wine_bench.sh UpdateG.exe RegSvr32-stand-in.exe ui_probe.exe [FILES] [MB]
# The update of this computer by the real program under Wine, against copying the same tree:
#   1. a package of FILES files (2,000) and about MB megabytes (200) in nested folders, one index
#      entry per file, applied unattended for Xelmor (which skips the server check and the data
#      directory, so the figure is the installation alone), next to `xcopy /E /I` of the same tree
#      under the same Wine and `cp -r` natively; the same update again with the package sealed
#      (Updexar.sha256, written by sha256sum), which the program checks before it installs;
#   2. the peak memory of an unattended run with a 10,000-entry index against a 10-entry one.
# Prints the figures; nothing passes or fails on a time.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../tests/wine/harness/harness.sh"
[ $# -ge 3 ] || hx_fail "usage: update_wine_bench.sh UpdateG.exe RegSvr32-stand-in.exe ui_probe.exe [FILES] [MB]"
exe="$(readlink -f "$1")" regsvr="$(readlink -f "$2")" probe="$(readlink -f "$3")" files="${4:-2000}" megabytes="${5:-200}"

root="$(dirname "$exe")/update-bench"
prefix="$root/prefix"
[ -d "$prefix/drive_c" ] || hx_make_prefix "$prefix" win32
hx_use_prefix "$prefix"
hx_xvfb_start
# Timed runs go in Wine's virtual desktop, as a user's screen with a window manager: without
# one, Wine waits about a second for each window that closes, which would measure nothing of ours.
hx_desktop_start bench 1024x768 "$probe"
share="$root/share"
hx_map_share SERVER share "$share"
hx_reg_sz 'HKLM\Software\VEKInfo\Xelmor' InstallPath 'C:\Apps\Xelmor\'
export UPDEXAR_TIME_SCALE=1000   # the 15 s start wait of an unattended run

now_ms() { date +%s%3N; }

# package NAME FILES BYTES-EACH: a package in the share with one index entry per file, spread
# over folders ten deep at most.
package() {
  local pkg="$share/$1" count="$2" size="$3"
  rm -rf "$pkg"
  mkdir -p "$pkg/Log1" "$pkg/MiscFls" "$pkg/DLLs/NewUpFls"
  cp "$exe" "$pkg/UpdateX.exe"
  cp "$regsvr" "$pkg/MiscFls/RegSvr32.exe"
  /usr/bin/python3 "$here/file_tree.py" "$pkg/DLLs/NewUpFls" "$count" "$size" index
}

# seal NAME: the package's seal as sha256sum writes it, of every file but the report folder, kept
# beside the package as NAME.sha256 and put in (sealed) or taken out (unsealed) between runs.
seal() {
  (cd "$share/$1" && find . -type f ! -path './Log1/*' ! -name Updexar.sha256 -printf '%P\n' | sort \
     | xargs -d '\n' sha256sum) >"$root/$1.sha256" || hx_fail "could not seal $1"
}
sealed() { if [ "$2" = yes ]; then cp "$root/$1.sha256" "$share/$1/Updexar.sha256"; else rm -f "$share/$1/Updexar.sha256"; fi; }

# update NAME [peak]: the unattended run, timed in the desktop (SECONDS_TAKEN); with "peak", run
# on its own instead so that PEAK_KB is the program's own peak resident set.
update() {
  rm -rf "$(hx_unix_path 'C:\Apps\Xelmor')" "$share/$1/Log1"; mkdir -p "$(hx_unix_path 'C:\Apps\Xelmor')" "$share/$1/Log1"
  local start end program="\\\\SERVER\\share\\$1\\UpdateX.exe" args="AUTOUPD-Xelmor:\\\\SERVER\\share\\$1:3:Log1:1:0:N"
  sync   # the last run's writes are not this run's to pay for
  start=$(now_ms)
  if [ "${2:-}" = peak ]; then
    /usr/bin/time -f '%M' -o "$root/time.txt" wine "$program" "$args" >/dev/null 2>&1
    PEAK_KB=$(tail -1 "$root/time.txt")
  else
    hx_desktop_run 600 "$root/run.txt" "$program" "$args" >/dev/null
  fi
  end=$(now_ms)
  SECONDS_TAKEN=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", (b - a) / 1000 }')
  grep -q 'Process:Update:OK' "$share/$1/Log1/3.log" || hx_fail "the update of $1 did not finish: $(cat "$share/$1/Log1/3.log")"
}

each=$((megabytes * 1024 * 1024 / files))
package big "$files" "$each"
seal big
hx_log "package: $files files of $each bytes in $(du -sh "$share/big/DLLs/NewUpFls/tree" | cut -f1)"
wineserver -p >/dev/null 2>&1   # keep the prefix up between runs, so no run pays for its start

# Rounds taking turns (ROUNDS, three unless told), and the middle figure of each: the machine's
# other work, and the disk, move single runs by a second or two either way.
rounds="${ROUNDS:-3}"
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
ups=() sls=() xcs=() cps=()
for round in $(seq "$rounds"); do
  # Which goes first changes from round to round: neither always pays for a cold cache.
  for seal_it in $([ $((round % 2)) = 1 ] && echo "no yes" || echo "yes no"); do
    sealed big "$seal_it"
    update big
    if [ "$seal_it" = yes ]; then sls+=("$SECONDS_TAKEN"); else ups+=("$SECONDS_TAKEN"); fi
  done
  sealed big no
  rm -rf "$(hx_unix_path 'C:\Copy')"; sync
  start=$(now_ms)
  wine cmd /c xcopy /E /I /Q '\\SERVER\share\big\DLLs\NewUpFls\tree' 'C:\Copy' >/dev/null 2>&1
  xcs+=("$(awk -v a="$start" -v b="$(now_ms)" 'BEGIN { printf "%.2f", (b - a) / 1000 }')")
  rm -rf "$root/cp-copy"; sync
  start=$(now_ms)
  cp -r "$share/big/DLLs/NewUpFls/tree" "$root/cp-copy"
  cps+=("$(awk -v a="$start" -v b="$(now_ms)" 'BEGIN { printf "%.2f", (b - a) / 1000 }')")
done
update_s=$(median "${ups[@]}") sealed_s=$(median "${sls[@]}") xcopy_s=$(median "${xcs[@]}") cp_s=$(median "${cps[@]}")
hx_log "update runs: ${ups[*]}; sealed: ${sls[*]}; xcopy: ${xcs[*]}; cp -r: ${cps[*]}"

package small 10 1024
package many 10000 1024
update small peak; small_kb=$PEAK_KB
update many peak; many_kb=$PEAK_KB
update small; small_s=$SECONDS_TAKEN

echo
echo "Update of $files files, $megabytes MB (UpdateX.exe, unattended, Wine $(wine --version 2>/dev/null)); middle of $rounds rounds"
printf '| %-34s | %8s |\n' "what" "seconds"
printf '| %-34s | %8s |\n' "update run" "$update_s"
printf '| %-34s | %8s |\n' "update run of the sealed package" "$sealed_s"
printf '| %-34s | %8s |\n' "xcopy /E /I under the same Wine" "$xcopy_s"
printf '| %-34s | %8s |\n' "cp -r natively" "$cp_s"
printf '| %-34s | %8s |\n' "update run of a 10-file package" "$small_s"
awk -v u="$update_s" -v x="$xcopy_s" 'BEGIN { printf "update / xcopy: %.2f\n", u / x }'
awk -v s="$sealed_s" -v u="$update_s" 'BEGIN { printf "sealed / unsealed: %.2f\n", s / u }'
echo
echo "Peak resident set of the unattended run"
printf '| %-20s | %8s |\n' "index entries" "KiB"
printf '| %-20s | %8s |\n' "10" "$small_kb"
printf '| %-20s | %8s |\n' "10,000" "$many_kb"
echo "difference: $(( (many_kb - small_kb) )) KiB"
hx_stop_prefix
