# The real utility updating a Galvano installation under Wine, unattended and by hand, in both
# kinds of prefix.
foreach(kind IN LISTS UPDEXAR_WINE_KINDS)
  updexar_add_wine_test(update_wine_${kind} PREFIX ${kind} TIMEOUT 900 SCREEN
    COMMAND ${UPDEXAR_BASH} ${CMAKE_CURRENT_LIST_DIR}/update_wine.sh
            $<TARGET_FILE:UpdateG> $<TARGET_FILE:ui_probe> $<TARGET_FILE:recorder> $<TARGET_FILE:com_test>
            $<TARGET_FILE:vek_service> $<TARGET_FILE:dummy_program> ${CMAKE_BINARY_DIR}/screenshots)
endforeach()
