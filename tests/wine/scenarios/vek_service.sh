# wine: win32 wow64 timeout=400
# The VEK service program started directly, as the update starts it when the service exists (the
# service itself is the update scenario's): a request in two pieces, 300 silent connections held
# open meanwhile, and one product's data directory answering late while the other products' checks
# go on; the late one is given up after the service's check time and answers as a failed check.
port="$(hx_free_port)" dir='C:\windows\system32'
[ "$kind" = wow64 ] && dir='C:\windows\syswow64'
for p in Galvano Tarsel; do
  mkdir -p "$(hx_unix_path "C:\\VekData\\$p")"; printf 'Test\r\n' >"$(hx_unix_path "C:\\VekData\\$p")/T1234.txt"
  hx_reg_sz "HKLM\\Software\\VEKInfo\\$p" AppPath "C:\\VekData\\$p\\"
done
hx_reg_sz 'HKLM\Software\VEKInfo' SvrPort "$port"
cp "$VEKSVR" "$sysdir/VEKSvrReg.exe"
cleanup() { hx_stop_prefix; hx_reg_delete 'HKLM\Software\VEKInfo' SvrPort; rm -rf "$sysdir/VEKSvrReg.exe" "$(hx_unix_path 'C:\VekData')"; }

# Tarsel's checks take 5 s, as on a share that answers late (SlowFolderForTests in the service's main).
case_direct() {
  UPDEXAR_VEK_SLOW_DIR='C:\VekData\Tarsel' UPDEXAR_VEK_SLOW_MS=5000 hx_start "$dir\\VEKSvrReg.exe"
  waits 60 'ask up "$port" GLV T1234 && grep -q EXIST "$work/up.txt"'
  ask crowded "$port" GLV T1234 300 300 'idle connections: 300' 'state: EXIST'
  ask stall "$port" TRS T1234 --meanwhile GLV T1234 GLV T9999 'meanwhile GLV T1234: EXIST, first waiting' \
    'meanwhile GLV T9999: NOTEXIST, first waiting' 'state: NOTEXIST'
}

# On a clock 100 times as fast: a request whose second half comes 20 s late is still answered, as
# its client still waits for it; silent connections are let go after the client's 30 s.
case_shed() {
  hx_stop_prefix
  UPDEXAR_TIME_SCALE=100 hx_start "$dir\\VEKSvrReg.exe"
  waits 60 'ask up "$port" GLV T1234 && grep -q EXIST "$work/up.txt"'
  ask late "$port" GLV T1234 200 50 3000 'state: EXIST' 'idle connections closed: 50'
}
