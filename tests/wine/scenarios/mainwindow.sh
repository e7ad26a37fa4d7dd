# wine: win32 wow64 screen timeout=420
# The utility as a user and a LAN run meet it: the product from the file name, the two modes of
# the command line, the main window with a Galvano installation, the marker file and the update
# log in the share, forceguest, the machine grid under the user's hand, and the ways the program
# ends. The 64-bit prefix has the smaller screen, so the pictures show both layouts.
[ "$kind" = wow64 ] && desktop=800x600
lsa='HKLM\SYSTEM\CurrentControlSet\Control\Lsa'
galvano
mkdir -p "$share/Upd1/Log1"
rm -rf "$(hx_unix_path 'C:\Updates\GalvanoUpd')"
hx_copy_in "$UPDATEG" 'C:\Updates\GalvanoUpd'
cp "$UPDATEG" "$(hx_unix_path 'C:\Updates\GalvanoUpd')/Updatez.exe"
cleanup() { hx_reg_delete 'HKLM\Software\VEKInfo' SoftUpdPath; }

# Started by hand: the installation's paths from the registry, the LAN frame on its check box,
# Exit's key asking first and Yes ending the program; forceguest 1 becomes 0.
case_interactive() {
  hx_reg_dword "$lsa" forceguest 1
  start 'C:\Updates\GalvanoUpd\UpdateG.exe'
  ui <<'EOF'
on =Updexar -> Galvano -> GalvanoUpd
see C:\Apps\Galvano
see \\SERVER\share\Data\Galvano
EOF
  shot mainwindow
  reg_is "$lsa" forceguest 0x0
  ui <<'EOF'
on =Updexar -> Galvano -> GalvanoUpd
click Update on LAN Machines
see &Search
key ALT+X
on =Updexar
see Do you really want to Exit?
EOF
  shot mainwindow-lan-exit
  printf 'on =Updexar\nclick Yes\n' | ui
  ends 30 && code_is 0
}

# A file name whose last letter is no product, or anything before AUTOUPD-: the message, the
# end, and nothing written (Wine hands an argument with a blank over in quotes, as Windows would).
case_refused() {
  rm -f "$share/Upd1/Log1/"*
  start 'C:\Updates\GalvanoUpd\Updatez.exe'
  printf 'on =Updexar\nsee Unknown Product !\nclick OK\n' | ui
  ends 30
  start 'C:\Updates\GalvanoUpd\UpdateG.exe' ' AUTOUPD-Galvano:\\SERVER\share\Upd1:3:Log1:0:0:N'
  printf 'on =Updexar\nsee Invalid Parameters !\nclick OK\n' | ui
  ends 30
}

# Started by a LAN run: the marker first, the main window without the choices under the start
# countdown; Esc there logs the cancellation and ends (forceguest left alone is the unit tier's).
case_automatic() {
  rm -f "$share/Upd1/Log1/"*
  hx_reg_delete 'HKLM\Software\VEKInfo' SoftUpdPath
  start 'C:\Updates\GalvanoUpd\UpdateG.exe' 'AUTOUPD-Galvano:\\SERVER\share\Upd1:3:Log1:3:0:N'
  ui <<'EOF'
on =Updexar -> Galvano -> Upd1
see C:\Apps\Galvano
on = Please Wait ...
see Auto Update in 60 Second(s)
EOF
  is "$share/Upd1/Log1/3.txt" '[START]\r\nConnected\r\n[END]\r\n'
  lacks "$share/Upd1/Log1/3.log"
  reg_is 'HKLM\Software\VEKInfo' SoftUpdPath '\\SERVER\share'
  shot mainwindow-auto
  printf 'on = Please Wait ...\nkey ESC\n' | ui
  ends 30 && code_is 3
  is "$share/Upd1/Log1/3.log" '[START]\r\nError:Update:Cancelled\r\n[END]\r\n'
}

# The real grid window under the mouse and keys (what each edit does is the unit tier's), its
# cells read back from outside: rows from a search by name and over a range, a box ticked by a
# click, a user name typed into its cell, the password typed into the masked box over its cell
# and left with Right and Enter, and the box closed when scrolling takes its row away.
case_grid() {
  start 'C:\Updates\GalvanoUpd\UpdateG.exe'
  printf '%s\n' "$main" 'click Update on LAN Machines' | ui
  search "Computer Name" localhost
  search "IP Range" 127 0 0 2 9
  ui <<'EOF'
on =Updexar -> Galvano -> GalvanoUpd
cell 9 2 text 127.0.0.9
cell 1 1 text localhost
click-check 1 2
cell 1 2 check 1
click-cell 1 3
cell 1 3 flags editing
type QOR\admin
key ENTER
cell 1 3 text QOR\admin
double-cell 1 4
focus Edit password
over 1 4
type abc12
EOF
  shot mainwindow-grid
  ui <<'EOF'
on =Updexar -> Galvano -> GalvanoUpd
key RIGHT
cell 1 6 flags current
cell 1 5 text abc12
# Enter on the grid opens the box, and its character does not close it again.
click-cell 2 4
cell 2 4 flags current
key ENTER
focus Edit password
type pw2
key ENTER
cell 2 5 text pw2
cell 2 6 flags current
double-cell 2 4
focus Edit password
type s2
scroll 3
cell 2 5 text s2
cell 2 4 rect -
focus UpdexarGrid
click Exit
on =Updexar
click Yes
EOF
  ends 30
}
