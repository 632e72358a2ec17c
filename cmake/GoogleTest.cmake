# GoogleTest is built from the distribution's sources for whichever target is configured.
set(QEL_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${QEL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# qel_add_test(name SOURCES ... LIBS ... [LABELS ...] [RESOURCE_LOCK name])
# One executable. Natively each test case is a CTest entry of its own, so the cases run side by side. Under
# Wine the program runs whole, once: a Wine process start costs tens of milliseconds on one machine and
# seconds on another, even with the server kept up, and hundreds of them made a run miss its time.
function(qel_add_test name)
  cmake_parse_arguments(T "" "RESOURCE_LOCK" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  set(properties ENVIRONMENT "TZ=UTC")
  if(T_LABELS)
    list(APPEND properties LABELS "${T_LABELS}")
  endif()
  if(T_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
  # What hangs fails after some minutes instead of holding the whole run; the longest case takes seconds and
  # the longest program under Wine about a minute.
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES ${properties} TIMEOUT 900)
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES ${properties} TIMEOUT 300)
  endif()
endfunction()
