# The package seal's reader, among the fuzz targets: the functions of fuzz/CMakeLists.txt find
# their runner and the seeds (corpus/package_seal) in this folder, and the sanitizers that folder
# sets.
block()
  set(CMAKE_CURRENT_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})
  set(CMAKE_CURRENT_BINARY_DIR ${CMAKE_BINARY_DIR}/tests/fuzz)
  get_directory_property(UPDEXAR_FUZZ_SANITIZERS DIRECTORY ${CMAKE_CURRENT_LIST_DIR} DEFINITION UPDEXAR_FUZZ_SANITIZERS)
  updexar_add_fuzzer(package_seal ${CMAKE_CURRENT_LIST_DIR}/package_seal_fuzzer.cpp LIBS updexar_seal)
endblock()
