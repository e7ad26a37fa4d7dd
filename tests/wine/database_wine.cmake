# The database contract against the ODBC implementation, through Wine's odbc32 to a MariaDB
# server that the test starts for itself. A program of its own: the other platform tests need
# no server.
add_executable(database_wine_tests
  wine_test_main.cpp
  database_env_win32.cpp
  ${CMAKE_SOURCE_DIR}/tests/contract/database_contract.cpp)
target_include_directories(database_wine_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(database_wine_tests PRIVATE updexar_win32 gtest_win)

foreach(kind IN LISTS UPDEXAR_WINE_KINDS)
  updexar_add_wine_test(database_wine_${kind} PREFIX ${kind} TIMEOUT 400
    COMMAND ${UPDEXAR_BASH} ${CMAKE_CURRENT_LIST_DIR}/database_wine.sh $<TARGET_FILE:database_wine_tests>)
endforeach()
