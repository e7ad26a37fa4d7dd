#!/usr/bin/env bash
# lan_list_wine.sh UpdateG.exe ui_probe.exe updexar-upl.exe SHOTDIR [CASE...]
# The LAN part of the real utility's main window, against this host's own name resolution:
#   search  the computer search by name, by address and over a range, this computer left out,
#           Cancel, and the search window's refusals; the rows seen in the list a save writes
#   users   the logged-on user lookup on this computer's own name, on "localhost" and on an
#           address: what Wine's HKEY_USERS answers, as it is and as a Windows XP machine's
#   saved   the options and the machine list written by a LAN update (the list packed and
#           private), read back by the next start, and removed when not to be saved
# The grid's cells are read through what the program saves: the machine list decoded with
# updexar-upl.exe. Screenshots of the search window, the looked-up users and a loaded list stay
# in SHOTDIR.
set -u
. "$(dirname "$0")/harness/harness.sh"
[ $# -ge 4 ] || hx_fail "usage: lan_list_wine.sh UpdateG.exe ui_probe.exe updexar-upl.exe SHOTDIR [CASE...]"
: "${UPDEXAR_WINE_PREFIX:?which prefix}"
: "${UPDEXAR_WINE_ROOT:?where the run keeps its files}"
exe="$1" probe_exe="$2" upl_exe="$3" shots="$4"
shift 4
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(search users saved)

. "$(dirname "$0")/harness/app.sh"
app_begin lan_list
vek='HKLM\Software\VEKInfo'
pkg='C:\Updates\GalvanoUpd'
main='=Updexar -> Galvano -> GalvanoUpd'
search_window='=Search Computer over Network'
settings="$share/VEK_Updates"
upl="$settings/VEKUpdUtil.UPL"
ini="$settings/VEKUpdUtil.INI"
lan_question='Do you really want to Update software on selected LAN Machines ?'

hx_reg_sz "$vek\\Galvano" InstallPath 'C:\Apps\Galvano\'
hx_reg_sz "$vek\\Galvano" AppPath '\\SERVER\share\Data\Galvano'
hx_reg_sz "$vek" SoftUpdPath '\\SERVER\share'
mkdir -p "$(hx_unix_path 'C:\Apps\Galvano')" "$share/Data/Galvano"
rm -rf "$(hx_unix_path "$pkg")"
hx_copy_in "$exe" "$pkg"

# This computer as the program finds it, and what this host's resolver answers for addresses.
IFS=$'\t' read -r own_name own_ip < <(probe this-computer)
[ -n "${own_name:-}" ] && [ -n "${own_ip:-}" ] || hx_fail "this computer has no name or address under Wine"
reverse() { getent hosts "$1" | awk '{ print $2; exit }'; }
localhost_ip="$(getent ahostsv4 localhost | awk '{ print $1; exit }')"
hx_log "this computer: $own_name $own_ip; 127.0.0.1 is '$(reverse 127.0.0.1)', localhost is $localhost_ip"

# --- driving the windows ------------------------------------------------------------------------

# wait_until SECONDS COMMAND...: true once the command succeeds within the time.
wait_until() {
  local end=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
}

# answer TEXT BUTTON: a message box asking exactly TEXT comes, and BUTTON answers it.
answer() {
  probe wait-text "=Updexar" "$1" 30 || { fail "no \"$1\": $(probe texts "=Updexar" | tr '\n' '|')"; return 1; }
  probe click "=Updexar" "$2" || { fail "no $2 for \"$1\""; return 1; }
  wait_until 20 asked_no_more "$1" || { fail "the box \"$1\" stayed"; return 1; }
}
# asked_no_more TEXT: no message box shows that text; another one may have followed it.
asked_no_more() {
  probe windows | grep -qxF $'UpdexarForm\tUpdexar' || return 0
  ! probe texts "=Updexar" | grep -qxF $'Static\t'"$1"
}

# index_after CLASS LABEL: which visible control of that class (from 0) follows the label in
# the main window: the boxes of the LAN frame have no text of their own to find them by.
index_after() {
  probe texts "$main" | awk -F'\t' -v cls="$1" -v label="$2" '
    $1 == cls { if (seen) { print n; found = 1; exit } n++ }
    $1 == "Static" && $2 == label { seen = 1 }
    END { exit !found }'
}
type_into() {
  local i
  i="$(index_after Edit "$1")" || { fail "no box after \"$1\""; return 1; }
  probe set-text "$main" "$i" "$2" || fail "could not type into \"$1\""
}
pick() {
  local i
  i="$(index_after ComboBox "$1")" || { fail "no list after \"$1\""; return 1; }
  probe choose "$main" "$i" "$2" || fail "could not pick \"$2\" for \"$1\""
}

# start_desk: the program from its package folder, updating LAN machines only, the LAN frame open.
start_desk() {
  start_app "$pkg\\UpdateG.exe"
  probe wait-window "$main" 60 >/dev/null || { fail "no main window"; return 1; }
  probe click "$main" "Update on Local Machine" || { fail "no local check box"; return 1; }
  probe click "$main" "Update on LAN Machines" || { fail "no LAN check box"; return 1; }
  probe wait-text "$main" "&Search" 30 || { fail "the LAN frame did not open"; return 1; }
}
end_desk() {
  probe click "$main" "E&xit" && answer "Do you really want to Exit?" "&Yes"
  app_ends 30 || fail "the program did not end after Exit"
}

# search OPTION TEXT...: the search window with that option, its box (or the range's five boxes)
# filled, and Ok; the window closes once the search is done. The boxes in creation order: the
# name or address, then the range's four parts and its last number.
search() {
  local option="$1" i=0 text; shift
  probe click "$main" "&Search" || { fail "no Search button"; return 1; }
  probe wait-window "$search_window" 30 >/dev/null || { fail "no search window"; return 1; }
  probe click "$search_window" "$option" || { fail "no option $option"; return 1; }
  [ "$option" = "IP Range" ] && i=1
  for text in "$@"; do probe set-text "$search_window" $((i++)) "$text" || fail "could not type $text"; done
  probe click "$search_window" "&Ok" || { fail "no Ok"; return 1; }
  probe gone "$search_window" 60 || { fail "the search for $* did not end"; return 1; }
}
# refused TEXT: Ok answers with exactly this message, and the search window stays.
refused() {
  probe click "$search_window" "&Ok" || { fail "no Ok"; return 1; }
  answer "$1" OK || return 1
  probe wait-window "$search_window" 5 >/dev/null || fail "the search window closed on \"$1\""
}

# lan_update [QUESTION...]: Update >>, Yes to the LAN update and to each question after it. The
# settings are saved before the progress window opens; its LAN run does nothing yet, so the
# window closes at once and leaves the main window with no message.
lan_update() {
  local q
  probe click "$main" "&Update >>" || { fail "no Update button"; return 1; }
  answer "$lan_question" "&Yes" || return 1
  for q in "$@"; do answer "$q" "&Yes" || return 1; done
  probe gone "= Please Wait ..." 30 || { fail "the progress window stayed"; return 1; }
}
# main_alone: the main window is the only one, no message box.
main_alone() { [ "$(probe windows | cut -f2)" = "${main#=}" ]; }

# --- the saved files ----------------------------------------------------------------------------

decoded() { timeout 60 wine "$upl_exe" decode --show-passwords "$(hx_win_path "$upl")" 2>>"$work/upl-errors.txt" | tr -d '\r'; }
identity() { stat -c '%i %y' "$1" 2>/dev/null; }
# list_is BEFORE LINE...: the list file has been written anew (its identity differs from
# BEFORE) and holds exactly these machines.
list_is() { [ "$(identity "$upl")" != "$1" ] && [ "$(decoded)" = "$(printf '%s\n' "${@:2}")" ]; }
expect_list() {
  local before="$1"; shift
  wait_until 30 list_is "$before" "$@" && return 0
  fail "the saved list differs (file $(identity "$upl"), before: $before):"
  diff <(printf '%s\n' "$@") <(decoded) >&2
}

# A machine found by address: its name as this host resolves it, that box not ticked (no box
# when there is no name), the address ticked.
by_address() {
  local name; name="$(reverse "$1")"
  printf '%s\t%s\t1\t%s\t\t\n' "$([ -n "$name" ] && echo 2 || echo 0)" "$name" "$1"
}
# The grid keeps one row per address: a machine found again takes over its row where it stands.
one_per_address() {
  awk -F'\t' '{ if (!($4 in row)) order[n++] = $4; row[$4] = $0 } END { for (i = 0; i < n; i++) print row[order[i]] }'
}

# --- cases ------------------------------------------------------------------------------------

case_search() {
  rm -rf "$settings"
  start_desk || return
  probe click "$main" "&Search" || { fail "no Search button"; return; }
  probe wait-window "$search_window" 30 >/dev/null || { fail "no search window"; return; }
  probe texts "$search_window" >"$work/search-texts.txt"
  # The range starts as this computer's network, from 0 to 255.
  local net="${own_ip%.*}"
  [ "$(awk -F'\t' '$1 == "Edit" { printf "%s|", $2 }' "$work/search-texts.txt")" = "|${net//./|}|0|255|" ] \
    || fail "range boxes: $(awk -F'\t' '$1 == "Edit" { printf "%s|", $2 }' "$work/search-texts.txt")"
  [ "$(probe checked "$search_window" "IP Range")" = 1 ] || fail "IP Range is not the option at start"
  hx_desktop_shot "$shots/lan-search-$kind.png" || fail "no screenshot of the search window"

  probe set-text "$search_window" 1 "x"
  refused "Invalid Value."
  probe set-text "$search_window" 1 "${net%%.*}"
  probe set-text "$search_window" 4 "10"; probe set-text "$search_window" 5 "9"
  refused "Invalid Range."
  probe click "$search_window" "IP Address"
  probe set-text "$search_window" 0 "127.0.0.256"
  refused "Invalid IP Address [127.0.0.256]."
  probe set-text "$search_window" 0 ""
  refused "Please specify 'IP Address'."
  probe click "$search_window" "Computer Name"
  refused "Please specify 'Computer Name'."
  # Cancel adds nothing.
  probe click "$search_window" "IP Address"
  probe set-text "$search_window" 0 "127.0.0.9"
  probe click "$search_window" "&Cancel" || fail "no Cancel"
  probe gone "$search_window" 20 || { fail "Cancel left the search window open"; return; }

  search "Computer Name" localhost || return
  search "IP Address" 127.0.0.1 || return
  # This computer, by name or by address, is never a LAN machine to update.
  search "Computer Name" "$own_name" || return
  search "IP Address" "$own_ip" || return
  search "IP Range" 127 0 0 1 5 || return
  local last="${own_ip##*.}" low high
  low=$((last > 0 ? last - 1 : 0)); high=$((last < 255 ? last + 1 : 255))
  search "IP Range" ${net//./ } "$low" "$high" || return

  local expected=() line a
  # Found by name first, then again by its address.
  printf '1\tlocalhost\t2\t%s\t\t\n' "$localhost_ip" >"$work/search-expected.txt"
  for a in 127.0.0.1 127.0.0.{1..5} $(seq -f "$net.%g" "$low" "$high"); do
    [ "$a" = "$own_ip" ] || by_address "$a"
  done >>"$work/search-expected.txt"
  while IFS= read -r line; do expected+=("$line"); done < <(one_per_address <"$work/search-expected.txt")

  pick "Show wait window before update on LAN Machines for" "15 Seconds"
  pick "Show warning message and wait for" "15 Seconds"
  probe click "$main" "No" || fail "no option No"
  pick "Save User Login Details in Shared Directory" "Yes"
  lan_update "Do you want to connect without 'User Name'?" "Do you want to connect without 'Password'?" || return
  expect_list "" "${expected[@]}"
  wait_until 10 main_alone || fail "left open after the LAN update: $(probe windows | tr '\n' '|')"
  end_desk
}

# A list as a save leaves it: this computer under its own name (selected, and once more with
# neither box ticked), localhost, and 127.0.0.1 found by address; each with a user name that a
# lookup finding nothing leaves alone.
case_users() {
  rm -rf "$settings"; mkdir -p "$settings"
  local name_of_ip; name_of_ip="$(reverse 127.0.0.1)"
  local -a rows=(
    $'1\t'"$own_name"$'\t2\t'"$own_ip"$'\tkeep-own\tpw1'
    $'2\t'"$own_name"$'\t2\t'"$own_ip"$'\tkeep-unselected\tpw2'
    $'1\tlocalhost\t2\t'"$localhost_ip"$'\tkeep-local\tpw3'
    "$([ -n "$name_of_ip" ] && echo 2 || echo 0)"$'\t'"$name_of_ip"$'\t1\t127.0.0.1\tkeep-address\tpw4'
  )
  printf '%s\n' "${rows[@]}" | timeout 60 wine "$upl_exe" encode >"$upl" || { fail "could not write the list"; return; }
  start_desk || return
  # The list was read back: saving it is the choice now.
  probe texts "$main" | grep -qxF $'ComboBox\tYes' || fail "the loaded list did not choose to save it"
  pick "Show wait window before update on LAN Machines for" "15 Seconds"
  pick "Show warning message and wait for" "15 Seconds"
  probe click "$main" "No" || fail "no option No"

  # Wine's HKEY_USERS as it comes: .Default and the one user; no third account, so no user name.
  # Names and addresses were looked up again at the load and are what they were.
  get_user_names || return
  local before; before="$(identity "$upl")"
  lan_update || return
  expect_list "$before" "${rows[@]}"

  # As on Windows XP, the two service accounts come before the user: the third account is the
  # one logged on, written for the selected row of this computer and no other.
  local key
  for key in S-1-5-19 S-1-5-20; do timeout 60 wine reg add "HKU\\$key" /f >/dev/null 2>&1 || fail "could not add HKU\\$key"; done
  local account
  account="$(timeout 60 wine cmd /c 'echo %COMPUTERNAME%\%USERNAME%' 2>/dev/null | tr -d '\r')"
  get_user_names || return
  hx_desktop_shot "$shots/lan-users-$kind.png" || fail "no screenshot of the looked-up users"
  before="$(identity "$upl")"
  lan_update || return
  rows[0]=$'1\t'"$own_name"$'\t2\t'"$own_ip"$'\t'"$account"$'\tpw1'
  expect_list "$before" "${rows[@]}"
  end_desk
}
# get_user_names: Get User Name and Yes; the wait window comes and goes, no message follows.
get_user_names() {
  probe click "$main" "&Get User Name" || { fail "no Get User Name button"; return 1; }
  answer "Confirm Fill 'Logger User Name' for All the selected LAN Machines ?" "&Yes" || return 1
  probe gone "= Please Wait ..." 60 || { fail "the user lookup did not end"; return 1; }
  main_alone || fail "left open after the user lookup: $(probe windows | tr '\n' '|')"
}

case_saved() {
  rm -rf "$settings"
  start_desk || return
  probe texts "$main" | grep -qxF $'ComboBox\t' || fail "a list choice without a saved list"
  search "Computer Name" localhost || return
  search "IP Range" 127 0 0 2 3 || return
  type_into "Common/Admin:User Name" 'OFFICE\admin'
  type_into "Common/Admin:Password" 'Pa55 w0rd!'
  probe click-nth "$main" "&Fill" 0 || fail "no first Fill"
  answer "Confirm Fill 'Common/Admin Username' for All the selected LAN Machines ?" "&Yes"
  probe click-nth "$main" "&Fill" 1 || fail "no second Fill"
  answer "Confirm Fill 'Common/Admin Password' for All the selected LAN Machines ?" "&Yes"
  pick "Show wait window before update on LAN Machines for" "30 Seconds"
  pick "Show warning message and wait for" "60 Seconds"
  probe click "$main" "Yes" || fail "no option Yes"
  pick "Save User Login Details in Shared Directory" "Yes"
  lan_update || return

  local -a machines=(
    "$(printf '1\tlocalhost\t2\t%s\tOFFICE\\admin\tPa55 w0rd!' "$localhost_ip")"
  )
  local a line
  for a in 127.0.0.2 127.0.0.3; do
    [ "$a" = "$own_ip" ] && continue
    line="$(by_address "$a")"
    machines+=("${line%$'\t\t'}"$'\tOFFICE\\admin\tPa55 w0rd!')
  done
  expect_list "" "${machines[@]}"
  file_is "$ini" 'cboStartUpd=2\r\ncboCloseApp=3\r\noptCloseApp=Y\r\n' || fail "options file: $(od -c "$ini" 2>&1 | head -4)"
  # Administrators and the writer, nobody else: Wine gives an entry for a SID of the process's
  # token the owner's and the group's bits, and "others" nothing.
  [ "$(stat -c %a "$upl")" = 770 ] || fail "the list file's permissions are $(stat -c %a "$upl")"
  [ -d "$settings/GalvanoUpd" ] || fail "no folder for the package in $settings"
  [ "$(hx_reg_query "$vek" SoftUpdPath)" = '\\SERVER\share' ] || fail "SoftUpdPath is $(hx_reg_query "$vek" SoftUpdPath)"
  main_alone || fail "left open after the LAN update: $(probe windows | tr '\n' '|')"
  end_desk

  # The next start reads the options, and the list once the LAN box is ticked; the same
  # choices save the same list, and leave the options file as it was.
  local options; options="$(identity "$ini")"
  start_desk || return
  probe texts "$main" >"$work/saved-reloaded.txt"
  grep -qxF $'ComboBox\t30 Seconds' "$work/saved-reloaded.txt" && grep -qxF $'ComboBox\t60 Seconds' "$work/saved-reloaded.txt" \
    || fail "options not read back: $(grep ComboBox "$work/saved-reloaded.txt" | tr '\n' '|')"
  [ "$(probe checked "$main" "Yes")" = 1 ] || fail "the closing choice was not read back"
  grep -qxF $'ComboBox\tYes' "$work/saved-reloaded.txt" || fail "the loaded list did not choose to save it"
  hx_desktop_shot "$shots/lan-list-$kind.png" || fail "no screenshot of the loaded list"
  local before; before="$(identity "$upl")"
  lan_update || return
  expect_list "$before" "${machines[@]}"
  [ "$(identity "$ini")" = "$options" ] || fail "the options file was written though nothing changed"

  # No: the list goes, the options stay.
  pick "Save User Login Details in Shared Directory" "No"
  lan_update || return
  wait_until 30 test ! -e "$upl" || fail "No left the list in place"
  [ -f "$ini" ] || fail "No removed the options file"
  end_desk
}

# --- run --------------------------------------------------------------------------------------

# The prefix is shared with the other tests.
case_cleanup() {
  local key
  for key in S-1-5-19 S-1-5-20; do timeout 60 wine reg delete "HKU\\$key" /f >/dev/null 2>&1; done
  hx_reg_delete "$vek" SoftUpdPath
  hx_reg_delete "$vek\\Galvano" InstallPath
  hx_reg_delete "$vek\\Galvano" AppPath
}
run_cases "${cases[@]}" cleanup
hx_log "screenshots in $shots"
