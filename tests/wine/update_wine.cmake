# The real utility updating a Galvano installation under Wine, unattended and by hand, in both
# kinds of prefix.
foreach(kind IN LISTS UPDEXAR_WINE_KINDS)
  updexar_add_wine_test(update_wine_${kind} PREFIX ${kind} TIMEOUT 900 SCREEN
    COMMAND ${UPDEXAR_BASH} ${CMAKE_CURRENT_LIST_DIR}/update_wine.sh
            $<TARGET_FILE:UpdateG> $<TARGET_FILE:ui_probe> $<TARGET_FILE:recorder> $<TARGET_FILE:com_test>
            $<TARGET_FILE:vek_service> $<TARGET_FILE:dummy_program> ${CMAKE_BINARY_DIR}/screenshots)
endforeach()

# The same program storing its package in the data directory on another share, and refusing it.
updexar_add_wine_test(distribution_wine_win32 PREFIX win32 TIMEOUT 600 SCREEN
  COMMAND ${UPDEXAR_BASH} ${CMAKE_CURRENT_LIST_DIR}/distribution_wine.sh
          $<TARGET_FILE:UpdateG> $<TARGET_FILE:ui_probe> $<TARGET_FILE:recorder>)
