#!/usr/bin/env bash
# upl_tool_test.sh COMMAND...: the machine-list tool, started as COMMAND (the native program, or
# `wine updexar-upl.exe`). A list decoded with its passwords encodes back to the same file, byte
# for byte; passwords are masked otherwise (an empty one stays empty); bad input and bad usage end
# with a message and a non-zero exit code, and leave the list being written as it was.
set -u
tool=("$@")
export WINEDEBUG="${WINEDEBUG:--all}"
[ -n "${UPDEXAR_WINE_PREFIX:-}" ] && export WINEPREFIX="$UPDEXAR_WINE_PREFIX"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect CODE PATTERN STDIN ARGS...: exit code CODE and PATTERN (grep -E) in what went to stderr.
expect() {
  local code="$1" pattern="$2" input="$3"; shift 3
  "${tool[@]}" "$@" <"$input" >out.bin 2>err.txt
  local rc=$?
  [ "$rc" = "$code" ] || fail "$* gave exit code $rc, not $code: $(cat err.txt)"
  grep -Eq -- "$pattern" err.txt || fail "$*: no '$pattern' in: $(cat err.txt)"
}

# A name in the ANSI code page (0xE9), a machine known by address only, an empty password.
printf '1\tACCOUNTS-PC\t2\t192.168.1.20\tadmin\tWinter 2026!\n' >list.txt
printf '0\t\t1\t192.168.1.31\tCORP\\clerk\ts3cret\n' >>list.txt
printf '2\tCAF\xe9-01\t0\t\tguest\t\n' >>list.txt

"${tool[@]}" encode -o list.upl <list.txt || fail "encode of a good list"
[ "$(head -c 4 list.upl | od -An -tx1 | tr -d ' \n')" = "4845330d" ] || fail "the list file does not start with HE3 CR"
"${tool[@]}" decode --show-passwords list.upl >shown.txt || fail "decode --show-passwords"
cmp -s list.txt shown.txt || fail "decode --show-passwords did not give the lines back: $(od -c shown.txt | head)"

sed 's/\t[^\t]\+$/\t********/' list.txt >masked.txt
"${tool[@]}" decode list.upl >plain.txt || fail "decode"
cmp -s masked.txt plain.txt || fail "decode without --show-passwords: $(cat plain.txt)"

# The decoded lines, ended by CR LF as an editor on Windows may save them, encode back to the same file.
sed 's/$/\r/' shown.txt >crlf.txt
"${tool[@]}" encode -o crlf.upl <crlf.txt && cmp -s list.upl crlf.upl || fail "decode then encode (CR LF line ends)"

head -c 20 list.upl >cut.upl
: >empty.txt
printf '1\tPC\t1\t10.0.0.1\tuser\n' >five.txt
printf 'x\tPC\t1\t10.0.0.1\tuser\tpw\n' >check.txt
expect 1 "not a packed machine list, or it is damaged" empty.txt decode cut.upl
expect 1 "cannot open 'missing.upl'" empty.txt decode missing.upl
cp list.upl kept.upl
expect 1 "line 1 has 5 field" five.txt encode -o list.upl
expect 1 "line 1: a check" check.txt encode -o list.upl
expect 1 "no machines in the input" empty.txt encode -o list.upl
expect 1 "cannot write 'nowhere/x.upl': Path not found; it is as it was" list.txt encode -o nowhere/x.upl
cmp -s list.upl kept.upl && [ "$(ls)" = "$(ls | grep -v '\.new$')" ] || fail "a failed encode touched the list: $(ls)"
expect 2 "no command given" empty.txt
expect 2 "unknown command 'pack'" empty.txt pack
expect 2 "decode takes one list file" empty.txt decode
expect 2 "unknown option '--show'" empty.txt decode --show list.upl
expect 2 "encode takes -o FILE" empty.txt encode list.upl

[ "$failures" -eq 0 ] || { echo "upl_tool_test: $failures check(s) failed"; exit 1; }
echo "upl_tool_test: all checks passed"
