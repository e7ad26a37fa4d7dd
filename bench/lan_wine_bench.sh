#!/usr/bin/env bash
# lan_wine_bench.sh UpdateG.exe ui_probe.exe psexec.exe updexar-upl.exe [MACHINES] [SCALE]
# The LAN run's waits with MACHINES machines (250), by the real program under Wine, started from
# its main window with the machines loaded from a saved list. Each machine is the PsExec stand-in
# answering by itself (tests/standins/psexec_host.sh, "answer"): its marker at a random moment
# within 4 s, its update log at one within 180 s after that, on the program's clock, which runs
# SCALE (2) times faster than real time. Measured:
#   - the program's CPU while it waits for the logs (utime + stime from /proc over the update
#     wait, from the moment every marker has been read to the moment the last log has been read);
#   - the delay between a log appearing and its result being read, the log's deletion by the
#     program seen by a watcher that lists the run folder every 10 ms.
# Prints the figures; nothing passes or fails on a time.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../tests/wine/harness/harness.sh"
[ $# -ge 4 ] || hx_fail "usage: lan_wine_bench.sh UpdateG.exe ui_probe.exe psexec.exe updexar-upl.exe [MACHINES] [SCALE]"
exe="$(readlink -f "$1")" probe="$(readlink -f "$2")" psexec="$(readlink -f "$3")" upl="$(readlink -f "$4")"
count="${5:-250}" scale="${6:-2}"

root="$(dirname "$exe")/lan-bench"
prefix="$root/prefix"
[ -d "$prefix/drive_c" ] || hx_make_prefix "$prefix" win32
hx_use_prefix "$prefix"
hx_xvfb_start
hx_desktop_start lanbench 1024x768 "$probe"
share="$root/share"
rm -rf "$share" "$root/jobs" "$root/machines"
hx_map_share SERVER share "$share"
wineserver -p >/dev/null 2>&1

main='Updexar -> Galvano -> GalvanoUpd'
pkg="$(hx_unix_path 'C:\Updates\GalvanoUpd')"
staged="$share/VEK_Updates/GalvanoUpd"
rm -rf "$pkg"
mkdir -p "$pkg/MiscFls" "$pkg/DLLs/NewUpFls" "$share/VEK_Updates" "$root/jobs"
cp "$exe" "$pkg/UpdateG.exe"
cp "$psexec" "$pkg/MiscFls/PsExec.exe"
printf 'FILE,fresh.txt,fresh.txt,No\r\n' >"$pkg/DLLs/NewUpFls/INDEX.UPD"
printf 'GalvanoUpd,06/12/2026,,\r\nfresh.txt,,,2\r\n' >"$pkg/UpdInfoP.txt"
printf 'cboStartUpd=1\r\ncboCloseApp=1\r\noptCloseApp=Y\r\n' >"$share/VEK_Updates/VEKUpdUtil.INI"
hx_reg_sz 'HKLM\Software\VEKInfo' SoftUpdPath '\\SERVER\share'
for i in $(seq 1 "$count"); do
  address="127.0.$((i / 250 + 1)).$((i % 250 + 1))"
  printf '2\t\t1\t%s\tadmin\tsecret\n' "$address"
  mkdir -p "$root/machines/$address"
  echo 'answer 4 180' >"$root/machines/$address/does"
done >"$root/list.txt"
timeout 120 wine "$upl" encode -o "$(hx_win_path "$share/VEK_Updates/VEKUpdUtil.UPL")" <"$root/list.txt" || hx_fail "could not write the machine list"

export UPDEXAR_TIME_SCALE="$scale"
export UPDEXAR_PSEXEC_HOST="$here/../tests/standins/psexec_host.sh" UPDEXAR_PSEXEC_WORK="$root/jobs"
export UPDEXAR_LAN_MACHINES="$root/machines" UPDEXAR_LAN_SHARE="$share" UPDEXAR_RECORD="$(hx_win_path "$root/psexec-record.txt")"
rm -f "$root/psexec-record.txt"

# steps: what ui_probe.exe is to do in the program's windows, a step a line (tests/wine/ui_probe.cpp).
steps() { timeout 300 wine "$probe" steps 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
hx_desktop_start_program 'C:\Updates\GalvanoUpd\UpdateG.exe'
echo "on =$main" | steps || hx_fail "no main window"
pid=""
for p in $(pgrep -f 'GalvanoUpd\\UpdateG\.exe'); do
  tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && pid=$p
done
[ -n "$pid" ] || hx_fail "the program's process was not found"
start=$(date +%s)
printf '%s\n' "on =$main" 'click Update on LAN Machines' 'see &Search' | steps || hx_fail "the LAN frame did not open"
# The list is in once the choice to save it again shows: its names are looked up meanwhile.
until printf '%s\n' "on =$main" 'after Save User Login Details in Shared Directory' 'combo 0 Yes' | steps; do
  [ $(($(date +%s) - start)) -lt 300 ] || hx_fail "the saved machine list was not loaded"
done
hx_log "$count machines loaded from the saved list in $(($(date +%s) - start)) s"
printf '%s\n' "on =$main" 'click Update on Local Machine' | steps || hx_fail "no local choice"

# The watcher: which markers and logs have been written (the stand-ins' written.txt), when each
# disappears from the run folder, and the program's CPU time at the two ends of the update wait.
python3 - "$staged" "$root/jobs/written.txt" "$count" "$pid" "$root/figures.txt" <<'PY' &
import os, sys, time
staged, written_path, count, pid, out = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5]
tick = os.sysconf("SC_CLK_TCK")

def cpu():
    with open("/proc/%s/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / tick

def written():
    marks, logs = {}, {}
    try:
        with open(written_path) as f:
            for line in f:
                parts = line.split()
                if len(parts) == 3:
                    (marks if parts[0] == "marker" else logs)[parts[1]] = float(parts[2])
    except FileNotFoundError:
        pass
    return marks, logs

deadline = time.time() + 1800
run = None
while run is None and time.time() < deadline:
    names = [n for n in os.listdir(staged) if n.startswith("Log")] if os.path.isdir(staged) else []
    run = os.path.join(staged, names[0]) if names else None
    time.sleep(0.01)
run_start = time.time()
wait_start = cpu_start = None
read = {}
while len(read) < count and time.time() < deadline:
    now = time.time()
    try:
        present = set(os.listdir(run))
    except FileNotFoundError:
        # The run has ended: its last logs were read before the folder went, and a stand-in may
        # not have noted its last write yet.
        time.sleep(0.5)
        marks, logs = written()
        for row, at in logs.items():
            read.setdefault(row, now - at)
        break
    marks, logs = written()
    if wait_start is None and len(marks) == count and not any(n.endswith(".txt") for n in present):
        wait_start, cpu_start = now, cpu()
    for row, at in logs.items():
        if row not in read and row + ".log" not in present:
            read[row] = now - at
    time.sleep(0.01)
wait_end, cpu_end = time.time(), cpu()
# A log written before the update wait began is read in its first look, by design: its delay
# counts from the wait's start.
with open(out, "w") as f:
    if wait_start is None or len(read) < count:
        f.write("incomplete: %d of %d logs read\n" % (len(read), count))
        sys.exit(0)
    late = sorted(d for row, d in read.items() if logs[row] >= wait_start)
    early = sorted(logs[row] + d - wait_start for row, d in read.items() if logs[row] < wait_start)
    pick = lambda v, q: v[min(len(v) - 1, int(q * len(v)))]
    f.write("run folder made to every marker read (launching and the connect wait): %.1f s\n" % (wait_start - run_start))
    f.write("update wait: %.1f s real, program CPU %.2f s = %.2f %% of a core\n"
            % (wait_end - wait_start, cpu_end - cpu_start, 100 * (cpu_end - cpu_start) / (wait_end - wait_start)))
    f.write("log written to read, %d logs written during the update wait: median %.3f s, 95th %.3f s, max %.3f s\n"
            % (len(late), pick(late, 0.5), pick(late, 0.95), late[-1]))
    if early:
        f.write("%d logs written before it began, read %.3f s (median) and %.3f s (max) after its start\n"
                % (len(early), pick(early, 0.5), early[-1]))
PY
watcher=$!

printf '%s\n' "on =$main" 'click &Update >>' 'on =Updexar' 'see Do you really want to Update software on selected LAN Machines ?' \
  'click &Yes' | steps || hx_fail "the run did not start"
wait "$watcher"
echo 'gone = Please Wait ...' | steps || hx_log "the progress window stayed"
csv="$(ls "$share/VEK_Updates"/LanRun-*.csv 2>/dev/null | head -1)"
updated="$(grep -c 'Updated successfully to: / C:\\Apps\\Galvano' "$csv" 2>/dev/null)"

echo
echo "LAN run of $count machines (UpdateG.exe, Wine $(wine --version 2>/dev/null), program clock x$scale)"
cat "$root/figures.txt"
echo "rows updated in the run's record: ${updated:-0} of $count"
hx_stop_prefix
