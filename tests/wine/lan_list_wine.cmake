# The LAN part of the main window with the real utility: the computer search and the user lookup
# against this host's name resolution and Wine's registry, and the settings saved in the share.
# The 32-bit prefix is enough: none of it differs under WOW64.
updexar_add_wine_test(lan_list_wine_win32 PREFIX win32 TIMEOUT 600 SCREEN
  COMMAND ${UPDEXAR_BASH} ${CMAKE_CURRENT_LIST_DIR}/lan_list_wine.sh
          $<TARGET_FILE:UpdateG> $<TARGET_FILE:ui_probe> $<TARGET_FILE:updexar-upl> ${CMAKE_BINARY_DIR}/screenshots)
