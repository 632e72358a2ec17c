# Warnings are errors on every target; the same flags apply to tests and tools.
if(MSVC)
  add_compile_options(/W4 /WX)
else()
  add_compile_options(-Wall -Wextra -Wpedantic -Werror -Wformat=2 -Wno-format-nonliteral)
endif()
