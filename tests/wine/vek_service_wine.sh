#!/usr/bin/env bash
# vek_service_wine.sh VEKSvrReg.exe vek_check_client.exe vek_service_ctl.exe
# The VEK service installed the way the update run installs it, in the prefix named by
# UPDEXAR_WINE_PREFIX: the program in the system folder the 32-bit program really sees, the
# service created for that path and started, checked over TCP by a Windows client, stopped.
# Then the same program started directly, as the update run starts it when the service exists,
# with one product's data directory answering late: the other products' checks go on meanwhile.
set -u
. "${UPDEXAR_WINE_HARNESS:-$(dirname "$0")/harness}/harness.sh"
[ $# -eq 3 ] || hx_fail "usage: vek_service_wine.sh VEKSvrReg.exe vek_check_client.exe vek_service_ctl.exe"
service_exe="$1" client_exe="$2" ctl_exe="$3"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"

hx_use_prefix "$UPDEXAR_WINE_PREFIX"
kind="$(hx_prefix_kind)"
# The two kinds of prefix may run side by side on this one host, and so may other runs.
port="$(hx_free_port)"
if [ "$kind" = wow64 ]; then
  sysdir='C:\windows\syswow64'; regview=/reg:32
else
  sysdir='C:\windows\system32'; regview=
fi
hx_log "VEK service in a $kind prefix: $sysdir, port $port"

failures=0
check() {  # check WHAT EXPECTED-LINE FILE
  if grep -qxF "$2" "$3"; then hx_log "ok: $1"
  else hx_log "FAIL: $1: expected '$2' in:"; sed 's/^/    /' "$3" >&2; failures=$((failures + 1)); fi
}

work="${UPDEXAR_WINE_ROOT:-$(dirname "$UPDEXAR_WINE_PREFIX")}/runs/vek_service-$kind"
rm -rf "$work"; mkdir -p "$work"
ctl() { hx_run 60 "$work/ctl-$1.txt" 'C:\vektest\vek_service_ctl.exe' "$@"; }
client() {  # client NAME CODE TOKEN [SPLIT_MS [IDLE]]
  local name="$1"; shift
  hx_run 60 "$work/client-$name.txt" 'C:\vektest\vek_check_client.exe' 127.0.0.1 "$port" "$@"
}

# A service left over from an earlier run in this prefix goes first.
hx_run 60 "$work/cleanup.txt" 'C:\vektest\vek_service_ctl.exe' delete >/dev/null 2>&1 || true
hx_copy_in "$service_exe" "$sysdir"
hx_copy_in "$client_exe" 'C:\vektest'
hx_copy_in "$ctl_exe" 'C:\vektest'
for product in Galvano Tarsel; do
  data="$(hx_unix_path "C:\\VekData\\$product")"
  rm -rf "$data"; mkdir -p "$data"
  printf 'Test\r\n' > "$data/T1234.txt"
done

# Settings in the registry view of a 32-bit program, which is where the utility writes them.
timeout 60 wine reg add 'HKLM\Software\VEKInfo' /v SvrPort /t REG_SZ /d "$port" /f $regview >/dev/null 2>&1 \
  || hx_fail "could not seed SvrPort"
for product in Galvano Tarsel; do
  timeout 60 wine reg add "HKLM\\Software\\VEKInfo\\$product" /v AppPath /t REG_SZ /d "C:\\VekData\\$product\\" /f \
    $regview >/dev/null 2>&1 || hx_fail "could not seed AppPath of $product"
done

# Installed and started as a service.
ctl install "$sysdir\\VEKSvrReg.exe"
[ "$HX_EXIT" = 0 ] || hx_fail "service not created"
timeout 60 wine net start VEKSvrReg > "$work/net-start.txt" 2>&1 || true
ctl wait running 20
check "service running" "state: 4" "$work/ctl-wait.txt"
timeout 60 wine sc query VEKSvrReg 2>&1 | tr -d '\r' > "$work/sc-running.txt"
grep -q 'RUNNING' "$work/sc-running.txt" && hx_log "ok: sc query says RUNNING" \
  || { hx_log "FAIL: sc query:"; cat "$work/sc-running.txt" >&2; failures=$((failures + 1)); }

client exist GLV T1234
check "a file that is there" "state: EXIST" "$work/client-exist.txt"
client notexist GLV T9999
check "a file that is not there" "state: NOTEXIST" "$work/client-notexist.txt"
client unknown ZZZ T1234
check "an unknown product code" "raw: INVALIDCOMMAND|0" "$work/client-unknown.txt"
client split GLV T1234 300
check "a request in two pieces" "state: EXIST" "$work/client-split.txt"
client crowded GLV T1234 -1 300
check "300 silent connections held open" "idle connections: 300" "$work/client-crowded.txt"
check "answered among them" "state: EXIST" "$work/client-crowded.txt"

# A second copy started directly finds the port taken and leaves instead of hanging about.
hx_run 30 "$work/second-copy.txt" "$sysdir\\VEKSvrReg.exe"
if [ "$HX_EXIT" = 124 ] || [ "$HX_EXIT" = 137 ]; then
  hx_log "FAIL: a second copy did not leave"; failures=$((failures + 1))
else
  hx_log "ok: a second copy left (exit $HX_EXIT)"
fi

# Stopped on the stop control; the process ends and lets go of its program file.
timeout 60 wine net stop VEKSvrReg > "$work/net-stop.txt" 2>&1 || true
ctl wait stopped 20
check "service stopped" "state: 1" "$work/ctl-wait.txt"
timeout 60 wine sc query VEKSvrReg 2>&1 | tr -d '\r' > "$work/sc-stopped.txt"
grep -q 'STOPPED' "$work/sc-stopped.txt" && hx_log "ok: sc query says STOPPED" \
  || { hx_log "FAIL: sc query:"; cat "$work/sc-stopped.txt" >&2; failures=$((failures + 1)); }
for i in $(seq 1 50); do
  ctl processes
  grep -qxF "processes: 0" "$work/ctl-processes.txt" && break
  sleep 0.2
done
check "no VEKSvrReg.exe process left" "processes: 0" "$work/ctl-processes.txt"

# Started directly, as a plain process, it serves the same way. Tarsel's checks are made to take
# 5 s, as on a share that answers late (see SlowFolderForTests in the service's main).
UPDEXAR_VEK_SLOW_DIR='C:\VekData\Tarsel' UPDEXAR_VEK_SLOW_MS=5000 hx_start "$sysdir\\VEKSvrReg.exe"
for i in $(seq 1 50); do
  client direct GLV T1234
  grep -qxF "state: EXIST" "$work/client-direct.txt" && break
  sleep 0.2
done
check "started directly" "state: EXIST" "$work/client-direct.txt"
# While Tarsel's check hangs, Galvano's are answered as usual; Tarsel's own is given up after the
# service's check time, shorter than the 5 s, and answers as a failed check though the file is there.
client stall TRS T1234 --meanwhile GLV T1234 GLV T9999
check "a file found while another check hangs" "meanwhile GLV T1234: EXIST, first waiting" "$work/client-stall.txt"
check "a file missed while another check hangs" "meanwhile GLV T9999: NOTEXIST, first waiting" "$work/client-stall.txt"
check "a check that hangs too long fails" "state: NOTEXIST" "$work/client-stall.txt"
timeout 30 wine taskkill /f /im VEKSvrReg.exe >/dev/null 2>&1 || true

# The prefix is shared with other tests: leave it as it was found.
ctl delete
timeout 60 wine reg delete 'HKLM\Software\VEKInfo' /v SvrPort /f $regview >/dev/null 2>&1 || true
for product in Galvano Tarsel; do
  timeout 60 wine reg delete "HKLM\\Software\\VEKInfo\\$product" /v AppPath /f $regview >/dev/null 2>&1 || true
done
hx_stop_prefix
rm -f "$(hx_unix_path "$sysdir")/VEKSvrReg.exe"
rm -rf "$(hx_unix_path 'C:\VekData')" "$(hx_unix_path 'C:\vektest')"
[ "$failures" = 0 ] || hx_fail "$failures check(s) failed in the $kind prefix"
hx_log "VEK service: all checks passed in the $kind prefix"
