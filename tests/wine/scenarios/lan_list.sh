# wine: win32 screen
# The LAN part of the main window against this host's own name resolution: the computer search
# by name, by address and over a range with this computer left out; the logged-on user lookup on
# this computer by name and by address, against a Windows XP machine's HKEY_USERS; the options
# and the machine list a LAN update saves (the list packed and private), read back by the next
# start. The grid is read through what the program saves, decoded with updexar-upl.exe.
# Screenshots of the search window, the looked-up users and a loaded list.
vek='HKLM\Software\VEKInfo'
settings="$share/VEK_Updates" upl="$share/VEK_Updates/VEKUpdUtil.UPL" ini="$share/VEK_Updates/VEKUpdUtil.INI"
galvano
hx_reg_sz "$vek" SoftUpdPath '\\SERVER\share'
rm -rf "$(hx_unix_path 'C:\Updates\GalvanoUpd')"; hx_copy_in "$UPDATEG" 'C:\Updates\GalvanoUpd'
IFS=$'\t' read -r own_name own_ip < <(timeout 90 wine "$UI_PROBE" this-computer | tr -d '\r')
[ -n "${own_name:-}" ] && [ -n "${own_ip:-}" ] || hx_fail "this computer has no name or address under Wine"
reverse() { getent hosts "$1" | awk '{ print $2; exit }'; }
localhost_ip="$(getent ahostsv4 localhost | awk '{ print $1; exit }')"
cleanup() {
  timeout 60 wine reg delete 'HKU\S-1-5-19' /f >/dev/null 2>&1; timeout 60 wine reg delete 'HKU\S-1-5-20' /f >/dev/null 2>&1
  hx_reg_delete "$vek" SoftUpdPath
}

