# Build helpers shared by every folder: programs, static libraries and test executables.

# A command or settings program: GUI subsystem, wWinMain entry, all of the system in one bin folder.
function(vantrel_add_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} WIN32 ${ARG_SOURCES})
  target_link_options(${name} PRIVATE -municode)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# Test executables live apart from the product so that bin/ holds exactly what ships.
set(VANTREL_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests-bin)

# Windows form of a Linux path as Wine's Z: drive shows it.
function(vantrel_wine_path out path)
  string(REPLACE "/" "\\" winpath "${path}")
  set(${out} "Z:${winpath}" PARENT_SCOPE)
endfunction()

# A GoogleTest executable run under Wine. One ctest test per test suite found in the sources,
# so that `ctest -j2` spreads the suites over both cores.
function(vantrel_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VANTREL_TEST_BIN_DIR}
    CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/scripts/wine-test.sh;${CMAKE_BINARY_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} vantrel_hang_watch GTest::gtest_main)
  # Test sources need no debug information of their own; it would only slow their build.
  target_compile_options(${name} PRIVATE -g0)
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  vantrel_wine_path(win_bin ${VANTREL_BIN_DIR})
  vantrel_wine_path(win_test_bin ${VANTREL_TEST_BIN_DIR})
  set(suites "")
  foreach(src IN LISTS ARG_SOURCES)
    get_filename_component(abs ${src} ABSOLUTE)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${abs})
    file(STRINGS ${abs} lines REGEX "^(TEST|TEST_F|TEST_P|TYPED_TEST)\\([A-Za-z0-9_]+,")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[A-Z_]+\\(([A-Za-z0-9_]+),.*" "\\1" suite "${line}")
      list(APPEND suites ${suite})
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES suites)
  foreach(suite IN LISTS suites)
    add_test(NAME ${name}.${suite}
             COMMAND ${name} --gtest_filter=${suite}.*:*/${suite}.*:${suite}/*)
    set_tests_properties(${name}.${suite} PROPERTIES
      FIXTURES_REQUIRED wine
      TIMEOUT 600
      ENVIRONMENT "VANTREL_BIN_DIR=${win_bin};VANTREL_TEST_BIN_DIR=${win_test_bin}")
  endforeach()
endfunction()
