# The programs. Each main_<name>.cpp becomes <name>.exe, a console program linked to the Windows
# layer; main_updexar.cpp is the utility, UpdateG.exe, a GUI program with version and manifest.
# Copies of UpdateG.exe under another last letter (UpdateT.exe, ...) serve the other products.
enable_language(RC)

file(GLOB program_mains CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/main_*.cpp)
foreach(main IN LISTS program_mains)
  get_filename_component(stem ${main} NAME_WE)
  string(REGEX REPLACE "^main_" "" program ${stem})
  if(program STREQUAL "updexar")
    set(program UpdateG)
    add_executable(${program} WIN32 ${main} ${CMAKE_CURRENT_SOURCE_DIR}/updexar.rc)
    target_link_options(${program} PRIVATE -municode)
    # Through a generated header: quoted defines do not survive windres's call of the preprocessor.
    file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/generated/updexar_version.h CONTENT
"#define UPDEXAR_VERSION_MAJOR ${PROJECT_VERSION_MAJOR}
#define UPDEXAR_VERSION_MINOR ${PROJECT_VERSION_MINOR}
#define UPDEXAR_VERSION_PATCH ${PROJECT_VERSION_PATCH}
#define UPDEXAR_VERSION_TEXT \"${PROJECT_VERSION}\"
")
    target_include_directories(${program} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)
    set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/updexar.rc PROPERTIES
      OBJECT_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/updexar.manifest)
  else()
    add_executable(${program} ${main})
  endif()
  target_link_libraries(${program} PRIVATE updexar_win32)
  if(program STREQUAL "UpdateG")
    target_link_libraries(${program} PRIVATE updexar_lan updexar_distribution updexar_servercheck updexar_network updexar_mainwindow updexar_startup)
  endif()
  set_property(GLOBAL APPEND PROPERTY UPDEXAR_SHIPPED_PROGRAMS ${program})
endforeach()
