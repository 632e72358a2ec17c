# Copies of built files that programs and tests run beside: the library beside a test program, the relay
# under each plug-in file name beside the host simulator. A copy is made again whenever its target's file
# changes, as part of building the program that runs beside it, so an edit under outside/ (or src/) alone
# still reaches every copy before the tests run.

# qel_copy_built(CONSUMER TARGET FILE...): each FILE (a full path) becomes a copy of TARGET's file, kept
# current by every build of CONSUMER.
function(qel_copy_built consumer target)
  foreach(file IN LISTS ARGN)
    add_custom_command(OUTPUT ${file} COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${file}
                       DEPENDS ${target} VERBATIM)
    set_property(TARGET ${consumer} APPEND PROPERTY QEL_BUILT_COPIES $<TARGET_FILE:${target}> ${file})
  endforeach()
  add_custom_target(${consumer}_copies_of_${target} DEPENDS ${ARGN})
  add_dependencies(${consumer} ${consumer}_copies_of_${target})
endfunction()

# qel_add_copies_test(CONSUMER): the test CONSUMER_copies_current, which fails when a copy made for CONSUMER
# differs from its target's file (a test run without the build, a copy the build no longer refreshes). It
# sets up the fixture CONSUMER_copies: the tests that run the copies require it, so they never run a stale one.
function(qel_add_copies_test consumer)
  get_property(pairs TARGET ${consumer} PROPERTY QEL_BUILT_COPIES)
  set(compare "cmp -s \"$1\" \"$2\" || { echo \"stale copy: $2 differs from $1\"; exit 1; }")
  add_test(NAME ${consumer}_copies_current
           COMMAND bash -c "while [ $# -gt 1 ]; do ${compare}; shift 2; done" copies ${pairs})
  set_tests_properties(${consumer}_copies_current PROPERTIES FIXTURES_SETUP ${consumer}_copies)
endfunction()
