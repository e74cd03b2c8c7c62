# tellomar_test(NAME SOURCES... LIBS ...): a GoogleTest binary registered with CTest.
# Every test binary gets a time limit so that a deadlock fails instead of hanging.
function(tellomar_test name)
  if(TELLOMAR_FUZZ)
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${T_TIMEOUT}
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()

# tellomar_fuzz(NAME SOURCES... LIBS ...): a libFuzzer target, built only in the fuzz build.
function(tellomar_fuzz name)
  if(NOT TELLOMAR_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()
