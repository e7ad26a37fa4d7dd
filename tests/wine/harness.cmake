# The wine tier in ctest. Two fresh prefixes per test run, made once by set-up tests and stopped
# by clean-up tests (ctest fixtures):
#   wine_win32  a 32-bit Windows prefix
#   wine_wow64  a 64-bit Windows prefix, where our 32-bit programs run under WOW64
# Tests of one prefix take turns (RESOURCE_LOCK), tests of the two prefixes may run side by side.
# Everything a run makes lives under <build>/wine: prefixes, shares (runs/), reports and
# screenshots; the screenshot tests of windows keep theirs in <build>/screenshots.
#
# Other Wine tests register through updexar_add_wine_test(); their scripts source
# ${UPDEXAR_WINE_HARNESS}/harness.sh and find their prefix in UPDEXAR_WINE_PREFIX.

find_program(UPDEXAR_BASH bash REQUIRED)
find_program(UPDEXAR_WINE wine REQUIRED)

set(UPDEXAR_WINE_HARNESS ${CMAKE_CURRENT_LIST_DIR}/harness)
set(UPDEXAR_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
set(UPDEXAR_WINE_STATE ${UPDEXAR_WINE_ROOT}/state)
set(UPDEXAR_WINE_KINDS win32 wow64)

foreach(kind IN LISTS UPDEXAR_WINE_KINDS)
  set(prefix ${UPDEXAR_WINE_ROOT}/prefixes/${kind})
  add_test(NAME wine_prefix_${kind}_make
    COMMAND ${UPDEXAR_BASH} ${UPDEXAR_WINE_HARNESS}/make-prefix.sh ${kind} ${prefix})
  set_tests_properties(wine_prefix_${kind}_make PROPERTIES
    FIXTURES_SETUP wine_${kind} RESOURCE_LOCK wine_prefix_${kind} LABELS wine TIMEOUT 300
    ENVIRONMENT "UPDEXAR_WINE_STATE=${UPDEXAR_WINE_STATE}")
  add_test(NAME wine_prefix_${kind}_stop
    COMMAND ${UPDEXAR_BASH} ${UPDEXAR_WINE_HARNESS}/stop-prefix.sh ${prefix})
  set_tests_properties(wine_prefix_${kind}_stop PROPERTIES
    FIXTURES_CLEANUP wine_${kind} RESOURCE_LOCK wine_prefix_${kind} LABELS wine TIMEOUT 60
    ENVIRONMENT "UPDEXAR_WINE_STATE=${UPDEXAR_WINE_STATE}")
endforeach()

# updexar_add_wine_test(<name> PREFIX win32|wow64 [TIMEOUT s] [SCREEN] [ENVIRONMENT k=v...]
#                       COMMAND <command>...)
# A test that runs in one of the run's prefixes. SCREEN: the test looks at the display
# (screenshots, finding windows), so no other SCREEN test runs at the same time.
function(updexar_add_wine_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "SCREEN" "PREFIX;TIMEOUT" "COMMAND;ENVIRONMENT")
  if(NOT arg_PREFIX IN_LIST UPDEXAR_WINE_KINDS)
    message(FATAL_ERROR "updexar_add_wine_test(${name}): PREFIX must be one of ${UPDEXAR_WINE_KINDS}")
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 600)
  endif()
  set(locks wine_prefix_${arg_PREFIX})
  if(arg_SCREEN)
    list(APPEND locks wine_display)
  endif()
  add_test(NAME ${name} COMMAND ${arg_COMMAND})
  set_tests_properties(${name} PROPERTIES
    LABELS wine
    TIMEOUT ${arg_TIMEOUT}
    FIXTURES_REQUIRED wine_${arg_PREFIX}
    RESOURCE_LOCK "${locks}"
    ENVIRONMENT "UPDEXAR_WINE_PREFIX=${UPDEXAR_WINE_ROOT}/prefixes/${arg_PREFIX};UPDEXAR_WINE_ROOT=${UPDEXAR_WINE_ROOT};UPDEXAR_WINE_STATE=${UPDEXAR_WINE_STATE};UPDEXAR_WINE_HARNESS=${UPDEXAR_WINE_HARNESS};${arg_ENVIRONMENT}")
endfunction()

# updexar_add_screenshot_test(<name> <demo target> <WxH> <win32|wow64>): a demo window played
# in Wine's virtual desktop of that size, its pictures in <build>/screenshots.
function(updexar_add_screenshot_test name demo size kind)
  updexar_add_wine_test(${name} PREFIX ${kind} TIMEOUT 240 SCREEN
    COMMAND ${UPDEXAR_BASH} ${CMAKE_SOURCE_DIR}/tests/wine/shots.sh $<TARGET_FILE:${demo}> ${size}
            ${CMAKE_BINARY_DIR}/screenshots $<TARGET_FILE:ui_probe>)
endfunction()

# The Windows implementations, for real, in both kinds of Windows.
foreach(kind IN LISTS UPDEXAR_WINE_KINDS)
  updexar_add_wine_test(platform_wine_tests_${kind} PREFIX ${kind} TIMEOUT 1200
    COMMAND ${UPDEXAR_BASH} ${UPDEXAR_WINE_HARNESS}/run-gtests.sh $<TARGET_FILE:platform_wine_tests>)
endforeach()

# The shipped utility starts and shows its window.
foreach(kind IN LISTS UPDEXAR_WINE_KINDS)
  updexar_add_wine_test(updateg_smoke_${kind} PREFIX ${kind} TIMEOUT 180 SCREEN
    COMMAND ${UPDEXAR_BASH} ${UPDEXAR_WINE_HARNESS}/smoke-updateg.sh $<TARGET_FILE:UpdateG> $<TARGET_FILE:ui_probe>)
endforeach()

# Every shipped program is a 32-bit PE that needs no DLL of ours or of the compiler.
get_property(shipped GLOBAL PROPERTY UPDEXAR_SHIPPED_PROGRAMS)
if(NOT shipped)
  message(FATAL_ERROR "no shipped programs registered: the import check would test nothing")
endif()
set(files "")
foreach(t IN LISTS shipped)
  list(APPEND files $<TARGET_FILE:${t}>)
endforeach()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(format pei-i386)
else()
  set(format pei-x86-64)
endif()
find_program(UPDEXAR_OBJDUMP NAMES ${CMAKE_OBJDUMP} i686-w64-mingw32-objdump objdump)
add_test(NAME shipped_programs_imports
  COMMAND ${UPDEXAR_BASH} ${UPDEXAR_WINE_HARNESS}/check-imports.sh ${UPDEXAR_OBJDUMP} ${format} ${files})
set_tests_properties(shipped_programs_imports PROPERTIES LABELS wine TIMEOUT 60)
