# The VEK service under Wine: installed into the system folder, created as a service, started,
# asked over TCP by a Windows client, stopped; in a 32-bit and in a WOW64 prefix.
add_executable(vek_check_client ${CMAKE_CURRENT_LIST_DIR}/vek_check_client.cpp)
target_link_libraries(vek_check_client PRIVATE updexar_win32 updexar_server ws2_32)
add_executable(vek_service_ctl ${CMAKE_CURRENT_LIST_DIR}/vek_service_ctl.cpp)
target_link_libraries(vek_service_ctl PRIVATE updexar_win32)

foreach(kind IN LISTS UPDEXAR_WINE_KINDS)
  updexar_add_wine_test(vek_service_${kind} PREFIX ${kind} TIMEOUT 400
    COMMAND ${UPDEXAR_BASH} ${CMAKE_CURRENT_LIST_DIR}/vek_service_wine.sh
            $<TARGET_FILE:vek_service> $<TARGET_FILE:vek_check_client> $<TARGET_FILE:vek_service_ctl>)
endforeach()
