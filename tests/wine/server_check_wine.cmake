# The check of the data directory and the server before an update, with the real utility, the
# real VEK service and stand-ins for a misbehaving one. The 32-bit prefix is enough: nothing here
# differs under WOW64 that the update tests do not already cover.
updexar_add_wine_test(server_check_wine_win32 PREFIX win32 TIMEOUT 600 SCREEN
  COMMAND ${UPDEXAR_BASH} ${CMAKE_CURRENT_LIST_DIR}/server_check_wine.sh
          $<TARGET_FILE:UpdateG> $<TARGET_FILE:ui_probe> $<TARGET_FILE:recorder>
          $<TARGET_FILE:vek_service> ${CMAKE_BINARY_DIR}/screenshots)

# The same check on this computer: the product's version table in a MariaDB server of the test's
# own, mended when its index is broken and passed over when the database cannot be reached.
updexar_add_wine_test(repair_wine_win32 PREFIX win32 TIMEOUT 600 SCREEN
  COMMAND ${UPDEXAR_BASH} ${CMAKE_CURRENT_LIST_DIR}/repair_wine.sh
          $<TARGET_FILE:UpdateG> $<TARGET_FILE:ui_probe> $<TARGET_FILE:recorder>)
