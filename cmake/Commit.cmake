# QEL_COMMIT: the commit the checkout stands on (12 hex digits, "unknown" outside git), for `qelhost
# --version`. CMake configures again when HEAD moves (a commit, a checkout), so a build names the commit
# it was built from; two builds of one commit get the same text, as the release's reproducibility needs.
execute_process(COMMAND git rev-parse --short=12 HEAD WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                OUTPUT_VARIABLE QEL_COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE not_git)
if(not_git)
  set(QEL_COMMIT unknown)
else()
  # HEAD names the branch; the branch's own file (or packed-refs, where git keeps refs it has packed)
  # moves with each commit.
  execute_process(COMMAND git rev-parse --git-path HEAD --symbolic-full-name HEAD
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE head_files OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REPLACE "\n" ";" head_files "${head_files}")
  list(GET head_files 0 head_file)
  set(watched ${head_file})
  list(LENGTH head_files count)
  if(count GREATER 1)
    list(GET head_files 1 branch)
    execute_process(COMMAND git rev-parse --git-path ${branch} --git-path packed-refs
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE ref_files OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REPLACE "\n" ";" ref_files "${ref_files}")
    list(APPEND watched ${ref_files})
  endif()
  foreach(file IN LISTS watched)
    get_filename_component(file ${file} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
    if(EXISTS ${file})
      set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    endif()
  endforeach()
endif()