# The program from its package folder, updating LAN machines only; each step list after it acts
# on the main window.
desk() { start 'C:\Updates\GalvanoUpd\UpdateG.exe'; printf '%s\n' "$main" 'click Update on Local Machine' 'click Update on LAN Machines' 'see &Search' | ui; }
# update [QUESTION...]: Update >>, Yes to the LAN update and to each question after it; the
# progress window does nothing yet, and the main window is left alone.
update() {
  local q
  { echo "$main"; echo 'click &Update >>'; echo 'on =Updexar'
    echo 'see Do you really want to Update software on selected LAN Machines ?'; echo 'click &Yes'
    for q in "$@"; do echo 'on =Updexar'; echo "see $q"; echo 'click &Yes'; done
    echo 'gone = Please Wait ...'; echo "$main"; echo 'only'; } | ui
}
options() {  # options START-WAIT CLOSE-WAIT YES|No [SAVE]
  printf '%s\n' "$main" 'after Show wait window before update on LAN Machines for' "choose 0 $1" \
    'after Show warning message and wait for' "choose 0 $2" "click $3" | ui
  [ $# -lt 4 ] || printf '%s\n' "$main" 'after Save User Login Details in Shared Directory' "choose 0 $4" | ui
}

decoded() { timeout 60 wine "$UPL" decode --show-passwords "$(hx_win_path "$upl")" 2>>"$work/upl-errors.txt" | tr -d '\r'; }
identity() { stat -c '%i %y' "$1" 2>/dev/null; }
# list_is BEFORE LINE...: the list file was written anew (its identity is not BEFORE) and holds
# exactly these machines.
list_is() {
  for _ in $(seq 1 150); do [ "$(identity "$upl")" != "$1" ] && break; sleep 0.2; done
  [ "$(decoded)" = "$(printf '%s\n' "${@:2}")" ] || { fail "the saved list differs:"; diff <(printf '%s\n' "${@:2}") <(decoded) >&2; }
}
# A machine found by address: its name as this host resolves it, that box not ticked (none when
# there is no name), the address ticked.
by_address() { local n; n="$(reverse "$1")"; printf '%s\t%s\t1\t%s\t\t\n' "$([ -n "$n" ] && echo 2 || echo 0)" "$n" "$1"; }

case_search() {
  rm -rf "$settings"
  desk
  local net="${own_ip%.*}"
  # The range starts as this computer's network, 0 to 255; a refusal keeps the window.
  ui <<EOF
$main
click &Search
on =Search Computer over Network
checked 1 IP Range
edit 1 ${net%%.*}
edit 4 0
edit 5 255
EOF
  shot lan-search
  printf '%s\n' 'on =Search Computer over Network' 'click &Cancel' 'gone' | ui
  search "Computer Name" localhost
  search "IP Address" 127.0.0.1
  # The range holds this computer, which is never a LAN machine to update.
  local last="${own_ip##*.}" low high
  low=$((last > 0 ? last - 1 : 0)); high=$((last < 255 ? last + 1 : 255))
  search "IP Range" ${net//./ } "$low" "$high"
  options '15 Seconds' '15 Seconds' No Yes
  update "Do you want to connect without 'User Name'?" "Do you want to connect without 'Password'?"
  # Found by name first, then again by its address; the grid keeps one row per address, a machine
  # found again taking over its row where it stands.
  local a expected=()
  mapfile -t expected < <({ printf '1\tlocalhost\t2\t%s\t\t\n' "$localhost_ip"
    for a in 127.0.0.1 $(seq -f "$net.%g" "$low" "$high"); do [ "$a" = "$own_ip" ] || by_address "$a"; done; } |
    awk -F'\t' '{ if (!($4 in row)) order[n++] = $4; row[$4] = $0 } END { for (i = 0; i < n; i++) print row[order[i]] }')
  list_is "" "${expected[@]}"
  leave
}

# A list as a save leaves it: this computer by its name (selected, and once more unselected),
# localhost, and 127.0.0.1 by address. (A lookup finding nobody is the unit tier's.)
case_users() {
  rm -rf "$settings"; mkdir -p "$settings"
  local n; n="$(reverse 127.0.0.1)"
  local rows=($'1\t'"$own_name"$'\t2\t'"$own_ip"$'\tkeep-own\tpw1' $'2\t'"$own_name"$'\t2\t'"$own_ip"$'\tkeep-unselected\tpw2'
              $'1\tlocalhost\t2\t'"$localhost_ip"$'\tkeep-local\tpw3' "$([ -n "$n" ] && echo 2 || echo 0)"$'\t'"$n"$'\t1\t127.0.0.1\tkeep-address\tpw4')
  printf '%s\n' "${rows[@]}" | timeout 60 wine "$UPL" encode -o "$(hx_win_path "$upl")" || fail "could not write the list"
  desk
  printf '%s\n' "$main" 'after Save User Login Details in Shared Directory' 'combo 0 Yes' | ui   # the loaded list is saved again
  options '15 Seconds' '15 Seconds' No
  # As on Windows XP, the two service accounts come first and the third is the one logged on,
  # written for the selected row of this computer and no other.
  timeout 60 wine reg add 'HKU\S-1-5-19' /f >/dev/null 2>&1; timeout 60 wine reg add 'HKU\S-1-5-20' /f >/dev/null 2>&1
  printf '%s\n' "$main" 'click &Get User Name' 'on =Updexar' \
    "see Confirm Fill 'Logger User Name' for All the selected LAN Machines ?" 'click &Yes' \
    'gone = Please Wait ...' "$main" only | ui
  shot lan-users
  rows[0]=$'1\t'"$own_name"$'\t2\t'"$own_ip"$'\t'"$(timeout 60 wine cmd /c 'echo %COMPUTERNAME%\%USERNAME%' 2>/dev/null | tr -d '\r')"$'\tpw1'
  local before; before="$(identity "$upl")"
  update; list_is "$before" "${rows[@]}"
  leave
}

case_saved() {
  rm -rf "$settings"
  desk
  search "Computer Name" localhost
  search "IP Range" 127 0 0 2 3
  ui <<EOF
$main
after Common/Admin:User Name
set 0 OFFICE\\admin
click &Fill
on =Updexar
see Confirm Fill 'Common/Admin Username' for All the selected LAN Machines ?
click &Yes
EOF
  options '30 Seconds' '60 Seconds' Yes Yes
  update "Do you want to connect without 'Password'?"
  local a l machines=("$(printf '1\tlocalhost\t2\t%s\tOFFICE\\admin\t' "$localhost_ip")")
  for a in 127.0.0.2 127.0.0.3; do
    [ "$a" = "$own_ip" ] || { l="$(by_address "$a")"; machines+=("${l%$'\t\t'}"$'\tOFFICE\\admin\t'); }
  done
  list_is "" "${machines[@]}"
  is "$ini" 'cboStartUpd=2\r\ncboCloseApp=3\r\noptCloseApp=Y\r\n'
  # Administrators and the writer, nobody else: Wine gives an entry for a SID of the process's
  # token the owner's and the group's bits, and "others" nothing.
  [ "$(stat -c %a "$upl")" = 770 ] || fail "the list file's permissions are $(stat -c %a "$upl")"
  [ -d "$settings/GalvanoUpd" ] || fail "no folder for the package in $settings"
  leave
  # The next start reads the options, and the list once the LAN box is ticked (what a save does
  # with what was read is the unit tier's).
  desk
  ui <<EOF
$main
after Show wait window before update on LAN Machines for
combo 0 30 Seconds
after Show warning message and wait for
combo 0 60 Seconds
checked 1 Yes
EOF
  shot lan-list
  leave
}
