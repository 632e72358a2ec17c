# Two builds of one commit give the same bytes wherever the checkout and the build folder are: folder
# names leave debug information and __FILE__ as "." (the sources) and "build" (the build folder), and the
# Windows linker leaves the time stamp out of the PE header.
if(NOT MSVC)
  # The build folder may lie inside the sources: its map comes last, so it is tried first.
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
endif()
if(MINGW)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
