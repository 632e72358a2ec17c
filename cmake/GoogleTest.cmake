# GoogleTest is built from the distribution's sources for whichever target is configured.
set(QEL_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${QEL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# In the optimised trees the test programs and GoogleTest compile at -Og: they are most of those trees' build
# time, and -O2 bought them minutes and nothing else. The code under test keeps the tree's own flags.
if(CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo")
  set(QEL_TEST_COMPILE_OPTIONS -Og)
  foreach(library gtest gtest_main gmock gmock_main)
    target_compile_options(${library} PRIVATE ${QEL_TEST_COMPILE_OPTIONS})
  endforeach()
endif()

# The header every test source starts with, precompiled: GoogleTest's, for C++ sources only.
set(QEL_TEST_PCH $<$<COMPILE_LANGUAGE:CXX>:<gtest/gtest.h$<ANGLE-R>>)

# qel_add_test(name SOURCES ... LIBS ... [LABELS ...] [RESOURCE_LOCK name] [OWN_PCH])
# One executable. Natively each test case is a CTest entry of its own, so the cases run side by side. Under
# Wine the program runs whole, once: a Wine process start costs tens of milliseconds on one machine and
# seconds on another, even with the server kept up, and hundreds of them made a run miss its time.
# OWN_PCH: the program's libraries define macros the system headers read (the relay's _WIN32_WINNT), so
# GoogleTest's header precompiled for the others does not fit it and it precompiles its own.
function(qel_add_test name)
  cmake_parse_arguments(T "OWN_PCH" "RESOURCE_LOCK" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  # GoogleTest's header is parsed once per tree, not once per test source (a second a source). The header is
  # C++; a C source of a test program goes without it.
  if(T_OWN_PCH)
    target_precompile_headers(${name} PRIVATE ${QEL_TEST_PCH})
  else()
    target_precompile_headers(${name} REUSE_FROM qel_test_fixtures)
  endif()
  foreach(source ${T_SOURCES})
    if(source MATCHES "\\.c$")
      set_source_files_properties(${source} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
    endif()
  endforeach()
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
