# Small helpers shared by the subdirectories.

# How long ctest lets one test program run before it calls it hung. Only a
# guard against a hung build: the emulated arm64 run on a busy machine must
# never come near it.
set(QUADO_TEST_HANG_GUARD 1800)

# Where the tests' programs keep their records of play by default: never in
# the data folder of whoever runs the suite.
set(QUADO_TEST_DATA_HOME ${PROJECT_BINARY_DIR}/test-data-home)
# The programs the tests start follow the system's language; the tests read
# their English words whatever language the machine running them has
# (LANGUAGE=en below). The language tests choose theirs themselves.

# Adds every immediate subdirectory of DIR that holds a CMakeLists.txt, so
# areas can land their tests, benches and tools without touching a shared list.
function(quado_add_optional_subdirs dir)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/${dir}
       ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*)
  list(SORT children)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
    return()
  endif()
  foreach(child IN LISTS children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()

# quado_export_room(TARGET ROOM)
# Makes ROOM's headers ("device/Dravik.h") reachable for TARGET and whatever
# links it, and no other part of the source tree: a room that includes a room
# it does not link fails to build. Each room gets an include root of its own
# in the build tree holding a link to the room's directory.
function(quado_export_room target room)
  set(root ${PROJECT_BINARY_DIR}/rooms/${room})
  if(NOT IS_SYMLINK ${root}/${room})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${room} ${root}/${room} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# quado_add_gtest(NAME name LABELS l1 [l2] SOURCES a.cpp [b.cpp] LIBS x [y] [ENV K=V ...] [QT_MAIN])
# A GoogleTest executable registered with ctest under the given labels.
# QT_MAIN: the shared main that makes the Qt application object first.
function(quado_add_gtest)
  cmake_parse_arguments(T "QT_MAIN" "NAME;TIMEOUT" "LABELS;SOURCES;LIBS;ENV" ${ARGN})
  if(T_QT_MAIN)
    list(APPEND T_SOURCES ${PROJECT_SOURCE_DIR}/tests/support/TestMain.cpp)
    list(APPEND T_LIBS Qt6::Widgets)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${QUADO_TEST_HANG_GUARD})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy;XDG_DATA_HOME=${QUADO_TEST_DATA_HOME};LANGUAGE=en;${T_ENV}")
endfunction()

# quado_add_qtest(NAME name LABELS l1 SOURCES a.cpp LIBS x [ENV K=V ...])
# A Qt Test executable (widgets), run headless.
function(quado_add_qtest)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "LABELS;SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test Qt6::Widgets)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${QUADO_TEST_HANG_GUARD})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy;XDG_DATA_HOME=${QUADO_TEST_DATA_HOME};LANGUAGE=en;${T_ENV}")
endfunction()
