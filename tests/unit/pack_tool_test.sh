#!/usr/bin/env bash
# pack_tool_test.sh EXAMPLE COMMAND...: the package tool, started as COMMAND (the native program, or `wine
# updexar-pack.exe`), on copies of the example package EXAMPLE with its two programs put in: the example passes; each
# kind of package mistake gives its finding at its line; a seal is one `sha256sum -c` accepts, and a change after it is
# found; plan says what the update would do and writes nothing; a wrong command line ends with exit code 2.
set -u
example="$(readlink -f "$1")"; shift
tool=("$@")
export WINEDEBUG="${WINEDEBUG:--all}"
[ -n "${UPDEXAR_WINE_PREFIX:-}" ] && export WINEPREFIX="$UPDEXAR_WINE_PREFIX"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# run ARGS...: the tool's exit code in rc, what it printed in out.txt with "\" as "/" and no CR.
run() { "${tool[@]}" "$@" >raw.txt 2>&1; rc=$?; tr '\\' '/' <raw.txt | tr -d '\r' >out.txt; }
# has PATTERN...: each (grep -E) is a line of out.txt.
has() { local p; for p in "$@"; do grep -Eq -- "$p" out.txt || fail "no '$p' in: $(cat out.txt)"; done; }
fresh() { rm -rf GalvanoUpd; cp -r good GalvanoUpd; }

# The example with the utility and RegSvr32.exe, which are programs and not in the repository.
cp -r "$example" good
printf 'MZ' >good/UpdateG.exe
printf 'MZ' >good/MiscFls/RegSvr32.exe

# row CODE SETUP PATTERN...: check of a fresh copy after SETUP (shell, in the package).
row() {
  local code="$1" setup="$2"; shift 2
  fresh
  (cd GalvanoUpd && eval "$setup") || fail "setup failed: $setup"
  run check GalvanoUpd
  [ "$rc" = "$code" ] || fail "'$setup' gave exit code $rc, not $code: $(cat out.txt)"
  has "$@"
}
idx() { printf '%s\r\n' "$@" >>DLLs/NewUpFls/INDEX.UPD; }
sealed() { "${tool[@]}" seal . >/dev/null || echo "seal failed"; }
I='^GalvanoUpd/DLLs/NewUpFls/INDEX.UPD' U='^GalvanoUpd/UpdInfoP.txt' S='^GalvanoUpd/Updexar.sha256'

row 0 '' '^GalvanoUpd: 0 error\(s\), 0 warning\(s\)$'
row 1 "idx 'FILE,Version.txt,,Always' 'DRIVER,Version.txt,x.txt,Always'" \
  "$I:5: error: no destination .* drops the record" "$I:6: error: the kind 'DRIVER' is neither FILE nor FOLDER"
row 1 "idx 'FILE,gone.txt,gone.txt,No' 'FOLDER,Version.txt,v,No' 'FILE,..\\up.txt,x,No'" \
  "$I:5: error: the source 'gone.txt' is not below" "$I:6: error: the source 'Version.txt' is a file, the kind says FOLDER" \
  "$I:7: error: the source '../up.txt' climbs out"
row 1 "idx 'FILE,Version.txt,..\\Other\\v.txt,No' 'FILE,Version.txt,SOFTDATADIR\\\\\\\\SRV\\x\\v.txt,No' 'FILE,Version.txt,SYSDIR\\C:\\v.txt,No'" \
  "$I:5: error: .* climbs out .* outside the installation" "$I:6: error: .* names a share: .* outside the data directory" \
  "$I:7: error: .* names a drive: .* outside the system folder"
row 1 "idx 'FOLDER,Reports,SOFTDATADIR\\,Always' 'FOLDER,Reports,x\\..,Always'" \
  "$I:5: error: the FOLDER destination 'SOFTDATADIR/' is not below the data directory: the update refuses" \
  "$I:6: error: the FOLDER destination 'x/..' is not below the installation"
row 0 "idx 'FILE,Version.txt,VERSION.TXT,No' 'FILE,Version.txt,v.txt,last modified date'" \
  "$I:5: warning: the destination 'VERSION.TXT' is written by line 1 too" \
  "$I:6: warning: the rule 'last modified date' .* overwrites always" '^GalvanoUpd: 0 error\(s\), 2 warning\(s\)$'
row 1 "printf 'FILE,Version.txt' >>DLLs/NewUpFls/INDEX.UPD" "$I:5: error: the file ends inside this record"
row 1 "idx '' 'FILE,Version.txt,v.txt,No'" "$I:5: error: no kind .* a blank line is an empty one" "$I:6: error: the file ends inside"
row 1 "mv UpdateG.exe UpdateO.exe" "$I:1: error: the destination 'Version.txt' is not below SYSDIR"
row 1 "sed -i 's/GalvanoUpd/Galvano/; s|06/12/2026\",\"\"|31/02/2026\",\"\"|' UpdInfoP.txt; printf '\"x.txt\",\"1/1/2024\",\"\",\"3\"\r\n' >>UpdInfoP.txt" \
  "$U:1: error: the update's name 'Galvano' is not the package folder's name 'GalvanoUpd'" \
  "$U:1: error: the update's date '31/02/2026' is no calendar date: the update reads it as 03/03/2026" \
  "$U:5: error: the location '3' of 'x.txt' is neither 1" "$U:5: error: the oldest date .* is neither DD/MM/YYYY"
