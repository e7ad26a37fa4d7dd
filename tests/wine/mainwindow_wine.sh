#!/usr/bin/env bash
# mainwindow_wine.sh UpdateG.exe ui_probe.exe SHOTDIR [CASE...]: the utility as a user and a LAN
# run meet it: product from the file name, the two modes of the command line, the main window with
# a Galvano installation, the marker file and the update log in the share, forceguest, and the
# ways the program ends. Cases: interactive unknown invalid automatic fewfields (all by default).
# The program runs in Wine's virtual desktop, so the screenshots in SHOTDIR show its caption and
# frame.
set -u
. "$(dirname "$0")/harness/harness.sh"
. "$(dirname "$0")/harness/app.sh"
[ $# -ge 3 ] || hx_fail "usage: mainwindow_wine.sh UpdateG.exe ui_probe.exe SHOTDIR [CASE...]"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
exe="$1" probe_exe="$2" shots="$3"
shift 3
[ -f "$exe" ] || hx_fail "no program at $exe"
[ -f "$probe_exe" ] || hx_fail "no probe at $probe_exe"
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(interactive unknown invalid automatic fewfields)

app_begin mainwindow

pkg='C:\Updates\GalvanoUpd'
main_caption='Updexar -> Galvano -> GalvanoUpd'
lsa='HKLM\SYSTEM\CurrentControlSet\Control\Lsa'
vek='HKLM\Software\VEKInfo'

# A Galvano installation in this prefix: registry, folders, the package folder with the program.
seed_installation() {
  hx_reg_sz "$vek\\Galvano" InstallPath 'C:\Apps\Galvano\'
  hx_reg_sz "$vek\\Galvano" AppPath '\\SERVER\share\Data\Galvano'
  mkdir -p "$(hx_unix_path 'C:\Apps\Galvano')" "$share/Data/Galvano"
  rm -rf "$(hx_unix_path "$pkg")"
  mkdir -p "$(hx_unix_path "$pkg")"
  cp "$exe" "$(hx_unix_path "$pkg")/UpdateG.exe"
}

# --- cases ------------------------------------------------------------------------------------

# Started by hand from the package folder: the main window with the installation's paths, the LAN
# frame on its check box, and Exit asking first. forceguest 1 becomes 0.
case_interactive() {
  hx_reg_dword "$lsa" forceguest 1
  start_app "$pkg\\UpdateG.exe"
  probe wait-window "=$main_caption" 60 >/dev/null || { fail "no main window \"$main_caption\""; return; }
  probe texts "=$main_caption" >"$work/interactive-texts.txt"
  local t="$work/interactive-texts.txt"
  has_line "$t" $'Edit\tC:\\Apps\\Galvano' || fail "installation directory not shown as C:\\Apps\\Galvano"
  has_line "$t" $'Edit\t\\\\SERVER\\share\\Data\\Galvano' || fail "data directory not shown"
  has_line "$t" $'Button\tUpdate on Local Machine' || fail "no local check box"
  has_line "$t" $'Button\tUpdate on LAN Machines' || fail "no LAN check box"
  has_line "$t" $'Button\t&Search' && fail "the LAN frame shows before its box is ticked"
  [ "$(probe checked "=$main_caption" "Update on Local Machine")" = 1 ] || fail "local choice not ticked"
  [ "$(probe checked "=$main_caption" "Update on LAN Machines")" = 0 ] || fail "LAN choice ticked at start"
  [ "$(hx_reg_query "$lsa" forceguest)" = 0x0 ] || fail "forceguest is $(hx_reg_query "$lsa" forceguest), not 0"

  local shot="$shots/mainwindow-$kind.png" shot_lan="$shots/mainwindow-lan-$kind.png"
  rm -f "$shot" "$shot_lan"
  local before
  before="$(probe size "=$main_caption")"
  hx_desktop_shot "$shot" || fail "no screenshot"

  probe click "=$main_caption" "Update on LAN Machines" || fail "could not click the LAN check box"
  probe wait-text "=$main_caption" "&Search" 20 || { fail "the LAN frame did not open"; return; }
  [ "$(probe checked "=$main_caption" "Update on LAN Machines")" = 1 ] || fail "LAN choice not ticked after the click"
  probe texts "=$main_caption" >"$work/interactive-lan-texts.txt"
  has_line "$work/interactive-lan-texts.txt" $'UpdexarGrid\t' || fail "no grid in the LAN frame"
  local after
  after="$(probe size "=$main_caption")"
  [ "${after#* }" -gt "${before#* }" ] 2>/dev/null || fail "the window did not grow for the LAN frame ($before -> $after)"
  hx_desktop_shot "$shot_lan" || fail "no screenshot with the LAN frame"

  # No keeps the program; Yes ends it.
  probe click "=$main_caption" "Exit" || fail "no Exit button"
  probe wait-text "=Updexar" "Do you really want to Exit?" 20 || { fail "no exit question"; return; }
  probe click "=Updexar" "No" || fail "no No button"
  probe gone "=Updexar" 20 || fail "the question stayed after No"
  app_ends 2 && { fail "No ended the program"; return; }
  probe wait-window "=$main_caption" 5 >/dev/null || fail "the main window went with No"
  probe click "=$main_caption" "Exit" || fail "no Exit button"
  probe wait-text "=Updexar" "Do you really want to Exit?" 20 || { fail "no exit question"; return; }
  probe click "=Updexar" "Yes" || fail "no Yes button"
  app_ends 30 || { fail "the program did not end after Yes"; return; }
  [ "$APP_CODE" = 0 ] || fail "exit code $APP_CODE after Yes"
}

# A file name whose last letter is no product: the message, then the end.
case_unknown() {
  cp "$exe" "$(hx_unix_path "$pkg")/Updatez.exe"
  start_app "$pkg\\Updatez.exe"
  probe wait-text "=Updexar" "Unknown Product !" 60 || { fail "no \"Unknown Product !\""; return; }
  probe windows | grep -qF 'Updexar -> ' && fail "a main window opened for an unknown product"
  probe click "=Updexar" "OK" || fail "no OK button"
  app_ends 30 || fail "the program did not end after OK"
}

# Anything before AUTOUPD- (here a blank: Wine hands the argument over in quotes, as Windows
# would build the command line) is refused before any file is written.
case_invalid() {
  mkdir -p "$share/Upd1/Log1"
  rm -f "$share/Upd1/Log1/"*
  start_app "$pkg\\UpdateG.exe" ' AUTOUPD-Galvano:\\SERVER\share\Upd1:3:Log1:0:0:N'
  probe wait-text "=Updexar" "Invalid Parameters !" 60 || { fail "no \"Invalid Parameters !\""; return; }
  probe click "=Updexar" "OK" || fail "no OK button"
  app_ends 30 || fail "the program did not end after OK"
  [ -z "$(ls -A "$share/Upd1/Log1")" ] || fail "files written for a refused command line: $(ls "$share/Upd1/Log1")"
}

# Started by a LAN run: marker file first, the main window without the choices, Esc logs the
# cancellation and ends. forceguest is not touched.
case_automatic() {
  mkdir -p "$share/Upd1/Log1"
  rm -f "$share/Upd1/Log1/"*
  hx_reg_dword "$lsa" forceguest 1
  hx_reg_delete "$vek" SoftUpdPath
  local caption='Updexar -> Galvano -> Upd1'
  start_app "$pkg\\UpdateG.exe" 'AUTOUPD-Galvano:\\SERVER\share\Upd1:3:Log1:0:0:N'
  probe wait-window "=$caption" 60 >/dev/null || { fail "no main window \"$caption\""; return; }
  file_is "$share/Upd1/Log1/3.txt" '[START]\r\nConnected\r\n[END]\r\n' \
    || fail "marker file: $(od -c "$share/Upd1/Log1/3.txt" 2>&1 | head -3)"
  [ -e "$share/Upd1/Log1/3.log" ] && fail "an update log before anything was logged"
  probe texts "=$caption" >"$work/automatic-texts.txt"
  local t="$work/automatic-texts.txt"
  grep -q 'Update on' "$t" && fail "the check boxes show in automatic mode"
  has_line "$t" $'Edit\tC:\\Apps\\Galvano' || fail "the local frame does not show the installation directory"
  has_line "$t" $'Button\t&Search' && fail "the LAN frame shows in automatic mode"
  [ "$(hx_reg_query "$lsa" forceguest)" = 0x1 ] || fail "forceguest changed to $(hx_reg_query "$lsa" forceguest)"
  [ "$(hx_reg_query "$vek" SoftUpdPath)" = '\\SERVER\share' ] || fail "SoftUpdPath is '$(hx_reg_query "$vek" SoftUpdPath)'"
  hx_desktop_shot "$shots/mainwindow-auto-$kind.png" || true

  probe key "=$caption" ESC || fail "could not press Esc"
  app_ends 30 || { fail "the program did not end after Esc"; return; }
  [ "$APP_CODE" = 3 ] || fail "exit code $APP_CODE after a cancelled run, not 3"
  file_is "$share/Upd1/Log1/3.log" '[START]\r\nError:Update:Cancelled\r\n[END]\r\n' \
    || fail "update log: $(od -c "$share/Upd1/Log1/3.log" 2>&1 | head -4)"
}

# Too few fields to name the marker file: there is nowhere to log, and nobody to answer a message
# box on a LAN machine, so the program ends at once with the exit code of a bad command line.
case_fewfields() {
  mkdir -p "$share/Upd1/Log1"
  rm -f "$share/Upd1/Log1/"*
  start_app "$pkg\\UpdateG.exe" 'AUTOUPD-Galvano:\\SERVER\share\Upd1'
  app_ends 60 || { fail "the program did not end by itself"; return; }
  [ "$APP_CODE" = 2 ] || fail "exit code $APP_CODE, not 2 (bad command line)"
  [ -z "$(ls -A "$share/Upd1/Log1")" ] || fail "files written: $(ls "$share/Upd1/Log1")"
  [ "$(find "$share/Upd1" -maxdepth 1 -type f | wc -l)" = 0 ] || fail "files written in Upd1"
}

# --- run --------------------------------------------------------------------------------------

seed_installation
run_cases "${cases[@]}"
hx_log "screenshots in $shots"
