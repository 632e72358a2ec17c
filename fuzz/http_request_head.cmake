# The request reader against Boost.Beast's parser (headers only, from Debian's libboost1.81-dev).
qel_add_fuzzer(http_request_head FUZZER http_request_head_fuzzer.cpp http_reference_reader.cpp
               SEEDS http_request_head_seeds.cpp LIBS qel_relay_net)
