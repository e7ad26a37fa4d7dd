# wine: win32 wow64 timeout=400
# The VEK service installed as the update installs it (the program in the system folder the
# 32-bit program really sees, the service created for that path), started, asked over TCP by a
# Windows client, stopped on its control. Then the program started directly, as the update starts
# it when the service exists, with one product's data directory answering late: the other
# products' checks go on meanwhile.
port="$(hx_free_port)" dir='C:\windows\system32'
[ "$kind" = wow64 ] && dir='C:\windows\syswow64'
for p in Galvano Tarsel; do
  rm -rf "$(hx_unix_path "C:\\VekData\\$p")"; mkdir -p "$(hx_unix_path "C:\\VekData\\$p")"
  printf 'Test\r\n' >"$(hx_unix_path "C:\\VekData\\$p")/T1234.txt"
  hx_reg_sz "HKLM\\Software\\VEKInfo\\$p" AppPath "C:\\VekData\\$p\\"
done
hx_reg_sz 'HKLM\Software\VEKInfo' SvrPort "$port"
cp "$VEKSVR" "$sysdir/VEKSvrReg.exe"
# ask NAME ARGS... LINE...: the client's output holds each line.
ask() {
  local out="$work/$1.txt" args=() l; shift
  while [ $# -gt 0 ] && [[ "$1" != *:* ]]; do args+=("$1"); shift; done
  timeout 60 wine "$VEK_CLIENT" 127.0.0.1 "$port" "${args[@]}" 2>&1 | tr -d '\r' >"$out"
  for l in "$@"; do grep -qxF -- "$l" "$out" || fail "no '$l' in: $(tr '\n' ' ' <"$out")"; done
}
ctl() { timeout 60 wine "$VEK_CTL" "$@" 2>/dev/null | tr -d "\r"; }
cleanup() {
  ctl delete >/dev/null; hx_stop_prefix
  hx_reg_delete 'HKLM\Software\VEKInfo' SvrPort
  rm -rf "$sysdir/VEKSvrReg.exe" "$(hx_unix_path 'C:\VekData')"
}

case_service() {
  ctl delete >/dev/null
  ctl install "$dir\\VEKSvrReg.exe" >/dev/null || fail "service not created"
  timeout 60 wine net start VEKSvrReg >/dev/null 2>&1
  [ "$(ctl wait running 20)" = 'state: 4' ] || fail "the service does not run"
  ask exist GLV T1234 'state: EXIST'
  ask missing GLV T9999 'state: NOTEXIST'
  ask unknown ZZZ T1234 'raw: INVALIDCOMMAND|0'
  ask split GLV T1234 300 'state: EXIST'
  ask crowded GLV T1234 -1 300 'idle connections: 300' 'state: EXIST'
  # A second copy started directly finds the port taken and leaves.
  timeout 30 wine "$dir\\VEKSvrReg.exe" >/dev/null 2>&1; [ $? -lt 124 ] || fail "a second copy did not leave"
  timeout 60 wine net stop VEKSvrReg >/dev/null 2>&1
  [ "$(ctl wait stopped 20)" = 'state: 1' ] || fail "the service did not stop"
  for _ in $(seq 1 150); do [ "$(ctl processes)" = "processes: 0" ] && break; sleep 0.2; done
  [ "$(ctl processes)" = "processes: 0" ] || fail "VEKSvrReg.exe still runs after the stop: $(pgrep -af -i veksvrreg)"
}

# Tarsel's checks take 5 s, as on a share that answers late (SlowFolderForTests in the service's
# main); its own check is given up after the service's check time, answering as a failed check.
case_direct() {
  UPDEXAR_VEK_SLOW_DIR='C:\VekData\Tarsel' UPDEXAR_VEK_SLOW_MS=5000 hx_start "$dir\\VEKSvrReg.exe"
  for _ in $(seq 1 50); do timeout 60 wine "$VEK_CLIENT" 127.0.0.1 "$port" GLV T1234 2>&1 | grep -q EXIST && break; sleep 0.2; done
  ask stall TRS T1234 --meanwhile GLV T1234 GLV T9999 'meanwhile GLV T1234: EXIST, first waiting' \
    'meanwhile GLV T9999: NOTEXIST, first waiting' 'state: NOTEXIST'
}
