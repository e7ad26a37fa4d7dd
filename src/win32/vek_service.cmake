# VEKSvrReg.exe, the VEK service: a program without a console that runs under the service control
# manager or on its own. programs.cmake makes a target of every main_*.cpp; this one is turned
# into the windowless VEKSvrReg.exe here.
set_target_properties(vek_service PROPERTIES OUTPUT_NAME VEKSvrReg WIN32_EXECUTABLE ON)
target_link_libraries(vek_service PRIVATE updexar_server)
# The socket loop in the Windows layer drives the portable service core.
target_link_libraries(updexar_win32 PUBLIC updexar_server)
