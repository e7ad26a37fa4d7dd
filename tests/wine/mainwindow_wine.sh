#!/usr/bin/env bash
# mainwindow_wine.sh UpdateG.exe ui_probe.exe SHOTDIR [CASE...]: the utility as a user and a LAN
# run meet it: product from the file name, the two modes of the command line, the main window with
# a Galvano installation, the marker file and the update log in the share, forceguest, the
# machine grid under the user's hand, and the ways the program ends. Cases: interactive unknown
# invalid automatic fewfields grid (all by default).
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
[ ${#cases[@]} -gt 0 ] || cases=(interactive unknown invalid automatic fewfields grid)

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

# The machine grid, read through the grid window's own message (GRIDM_GETCELL): a cell's fields
# are check, back colour, text colour, flags, screen rectangle and text.
cell() { probe cell "=$main_caption" "$1" "$2"; }
cell_field() {
  case "$1" in
    check) cut -f1 ;; back) cut -f2 ;; fore) cut -f3 ;; flags) cut -f4 ;; rect) cut -f5 ;; text) cut -f6- ;;
  esac
}
# cell_is ROW COL FIELD VALUE [SECONDS]: waits until the field reads VALUE (for flags: until they
# hold the word VALUE, or lack it when VALUE starts with "!").
cell_is() {
  local row=$1 col=$2 field=$3 want=$4 end=$((SECONDS + ${5:-15})) got
  while :; do
    got="$(cell "$row" "$col" | cell_field "$field")"
    if [ "$field" = flags ]; then
      if [ "${want#!}" != "$want" ]; then [[ ",$got," != *",${want#!},"* ]] && return 0
      else [[ ",$got," == *",$want,"* ]] && return 0; fi
    else
      [ "$got" = "$want" ] && return 0
    fi
    [ $SECONDS -lt $end ] || { hx_log "cell $row,$col $field is '$got', not '$want'"; return 1; }
    sleep 0.2
  done
}
# focus_is CLASS [password]: waits until the control with the focus is of that class (the
# password box when asked).
focus_is() {
  local end=$((SECONDS + 15)) got
  while :; do
    got="$(probe focused "=$main_caption" | cut -f1,2)"
    [ "$got" = "$1"$'\t'"${2:--}" ] && return 0
    [ $SECONDS -lt $end ] || { hx_log "the focus is on '$got', not '$1 ${2:-}'"; return 1; }
    sleep 0.2
  done
}
# caret_beyond X / caret_at X: waits until the caret of the box with the focus stands right of X
# (something was typed) or at X (pixels in the box).
caret_beyond() { caret_wait "$1" -gt; }
caret_at() { caret_wait "$1" -eq; }
caret_wait() {
  local end=$((SECONDS + 15)) got
  while :; do
    got="$(probe focused "=$main_caption" | cut -f4)"
    [ "$got" != - ] && [ "$got" "$2" "$1" ] 2>/dev/null && return 0
    [ $SECONDS -lt $end ] || { hx_log "the caret is at '$got', not $2 $1"; return 1; }
    sleep 0.2
  done
}
# inside A B: rectangle A ("l,t,r,b") lies within B.
inside() {
  local al at ar ab bl bt br bb
  IFS=, read -r al at ar ab <<<"$1"
  IFS=, read -r bl bt br bb <<<"$2"
  [ "$al" -ge "$bl" ] && [ "$at" -ge "$bt" ] && [ "$ar" -le "$br" ] && [ "$ab" -le "$bb" ]
}
search() {
  local s='Search Computer over Network'
  probe click "=$main_caption" "&Search" || return 1
  probe wait-window "=$s" 20 >/dev/null || return 1
  "$@" || return 1
  probe click "=$s" "&Ok" || return 1
  probe gone "=$s" 60
}
by_name() {
  probe click "=Search Computer over Network" "Computer Name" && probe set-text "=Search Computer over Network" 0 "$1"
}
by_range() {
  local s='Search Computer over Network' i=1 part
  for part in "$@"; do probe set-text "=$s" $i "$part" || return 1; i=$((i + 1)); done
}

