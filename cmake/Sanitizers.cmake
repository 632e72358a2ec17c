if(QEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(QEL_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
if(QEL_FUZZ)
  # Every library a harness links is instrumented for coverage, so the fuzzer is steered by the parsers'
  # branches and not only by the harness's own.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
