qel_add_fuzzer(command FUZZER command_fuzzer.cpp SEEDS command_seeds.cpp LIBS qel_video_format qel_command_writer)
