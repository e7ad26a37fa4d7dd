#!/usr/bin/env bash
# vek_wine_bench.sh VEKSvrReg.exe vek_load_bench [--seconds N]
# The load benchmark against the Windows service: VEKSvrReg.exe started directly in a 32-bit
# Wine prefix of its own, on a port picked at run time, driven from the native vek_load_bench
# over loopback. Prints the same table as the native run; nothing passes or fails on a time.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../tests/wine/harness/harness.sh"
[ $# -ge 2 ] || hx_fail "usage: vek_wine_bench.sh VEKSvrReg.exe vek_load_bench [--seconds N]"
service_exe="$1" bench="$2"; shift 2

root="$(dirname "$(readlink -f "$bench")")/wine-bench"
prefix="$root/prefix"
[ -d "$prefix/drive_c" ] || hx_make_prefix "$prefix" win32
hx_use_prefix "$prefix"
hx_xvfb_start
port="$(hx_free_port)"
hx_copy_in "$service_exe" 'C:\vekbench'
data="$(hx_unix_path 'C:\VekBench\Galvano')"
mkdir -p "$data"; printf 'Test\r\n' > "$data/T1234.txt"
hx_reg_sz 'HKLM\Software\VEKInfo' SvrPort "$port"
hx_reg_sz 'HKLM\Software\VEKInfo\Galvano' AppPath 'C:\VekBench\Galvano\'
hx_start 'C:\vekbench\VEKSvrReg.exe'
hx_log "VEKSvrReg.exe under $(wine --version 2>/dev/null) on port $port"
"$bench" --port "$port" "$@"
status=$?
hx_stop_prefix
exit $status
