# Arbitrary text as opening hours: refused with a position inside the text,
# or a schedule whose next change really is a change.
quado_add_fuzzer(fuzz_hours
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hours_fuzzer.cpp
  LIBS quado_protocol)
