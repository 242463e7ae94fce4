# Fails when a file outside drivers/ names one of the adapter window's widget
# members: everyone else holds the adapter link (drivers/AdapterLink.h), and
# only the window's own tests may press its buttons or read its controls. Run as
#   cmake -DROOT=<source tree> -P CheckWidgetReach.cmake
# The widget members are read from the window's header, so a new control is
# guarded without a change here.

cmake_minimum_required(VERSION 3.25)

if(NOT ROOT)
  message(FATAL_ERROR "ROOT not set")
endif()

set(window_header drivers/QuadoDravikDriver.h)
# The window's own tests: its look, its keys, its log and its status line,
# and what a screen reader reads of them.
set(window_tests
  tests/accessibility/AtspiWalkTest.cpp
  tests/accessibility/ControlNamesTest.cpp
  tests/adapter/AdapterTestSupport.h
  tests/adapter/AdapterWindowTest.cpp
  tests/adapter/LogCoalescingTest.cpp
  tests/desktop/AccessHintTest.cpp
  tests/e2e/XvfbAdapterSmokeTest.cpp
  tests/keyboard/KeyboardTest.cpp)

if(NOT EXISTS ${ROOT}/${window_header})
  message(FATAL_ERROR "no ${window_header} under ${ROOT}")
endif()
file(STRINGS ${ROOT}/${window_header} declarations
     REGEX "^[ \t]*(QPushButton|QGroupBox|QComboBox|QLabel|QLineEdit|QTextEdit|QPlainTextEdit|CLogView)[ \t]+m_[A-Za-z0-9_]+;")
set(widgets "")
foreach(declaration IN LISTS declarations)
  string(REGEX MATCH "m_[A-Za-z0-9_]+" member "${declaration}")
  list(APPEND widgets ${member})
endforeach()
list(LENGTH widgets widget_count)
if(widget_count EQUAL 0)
  message(FATAL_ERROR "no widget members found in ${window_header}")
endif()

set(violations 0)
set(checked 0)
foreach(dir app tools bench tests assets protocol device platform board records fleet)
  file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/${dir}/*.h ${ROOT}/${dir}/*.cpp)
  foreach(file IN LISTS files)
    if(file IN_LIST window_tests OR file MATCHES "^tests/layout/")
      continue()
    endif()
    math(EXPR checked "${checked} + 1")
    file(READ ${ROOT}/${file} text)
    foreach(widget IN LISTS widgets)
      if(text MATCHES "(^|[^A-Za-z0-9_])${widget}([^A-Za-z0-9_]|$)")
        message(SEND_ERROR "${file} names the adapter window's ${widget}: use the adapter link instead")
        math(EXPR violations "${violations} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no source files found under ${ROOT}")
endif()
if(violations GREATER 0)
  message(FATAL_ERROR "${violations} reach(es) into the adapter window's widgets in ${checked} files")
endif()
message(STATUS "${checked} files, none reaches into the adapter window's ${widget_count} widgets")
