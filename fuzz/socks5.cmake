qel_add_fuzzer(socks5 FUZZER socks5_fuzzer.cpp SEEDS socks5_seeds.cpp LIBS qel_relay_net)
