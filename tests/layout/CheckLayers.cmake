# Fails when a file of a room includes a header of a room above its own, or
# when a room that must stay plain C++ includes Qt. Run as
#   cmake -DROOT=<source tree> -P CheckLayers.cmake
# Rooms are the top-level directories; the simulated backend and adapter
# model (device/Simulated*) are a room of their own that only tools, tests
# and benchmarks may use.

cmake_minimum_required(VERSION 3.25)

# What each room may include besides itself, lowest rooms first.
set(allowed_assets "")
set(allowed_protocol assets)
set(allowed_device "")
set(allowed_device-sim device)
set(allowed_platform assets protocol device)
set(allowed_board assets protocol platform)
set(allowed_drivers assets protocol device platform board)
set(allowed_records assets protocol platform board)
set(allowed_fleet assets protocol platform board)
set(allowed_speech "")
set(allowed_app assets protocol device platform board drivers records fleet speech)
set(allowed_tools assets protocol device device-sim platform board drivers records fleet speech app)
set(rooms assets protocol device device-sim platform board drivers records fleet speech app tools)
# Rooms that know nothing of Qt.
set(plain_rooms protocol device device-sim)

if(NOT ROOT)
  message(FATAL_ERROR "ROOT not set")
endif()

# The room a path relative to the root belongs to, or "" for none.
function(room_of path out)
  string(REGEX MATCH "^[^/]+" top "${path}")
  if(top STREQUAL "device" AND path MATCHES "^device/Simulated")
    set(top device-sim)
  endif()
  if(top IN_LIST rooms)
    set(${out} ${top} PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

set(violations 0)
set(checked 0)
foreach(dir assets protocol device platform board drivers records fleet speech app tools)
  file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/${dir}/*.h ${ROOT}/${dir}/*.cpp)
  foreach(file IN LISTS files)
    room_of(${file} room)
    math(EXPR checked "${checked} + 1")
    file(STRINGS ${ROOT}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS lines)
      if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
        set(header ${CMAKE_MATCH_1})
        if(NOT header MATCHES "/")
          continue() # beside the file, in its own room
        endif()
        if(header MATCHES "^tests/")
          message(SEND_ERROR "${file} includes ${header}: the product never includes tests")
          math(EXPR violations "${violations} + 1")
          continue()
        endif()
        room_of(${header} target)
        if(target STREQUAL "" OR target STREQUAL room OR target IN_LIST allowed_${room})
          continue()
        endif()
        list(JOIN allowed_${room} ", " below)
        message(SEND_ERROR "${file} includes ${header}: room ${room} may include only itself and: ${below}")
        math(EXPR violations "${violations} + 1")
      elseif(room IN_LIST plain_rooms AND line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]+[^>]*)>")
        message(SEND_ERROR "${file} includes <${CMAKE_MATCH_1}>: room ${room} knows nothing of Qt")
        math(EXPR violations "${violations} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no source files found under ${ROOT}")
endif()
if(violations GREATER 0)
  message(FATAL_ERROR "${violations} include(s) against the layering in ${checked} files")
endif()
message(STATUS "${checked} files, every include points down or sideways within its room")
