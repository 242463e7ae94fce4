# Arbitrary bytes, cut into arbitrary reads, through the game message interpreter.
quado_add_fuzzer(fuzz_protocol
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/protocol_fuzzer.cpp
  LIBS quado_protocol)
