# The LAN run of the real utility, from its main window, against machines played by prefixes of
# their own and reached through the PsExec stand-in. The 32-bit prefix is enough: the run on each
# machine is the unattended update the update tests cover in both kinds.
updexar_add_wine_test(lan_run_wine_win32 PREFIX win32 TIMEOUT 600 SCREEN
  COMMAND ${UPDEXAR_BASH} ${CMAKE_CURRENT_LIST_DIR}/lan_run_wine.sh
          $<TARGET_FILE:UpdateG> $<TARGET_FILE:ui_probe> $<TARGET_FILE:recorder> $<TARGET_FILE:psexec>
          $<TARGET_FILE:updexar-upl> ${CMAKE_BINARY_DIR}/screenshots)
