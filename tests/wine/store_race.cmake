# The store of an update in the data directory by several computers at once, with the real store
# code under Wine; the same program times the store and the first pass for bench/.
add_executable(store_race ${CMAKE_CURRENT_LIST_DIR}/store_race.cpp)
target_link_libraries(store_race PRIVATE updexar_distribution updexar_win32)

updexar_add_wine_test(store_race_wine_win32 PREFIX win32 TIMEOUT 600
  COMMAND ${UPDEXAR_BASH} ${CMAKE_CURRENT_LIST_DIR}/store_race_wine.sh $<TARGET_FILE:store_race>)
