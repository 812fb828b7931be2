# Tests of a cross build run under Wine (CMAKE_CROSSCOMPILING_EMULATOR, see
# wine-run.sh). A setup fixture creates the build's Wine prefix and starts
# one lasting Wine server apart from CTest's pipes; a cleanup fixture stops
# it after the last test. Every test requires the fixture.
set(KX_WINE_RUN ${CMAKE_CROSSCOMPILING_EMULATOR})

add_test(NAME wine_start COMMAND ${KX_WINE_RUN} --start)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 180
                                           PASS_REGULAR_EXPRESSION "wine-run: prefix .* ready")
add_test(NAME wine_stop COMMAND ${KX_WINE_RUN} --stop)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60
                                          PASS_REGULAR_EXPRESSION "wine-run: server .* stopped")

# The test suites call add_test and gtest_discover_tests as on any system;
# here their tests also need the Wine fixture. (Arguments pass through as a
# list: no test command here has a semicolon in an argument.)
function(add_test)
  _add_test(${ARGV})
  if(ARGV0 STREQUAL "NAME")
    set(name ${ARGV1})
  else()
    set(name ${ARGV0})
  endif()
  if(NOT name MATCHES "^wine_(start|stop)$")
    set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED wine)
  endif()
endfunction()

# Under Wine a suite runs as one test, all its cases in one process: a Wine
# process takes about a third of a second to start, more than most cases
# take to run, and the suites hold some 700 cases. GoogleTest's output names
# each case that fails. The suite's own properties stay; its time limit is
# that of all its cases.
function(gtest_discover_tests target)
  cmake_parse_arguments(ARG "NO_PRETTY_VALUES" "DISCOVERY_TIMEOUT" "PROPERTIES" ${ARGN})
  add_test(NAME ${target} COMMAND ${target})
  if(ARG_PROPERTIES)
    set_tests_properties(${target} PROPERTIES ${ARG_PROPERTIES})
  endif()
  set_tests_properties(${target} PROPERTIES TIMEOUT 900)
endfunction()
