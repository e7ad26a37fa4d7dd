# The utility itself under Wine: start-up, product selection and the main window, driven from a
# shell script through ui_probe.exe, in both kinds of prefix.

add_executable(ui_probe ${CMAKE_CURRENT_LIST_DIR}/ui_probe.cpp)
target_link_libraries(ui_probe PRIVATE updexar_ui_driver updexar_win32)
target_link_options(ui_probe PRIVATE -municode)

foreach(kind IN LISTS UPDEXAR_WINE_KINDS)
  updexar_add_wine_test(mainwindow_wine_${kind} PREFIX ${kind} TIMEOUT 420 SCREEN
    COMMAND ${UPDEXAR_BASH} ${CMAKE_CURRENT_LIST_DIR}/mainwindow_wine.sh
            $<TARGET_FILE:UpdateG> $<TARGET_FILE:ui_probe> ${CMAKE_BINARY_DIR}/screenshots)
endforeach()
