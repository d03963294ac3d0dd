# kirvane_test(NAME SOURCES a.cpp ... LIBS lib ... [LABELS l ...] [TIMEOUT s])
# One Qt Test executable per area, run offscreen, with the shared fixtures and
# the build's binaries known through the environment.
function(kirvane_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  # A test named with a source that is not there stops the configuration, so
  # that no test drops out of the suite unnoticed.
  foreach(src ${T_SOURCES})
    if(NOT IS_ABSOLUTE ${src})
      set(src ${CMAKE_CURRENT_SOURCE_DIR}/${src})
    endif()
    if(NOT EXISTS ${src})
      message(FATAL_ERROR "${name}: ${src} is missing")
    endif()
  endforeach()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KIRVANE_SOURCE_DIR=${PROJECT_SOURCE_DIR};KIRVANE_BIN_DIR=${CMAKE_BINARY_DIR}/bin;KIRVANE_FIXTURES=${PROJECT_SOURCE_DIR}/../shared/fixtures;KIRVANE_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
endfunction()
