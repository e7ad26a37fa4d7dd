# The window toolkit's Windows backend under Wine: the UI driver, the message-box tests inside
# platform_wine_tests, and screenshots of a message box at two screen sizes (shots.sh).

add_library(updexar_ui_driver STATIC ${CMAKE_CURRENT_LIST_DIR}/ui_driver.cpp)
target_include_directories(updexar_ui_driver PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(updexar_ui_driver PUBLIC updexar_win32)

# forms_wine_test.cpp is part of platform_wine_tests through its glob.
target_link_libraries(platform_wine_tests PRIVATE updexar_ui_driver updexar_ui updexar_forms updexar_core)

add_executable(msgbox_demo ${CMAKE_CURRENT_LIST_DIR}/msgbox_demo.cpp)
target_link_libraries(msgbox_demo PRIVATE updexar_ui_driver updexar_ui updexar_forms updexar_core updexar_win32)

foreach(size 800x600 1024x768)
  updexar_add_screenshot_test(msgbox_screenshot_${size} msgbox_demo ${size} win32)
endforeach()
