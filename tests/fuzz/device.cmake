# Device link fuzzers: the report descriptor parser and the unpacking of UART
# data from input reports.
quado_add_fuzzer(fuzz_report_descriptor
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/device/FuzzReportDescriptor.cpp
  LIBS quado_device_sim)
quado_add_fuzzer(fuzz_uart_unpack
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/device/FuzzUartUnpack.cpp
  LIBS quado_device_sim)