# The machine list as the user builds and works it: machines found by name and by an address
# range, one box per row ticked by clicking and whole columns from the header, logins edited only
# in selected rows, the password typed into the masked box over its cell and left by each of its
# keys, and the box closed when its row scrolls away. Every cell is read back from outside.
case_grid() {
  start_app "$pkg\UpdateG.exe"
  probe wait-window "=$main_caption" 60 >/dev/null || { fail "no main window \"$main_caption\""; return; }
  probe click "=$main_caption" "Update on LAN Machines" || { fail "could not open the LAN frame"; return; }
  probe wait-text "=$main_caption" "&Search" 20 || { fail "the LAN frame did not open"; return; }

  # Four rows by name (the names resolve to this computer's loop-back address, and differ in
  # case, so each is a machine of its own), four by address.
  local names=(localhost LOCALHOST Localhost LocalHost) name r
  for name in "${names[@]}"; do
    search by_name "$name" || { fail "the search for $name did not finish"; return; }
  done
  search by_range 127 0 0 2 5 || { fail "the range search did not finish"; return; }
  cell_is 8 2 text 127.0.0.5 || { fail "eight machines expected: $(cell 8 2)"; return; }
  for r in 1 2 3 4; do
    [ "$(cell $r 0 | cell_field text)" = "$r" ] || fail "row $r is not numbered $r"
    [ "$(cell $r 1 | cut -f1,6)" = "1"$'\t'"${names[r - 1]}" ] || fail "row $r: the name is not ticked: $(cell $r 1)"
    [ "$(cell $r 2 | cut -f1,6)" = $'2\t127.0.0.1' ] || fail "row $r: the address is not offered unticked: $(cell $r 2)"
  done
  [ "$(cell 1 1 | cut -f2,3)" = $'#FFFFFF\t#000000' ] || fail "a data cell's colours: $(cell 1 1)"
  [ "$(cell 0 1 | cut -f1,4)" = $'2\tfixed,bold' ] || fail "the header's name box: $(cell 0 1)"
  # Addresses that no name answers for have no name box, which the header box leaves alone.
  local noname=()
  for r in 5 6 7 8; do [ "$(cell $r 1 | cell_field check)" = 0 ] && noname+=("$r"); done

  # One ticked box per row; the header's box sets its column and clears the other.
  probe click-check "=$main_caption" 1 2
  cell_is 1 2 check 1 && cell_is 1 1 check 2 || fail "ticking row 1's address did not clear its name"
  probe click-check "=$main_caption" 1 1
  cell_is 1 1 check 1 && cell_is 1 2 check 2 || fail "ticking row 1's name did not clear its address"
  probe click-check "=$main_caption" 0 2
  cell_is 0 2 check 1 && cell_is 4 2 check 1 || fail "the header's address box did not tick the addresses"
  for r in 1 2 3 4; do [ "$(cell $r 1 | cell_field check)" = 2 ] || fail "row $r kept its name ticked"; done
  probe click-check "=$main_caption" 0 1
  cell_is 0 1 check 1 && cell_is 4 1 check 1 && cell_is 4 2 check 2 || fail "the header's name box did not take the column"
  for r in "${noname[@]}"; do
    [ "$(cell $r 1 | cell_field check)" = 0 ] || fail "the header's box gave row $r a name box"
    [ "$(cell $r 2 | cell_field check)" = 1 ] || fail "row $r without a name lost its address"
  done

  # Row 4 unselected: neither its user name nor its password opens.
  probe click-check "=$main_caption" 4 1
  cell_is 4 1 check 2 || fail "row 4's name box did not clear"
  probe click-cell "=$main_caption" 4 3
  cell_is 4 3 flags current || fail "row 4's user name did not become current"
  cell_is 4 3 flags '!editing' 1 || fail "the user name of an unselected row opened"
  probe click-cell "=$main_caption" 4 4 double
  cell_is 4 4 flags current || fail "row 4's password did not become current"
  focus_is UpdexarGrid || fail "the password box opened in an unselected row"

  # A user name opens as soon as it is reached.
  probe click-cell "=$main_caption" 1 3
  cell_is 1 3 flags editing || fail "row 1's user name did not open"
  probe type "=$main_caption" 'QOR\admin'
  probe key "=$main_caption" ENTER
  cell_is 1 3 text 'QOR\admin' || fail "the user name was not stored"

  # The password box: over its cell, masked; Right at the end of the text leaves it for Status.
  local shot="$shots/mainwindow-grid-$kind.png" overlay start
  rm -f "$shot"
  probe click-cell "=$main_caption" 1 4 double
  focus_is Edit password || { fail "the password box did not open over row 1"; return; }
  overlay="$(probe focused "=$main_caption" | cut -f3)"
  start="$(probe focused "=$main_caption" | cut -f4)"  # the caret in the empty box
  inside "$overlay" "$(cell 1 4 | cell_field rect)" || fail "the password box ($overlay) is not over its cell: $(cell 1 4)"
  probe type "=$main_caption" 'abc12'
  caret_beyond "$start" || fail "the typing did not reach the password box"
  hx_desktop_shot "$shot" || fail "no screenshot with the password box open"
  probe key "=$main_caption" RIGHT
  cell_is 1 6 flags current || fail "Right at the end did not leave for Status"
  cell_is 1 4 text '*****' && cell_is 1 5 text 'abc12' || fail "the password was not stored: $(cell 1 4) / $(cell 1 5)"
  focus_is UpdexarGrid || fail "the grid did not take the focus"

  # Enter on the grid opens the box (its character does not close it again); Enter leaves it.
  probe click-cell "=$main_caption" 2 4
  cell_is 2 4 flags current || fail "row 2's password did not become current"
  probe key "=$main_caption" ENTER
  focus_is Edit password || { fail "Enter on the password cell did not open the box"; return; }
  probe type "=$main_caption" 'pw2'
  probe key "=$main_caption" ENTER
  cell_is 2 6 flags current && cell_is 2 5 text pw2 && cell_is 2 4 text '***' || fail "Enter did not store row 2's password"

  # Left only at the start of the text, then to the user name, which opens.
  probe click-cell "=$main_caption" 2 4 double
  focus_is Edit password || { fail "the box did not open again over row 2"; return; }
  probe type "=$main_caption" 'xyz9'
  caret_beyond "$start" || fail "the typing did not reach the password box"
  for r in 1 2 3 4; do probe key "=$main_caption" LEFT; done
  caret_at "$start" || fail "four times Left did not bring the caret to the start of 'xyz9'"
  focus_is Edit password || fail "Left left the box before the start of the text"
  probe key "=$main_caption" LEFT
  cell_is 2 3 flags editing || fail "Left at the start did not go to the user name"
  cell_is 2 5 text xyz9 && cell_is 2 4 text '****' || fail "leaving with Left did not store the password"
  probe key "=$main_caption" ESC
  cell_is 2 3 flags '!editing' || fail "Esc did not close the user name"

  # Down and Up to the next and the previous row's password, which stay closed.
  probe click-cell "=$main_caption" 2 4 double
  focus_is Edit password || { fail "the box did not open for Down"; return; }
  probe type "=$main_caption" 'd2'
  probe key "=$main_caption" DOWN
  cell_is 3 4 flags current && cell_is 2 5 text d2 || fail "Down did not go to row 3 with row 2's password stored"
  focus_is UpdexarGrid || fail "Down opened the box again"
  probe key "=$main_caption" ENTER
  focus_is Edit password || { fail "the box did not open over row 3"; return; }
  probe type "=$main_caption" 'u3'
  probe key "=$main_caption" UP
  cell_is 2 4 flags current && cell_is 3 5 text u3 && cell_is 3 4 text '**' || fail "Up did not go to row 2 with row 3's password"
  focus_is UpdexarGrid || fail "Up opened the box again"

  # Scrolling moves the box with its row, and closes it (storing the password) once the row
  # is out of view.
  probe click-cell "=$main_caption" 2 4 double
  focus_is Edit password || { fail "the box did not open for scrolling"; return; }
  probe type "=$main_caption" 's2'
  caret_beyond "$start" || fail "the typing did not reach the password box"
  local before moved end=$((SECONDS + 15))
  before="$(probe focused "=$main_caption" | cut -f3)"
  probe scroll "=$main_caption" 1
  while :; do
    moved="$(probe focused "=$main_caption" | cut -f3)"
    [ "$moved" != "$before" ] && inside "$moved" "$(cell 2 4 | cell_field rect)" && break
    [ $SECONDS -lt $end ] || { fail "the box did not move with its row ($moved over $(cell 2 4))"; break; }
    sleep 0.2
  done
  probe scroll "=$main_caption" 3
  cell_is 2 5 text s2 || fail "scrolling row 2 away did not store its password"
  focus_is UpdexarGrid || fail "the focus stayed in the closed box"
  cell_is 2 4 rect - || fail "row 2 is still in view: $(cell 2 4)"

  probe click "=$main_caption" "Exit" || fail "no Exit button"
  probe wait-text "=Updexar" "Do you really want to Exit?" 20 || { fail "no exit question"; return; }
  probe click "=Updexar" "Yes" || fail "no Yes button"
  app_ends 30 || fail "the program did not end after Yes"
}

# --- run --------------------------------------------------------------------------------------

seed_installation
run_cases "${cases[@]}"
hx_log "screenshots in $shots"
