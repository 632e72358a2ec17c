# Warnings are errors on every target; the same flags apply to tests and tools.
if(MSVC)
  add_compile_options(/W4 /WX)
else()
  add_compile_options(-Wall -Wextra -Wpedantic -Werror -Wformat=2 -Wno-format-nonliteral)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 reports impossible overlaps inside std::string's own copies when optimising hard (GCC bug 105329).
  add_compile_options(-Wno-restrict)
endif()
