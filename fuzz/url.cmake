qel_add_fuzzer(url FUZZER url_fuzzer.cpp SEEDS url_seeds.cpp LIBS qel_config qel_module)
# The seeds are the measured and generated URLs of the cracker tests.
target_sources(url_seeds PRIVATE ${PROJECT_SOURCE_DIR}/tests/config/cracker_rows.cpp)
target_include_directories(url_seeds PRIVATE ${PROJECT_SOURCE_DIR}/tests)