row 1 "printf 'a,b,c,d\r\n' >UpdInfoP.txt" "$U:1: warning: before the header" "$U: error: no header record"
row 1 "rm UpdInfoP.txt" '^GalvanoUpd: error: no update information'
row 1 "mkdir DLLs/MyFonts; printf '\"Face.ttf\",\"Face\"\r\n\"\",\"Other\"\r\n' >DLLs/MyFonts/FontList.txt" \
  'FontList.txt:1: error: the font file .Face.ttf. is not in' 'FontList.txt:2: warning: a record without'
row 1 "rm MiscFls/RegSvr32.exe; mv UpdateG.exe UpdateQ.exe" '^GalvanoUpd/MiscFls: error: RegSvr32.exe is missing' \
  "^GalvanoUpd/UpdateQ.exe: error: 'Q' is no product's letter"
row 1 "sealed; printf N | dd of=DLLs/NewUpFls/Version.txt bs=1 conv=notrunc 2>/dev/null; rm MiscFls/README.txt; printf x >New.txt" \
  "$S:[0-9]+: error: 'DLLs/NewUpFls/Version.txt' differs from its hash" "$S:[0-9]+: error: 'MiscFls/README.txt' is missing" \
  "$S: warning: 'New.txt' is not sealed"
row 1 "sealed; printf '%064d  ../x\n' 0 >>Updexar.sha256" "$S:11: error: the path goes through \"..\""

# A seal sha256sum takes, of every file but the report folders a LAN run keeps in the package.
fresh
printf 'y' >"GalvanoUpd/DLLs/NewUpFls/Reports/Year end.rpt"
mkdir GalvanoUpd/Log1 && printf 'run' >GalvanoUpd/Log1/3.log
run seal GalvanoUpd
[ "$rc" = 0 ] && has '^GalvanoUpd/Updexar.sha256: 11 file\(s\) sealed$'
(cd GalvanoUpd && sha256sum --quiet --strict -c Updexar.sha256) || fail "sha256sum does not take the seal: $(cat GalvanoUpd/Updexar.sha256)"
grep -q 'Log1' GalvanoUpd/Updexar.sha256 && fail "a report folder was sealed"
run check GalvanoUpd
[ "$rc" = 0 ] && has '^GalvanoUpd: 0 error\(s\), 0 warning\(s\)$'

# plan: what the update would do to an installation whose files are older than the update, and
# to one whose reports are newer than the package's; nothing changes on the way.
fresh
mkdir -p inst/Galvano/Reports data
for f in Galvano.ini Version.txt Reports/Sales.rpt; do printf 'old' >"inst/Galvano/$f"; done
touch -d 2026-01-15 inst/Galvano/Galvano.ini inst/Galvano/Version.txt inst/Galvano/Reports/Sales.rpt inst/Galvano/Reports
tree() { find GalvanoUpd inst data -printf '%p %s %T@ %m\n' | sort; find GalvanoUpd inst data -type f -exec md5sum {} + | sort; }
printf 'FOLDER,Reports,SYSDIR\\,Always\r\n' >>GalvanoUpd/DLLs/NewUpFls/INDEX.UPD
before="$(tree)"
P='^GalvanoUpd/DLLs/NewUpFls/INDEX.UPD'
run plan GalvanoUpd --install inst/Galvano --data data/
[ "$rc" = 0 ] || fail "plan gave exit code $rc"
has "$P:1: FILE Version.txt -> inst/Galvano/Version.txt: replace \(rule \"Always\"\)$" \
  "$P:2: FILE Galvano.ini -> inst/Galvano/Galvano.ini: keep \(rule \"No\": it is there\)$" \
  "$P:3: FOLDER Reports -> inst/Galvano/Reports: replace \(rule \"Last Modified Date\": the source of ../../.... against 15/01/2026 there, not older\)$" \
  "$P:4: FILE Templates/Invoice.txt -> data/Templates/Invoice.txt: copy \(nothing there yet\)$" \
  "$P:5: FOLDER Reports -> refused: 'SYSDIR/' is a whole folder, which the update does not replace$" \
  '^GalvanoUpd/UpdInfoP.txt: the installation needs this update \(2 listed file'
touch -d '+2 years' inst/Galvano/Reports inst/Galvano/Reports/Sales.rpt
run plan GalvanoUpd --install inst/Galvano
has "$P:3: .*: keep \(rule \"Last Modified Date\": .* older\)$" "$P:4: .* not planned: give --data$" \
  '^GalvanoUpd/UpdInfoP.txt: the installation has a newer one'
touch -d 2026-01-15 inst/Galvano/Reports inst/Galvano/Reports/Sales.rpt
[ "$before" = "$(tree)" ] || fail "plan changed the package or the installation: $(diff <(echo "$before") <(tree))"

# usage CODE PATTERN ARGS...
usage() { local code="$1" pattern="$2"; shift 2; run "$@"; [ "$rc" = "$code" ] || fail "$* gave $rc, not $code"; has "$pattern"; }
usage 2 'no command given'
usage 2 "unknown command 'pack'" pack GalvanoUpd
usage 2 "no package folder 'Nowhere'" check Nowhere
usage 2 'plan needs --install' plan GalvanoUpd
usage 2 "unknown option '--install'" check GalvanoUpd --install x

[ "$failures" -eq 0 ] || { echo "pack_tool_test: $failures check(s) failed"; exit 1; }
echo "pack_tool_test: all checks passed"
