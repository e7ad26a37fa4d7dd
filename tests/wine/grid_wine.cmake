# The grid window under Wine: a demo window filled like the LAN machine grid, played by a driver
# thread (clicks, keys, typing, scrolling, each step checked against the model), with
# screenshots at two screen sizes.

add_executable(grid_demo ${CMAKE_CURRENT_LIST_DIR}/grid_demo.cpp)
target_include_directories(grid_demo PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(grid_demo PRIVATE updexar_ui_driver updexar_ui updexar_core updexar_forms updexar_win32)

foreach(size 800x600 1024x768)
  updexar_add_screenshot_test(grid_window_${size} grid_demo ${size} win32)
endforeach()
updexar_add_screenshot_test(grid_window_wow64 grid_demo 1024x768 wow64)
