# Fails when a file outside src/win32 includes <windows.h> (or another Windows SDK header that
# pulls it in), so the portable layers keep compiling on Linux.
file(GLOB_RECURSE candidates
  "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.hpp" "${SOURCE_DIR}/src/*.cpp" "${SOURCE_DIR}/src/*.cc"
  "${SOURCE_DIR}/tools/*.h" "${SOURCE_DIR}/tools/*.cpp" "${SOURCE_DIR}/bench/*.h" "${SOURCE_DIR}/bench/*.cpp")
set(offenders "")
foreach(f IN LISTS candidates)
  file(RELATIVE_PATH rel "${SOURCE_DIR}" "${f}")
  if(rel MATCHES "^src/win32/")
    continue()
  endif()
  file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](windows|winsock2|winreg|winsvc|shlobj|shellapi|objbase|ws2tcpip|tlhelp32)\\.h[>\"]")
  if(hits)
    list(APPEND offenders "${rel}")
  endif()
endforeach()
if(offenders)
  list(JOIN offenders "\n  " text)
  message(FATAL_ERROR "Windows headers included outside src/win32:\n  ${text}")
endif()
