#!/usr/bin/env bash
# check-imports.sh OBJDUMP PROGRAM.exe...: every shipped program is a 32-bit PE (pei-i386, PE32)
# and imports nothing but Windows system DLLs, so it runs from a bare folder on any machine.
set -u
[ $# -ge 2 ] || { echo "usage: check-imports.sh OBJDUMP PROGRAM.exe..." >&2; exit 2; }
objdump="$1"; shift
# Lower case. msvcrt is part of Windows; the MinGW runtime libraries are not.
allowed=(kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll
  comctl32.dll comdlg32.dll ws2_32.dll wsock32.dll version.dll shlwapi.dll msvcrt.dll winmm.dll
  mpr.dll netapi32.dll rpcrt4.dll secur32.dll crypt32.dll iphlpapi.dll userenv.dll imm32.dll
  uxtheme.dll winspool.drv dnsapi.dll wtsapi32.dll psapi.dll bcrypt.dll ntdll.dll odbc32.dll)
is_allowed() { local a; for a in "${allowed[@]}"; do [ "$a" = "$1" ] && return 0; done; return 1; }
bad=0
for exe in "$@"; do
  if [ ! -f "$exe" ]; then echo "MISSING $exe"; bad=1; continue; fi
  dump="$("$objdump" -p "$exe" 2>&1)" || { echo "UNREADABLE $exe"; bad=1; continue; }
  grep -q "file format pei-i386" <<<"$dump" && grep -Eq 'Magic[[:space:]]+010b' <<<"$dump" \
    || { echo "NOT A 32-BIT PE $exe: $(grep -m1 'file format' <<<"$dump")"; bad=1; }
  dlls="$(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$dump" | tr -d '\r' | tr '[:upper:]' '[:lower:]' | sort -u)"
  [ -n "$dlls" ] || { echo "NO IMPORTS $exe"; bad=1; }
  for d in $dlls; do
    is_allowed "$d" || { echo "FOREIGN DLL $exe: $d"; bad=1; }
  done
  echo "checked $(basename "$exe"): $(echo $dlls)"
done
exit $bad
