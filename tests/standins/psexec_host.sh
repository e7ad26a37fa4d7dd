# psexec_host.sh JOB: the target machine's side of the PsExec stand-in (psexec.cpp), on Linux.
# JOB/request holds the target, the program and its arguments, one a line. The machine is the
# folder $UPDEXAR_LAN_MACHINES/<target>; the first line of its file `does` says what it does:
#   run             runs the program in the machine's own Wine prefix (the folder's `prefix`), on
#                   the machines' screen UPDEXAR_LAN_DISPLAY, its clock UPDEXAR_LAN_TIME_SCALE
#                   times faster; the exit code is appended to the folder's `codes`
#   refuse          nothing runs: PsExec cannot reach it and ends with 53 (network path not found)
#   silent          nothing runs, and PsExec waits on it for ever
#   hang            the marker, and an update log that never ends
#   answer S1 S2    the marker at a random moment within S1 seconds, a successful update log at
#                   one within S2 after it, on the run's clock (UPDEXAR_TIME_SCALE); each file's
#                   kind, row and time of writing are appended to written.txt beside JOB
# A target without a folder refuses. The program's argument names the LAN run's shared folder,
# \\SERVER\share\..., which is UPDEXAR_LAN_SHARE on this computer.
job="$1"
{
  read -r target
  read -r program
  read -r argument
} <"$job/request"
machine="$UPDEXAR_LAN_MACHINES/$target"
does=refuse
[ -f "$machine/does" ] && read -r does <"$machine/does"

finish() { printf '%s\n' "$1" >"$job/done.tmp" && mv "$job/done.tmp" "$job/done"; }

# AUTOUPD-<product>:<shared folder>:<row>:<report folder>:...
shared="$(printf '%s\n' "$argument" | cut -d: -f2 | sed 's|^\\\\[^\\]*\\[^\\]*||; s|\\|/|g')"
row="$(printf '%s\n' "$argument" | cut -d: -f3)"
report="$UPDEXAR_LAN_SHARE$shared/$(printf '%s\n' "$argument" | cut -d: -f4)"
# put NAME TEXT: the file appears whole, as the program would see a file it wrote and closed.
put() { printf "$2" >"$report/$1.tmp" && mv "$report/$1.tmp" "$report/$1"; }
# pause SECONDS-ON-THE-RUN'S-CLOCK: a random part of it, in real time.
pause() {
  awk -v r="$(od -An -N4 -tu4 /dev/urandom)" -v s="$1" -v f="${UPDEXAR_TIME_SCALE:-1}" \
    'BEGIN { printf "%.3f\n", r / 4294967296 * s / f }' | xargs sleep
}

set -- $does
case "$1" in
  run)
    code=0
    (
      unset UPDEXAR_DESKTOP UPDEXAR_RECORD
      export WINEPREFIX="$machine/prefix" DISPLAY="${UPDEXAR_LAN_DISPLAY:-$DISPLAY}"
      export UPDEXAR_TIME_SCALE="${UPDEXAR_LAN_TIME_SCALE:-1}"
      exec wine "$program" "$argument"
    ) >>"$machine/output.txt" 2>&1 || code=$?
    echo "$code" >>"$machine/codes"
    finish "$code"
    ;;
  silent) ;;
  hang)
    put "$row.txt" '[START]\r\nConnected\r\n[END]\r\n'
    put "$row.log" '[START]\r\nProcess:Update:To->C:\\Apps\\Galvano\r\n'
    ;;
  answer)
    # Each time taken just before the file appears: a delay measured from it is never too short.
    pause "$2"
    at="$(date +%s.%N)"
    put "$row.txt" '[START]\r\nConnected\r\n[END]\r\n'
    echo "marker $row $at" >>"$job/../written.txt"
    pause "$3"
    at="$(date +%s.%N)"
    put "$row.log" '[START]\r\nProcess:Update:To->C:\\Apps\\Galvano\r\nProcess:Update:OK\r\n[END]\r\n'
    echo "log $row $at" >>"$job/../written.txt"
    finish 0
    ;;
  *) finish 53 ;;
esac
