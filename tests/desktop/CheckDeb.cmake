# Packs the build tree with `cpack -G DEB` and reads the package back with
# dpkg-deb: its name, version and run-time dependencies, the maintainer
# scripts, and a file list that holds exactly the desktop's files under /usr.
# The Architecture field must name the machine the programs were built for
# (read from quado's ELF header), every program must be hardened, and
# lintian must find nothing to report. The packed programs must keep records
# of play: the unpacked quado-replay plays a recorded game into a records
# file and the unpacked quado exports it; the unpacked quado reaches a broker
# through its packed module and the packed Records window opens (not for a
# package of another machine, whose programs cannot run here).
# -DBUILD_DIR -DWORK_DIR -DAPP_ID -DPROGRAMS=a,b -DVERSION -DARCH -DELF_MACHINE=hex
# -DRUN_CHECK=ON|OFF -DTEST_DATA=dir -DMODULE_DIR=lib/<multiarch>/quado -DMODULES=a.so,b.so
# -DMODULE_CHECK=program

cmake_minimum_required(VERSION 3.25)
set(failures 0)
macro(fail msg)
  message(SEND_ERROR "${msg}")
  math(EXPR failures "${failures} + 1")
endmacro()

string(REPLACE "," ";" PROGRAMS "${PROGRAMS}")
string(REPLACE "," ";" MODULES "${MODULES}")
get_filename_component(cmake_bin "${CMAKE_COMMAND}" DIRECTORY)
find_program(CPACK cpack HINTS "${cmake_bin}" REQUIRED)
find_program(DPKG_DEB dpkg-deb REQUIRED)

file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND "${CPACK}" -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack failed (${rc}):\n${out}${err}")
endif()
file(GLOB debs "${WORK_DIR}/*.deb")
list(LENGTH debs deb_count)
if(NOT deb_count EQUAL 1)
  message(FATAL_ERROR "expected one .deb in ${WORK_DIR}, found [${debs}]")
endif()
message(STATUS "package: ${debs}")

execute_process(COMMAND "${DPKG_DEB}" --field "${debs}" Package Version Architecture Depends Section
                OUTPUT_VARIABLE fields RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg-deb --field failed")
endif()
message(STATUS "control fields:\n${fields}")
if(NOT fields MATCHES "Package: quado\n")
  fail("package name is not quado")
endif()
if(NOT fields MATCHES "Version: ${VERSION}\n")
  fail("version is not ${VERSION}")
endif()
if(NOT fields MATCHES "Architecture: ${ARCH}\n")
  fail("architecture is not ${ARCH}")
endif()
if(NOT fields MATCHES "Depends: ([^\n]*)")
  fail("no Depends field")
endif()
set(depends "${CMAKE_MATCH_1}")
# What the programs and modules link against, found by dpkg-shlibdeps (the
# broker-link module brings libmosquitto), and what they load without
# linking (Qt's SQLite driver is a plugin no scan finds). systemd's
# notifications need no library of its own.
foreach(package IN ITEMS libqt6widgets6 libqt6gui6 libqt6core6 libqt6sql6 libsdl2-2.0-0 libudev1 libc6
                         libstdc\\+\\+6 libmosquitto1
                         qt6-qpa-plugins fonts-liberation2 libqt6sql6-sqlite libqt6charts6)
  if(NOT depends MATCHES "(^|, )${package}( |,|$)")
    fail("Depends lacks ${package}: ${depends}")
  endif()
endforeach()

# Maintainer scripts: executable, reloading udev only where it runs.
execute_process(COMMAND "${DPKG_DEB}" --info "${debs}" OUTPUT_VARIABLE info)
foreach(script IN ITEMS postinst postrm)
  if(NOT info MATCHES "[0-9]+ bytes, +[0-9]+ lines +\\* +${script} +#!/bin/sh")
    fail("${script} missing or not executable:\n${info}")
  endif()
  execute_process(COMMAND "${DPKG_DEB}" --info "${debs}" ${script} OUTPUT_VARIABLE text)
  if(NOT text MATCHES "if \\[ -d /run/udev \\] && command -v udevadm >/dev/null; then\n +udevadm control --reload-rules && udevadm trigger --subsystem-match=hidraw \\|\\| true")
    fail("${script} does not guard its udev reload:\n${text}")
  endif()
endforeach()

# The files, as dpkg would unpack them: only under /usr, exactly these.
execute_process(COMMAND "${DPKG_DEB}" --contents "${debs}" OUTPUT_VARIABLE contents)
string(REPLACE "\n" ";" lines "${contents}")
set(files)
foreach(line IN LISTS lines)
  if(line MATCHES "^([-dlh])[^ ]* +[^ ]+ +[0-9]+ [^ ]+ [^ ]+ \\./(.*)$")
    set(kind "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "/$" "" path "${CMAKE_MATCH_2}")
    if(path STREQUAL "")
      continue()
    endif()
    if(NOT path MATCHES "^usr(/|$)")
      fail("package writes outside /usr: ${line}")
    endif()
    if(NOT kind STREQUAL "d")
      list(APPEND files "/${path}")
    endif()
    if(path MATCHES "^usr/bin/." AND NOT line MATCHES "^-rwxr-xr-x")
      fail("not an executable: ${line}")
    endif()
    if(path MATCHES "\\.so$" AND NOT line MATCHES "^-rw-r--r--")
      fail("a module must not be executable: ${line}")
    endif()
  endif()
endforeach()
list(SORT files)

set(expected)
foreach(program IN LISTS PROGRAMS)
  list(APPEND expected /usr/bin/${program})
  list(APPEND expected /usr/share/man/man1/${program}.1.gz)
endforeach()
list(APPEND expected
  /usr/share/applications/${APP_ID}.desktop
  /usr/share/metainfo/${APP_ID}.metainfo.xml
  /usr/share/doc/quado/copyright
  /usr/share/doc/quado/changelog.gz
  /usr/lib/udev/rules.d/70-quado-dravik.rules
  /usr/lib/systemd/user/quado-kiosk.service
  /usr/lib/systemd/user/quado-kiosk@.service)
foreach(module IN LISTS MODULES)
  list(APPEND expected /usr/${MODULE_DIR}/${module})
endforeach()
foreach(size IN ITEMS 16 32 48 64 128 256)
  list(APPEND expected /usr/share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png)
endforeach()
list(SORT expected)
if(NOT files STREQUAL expected)
  set(missing ${expected})
  list(REMOVE_ITEM missing ${files})
  set(extra ${files})
  list(REMOVE_ITEM extra ${expected})
  fail("package files: missing [${missing}] unexpected [${extra}]")
endif()

# The packed program is one for that machine (e_machine, little-endian).
set(unpacked "${WORK_DIR}/unpacked")
execute_process(COMMAND "${DPKG_DEB}" -x "${debs}" "${unpacked}" RESULT_VARIABLE rc)
if(rc EQUAL 0 AND EXISTS "${unpacked}/usr/bin/quado")
  file(READ "${unpacked}/usr/bin/quado" machine OFFSET 18 LIMIT 2 HEX)
  if(NOT machine STREQUAL "${ELF_MACHINE}")
    fail("/usr/bin/quado is built for ELF machine ${machine}, not ${ELF_MACHINE} (${ARCH})")
  endif()
else()
  fail("cannot unpack /usr/bin/quado from ${debs}")
endif()

# Every program is hardened as Debian builds its own (hardening-check, from
# devscripts: PIE, stack protector, fortified functions, RELRO, BIND_NOW).
# Control-flow marking is not asked for: Debian 12's own C start files carry
# none, so no program linked there can.
find_program(HARDENING_CHECK hardening-check REQUIRED)
set(elf_files)
foreach(program IN LISTS PROGRAMS)
  list(APPEND elf_files usr/bin/${program})
endforeach()
foreach(module IN LISTS MODULES)
  list(APPEND elf_files usr/${MODULE_DIR}/${module})
endforeach()
foreach(elf IN LISTS elf_files)
  execute_process(COMMAND "${HARDENING_CHECK}" --nocfprotection "${unpacked}/${elf}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message(STATUS "${out}${err}")
  if(NOT rc EQUAL 0)
    fail("/${elf} is not hardened")
  endif()
endforeach()

# A game kept and exported by the packed programs, through Qt's SQLite driver
# as the system has it.
if(RUN_CHECK AND "quado-replay" IN_LIST PROGRAMS AND EXISTS "${unpacked}/usr/bin/quado-replay")
  set(records "${WORK_DIR}/records.sqlite")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
                          "${unpacked}/usr/bin/quado-replay" --records "${records}" --out "${WORK_DIR}/replay"
                          "${TEST_DATA}/won-game.txt"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    fail("the packed quado-replay failed (${rc}): ${out}${err}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=DISPLAY --unset=QT_QPA_PLATFORM
                          "${unpacked}/usr/bin/quado" --records "${records}" --export-records -
                  RESULT_VARIABLE rc OUTPUT_VARIABLE csv ERROR_VARIABLE err)
  message(STATUS "records exported by the packed quado:\n${csv}")
  # (CMake hands the output over with its line ends made plain.)
  if(NOT rc EQUAL 0 OR NOT csv MATCHES "^start_utc,[^\n]*\n[^,]+,[^,]+,[^,]+,won,congrat,3,3,3,REPLAY01\r?\n$")
    fail("the packed programs kept no game (${rc}): ${csv}${err}")
  endif()
endif()

# The modules as packed: the packed quado loads its broker link from beside
# itself and reaches a broker; the packed Records window opens.
if(RUN_CHECK AND MODULE_CHECK)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
                          QUADO_PACKED_ROOT=${unpacked} QUADO_PACKED_MODULES=${unpacked}/usr/${MODULE_DIR}
                          XDG_DATA_HOME=${WORK_DIR}/data "${MODULE_CHECK}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message(STATUS "packed modules:\n${out}${err}")
  if(NOT rc EQUAL 0)
    fail("the packed modules do not work (${rc})")
  endif()
endif()

# Debian's own checker: no error, no warning.
find_program(LINTIAN lintian REQUIRED)
execute_process(COMMAND "${LINTIAN}" --fail-on error,warning "${debs}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message(STATUS "lintian:\n${out}${err}")
if(NOT rc EQUAL 0)
  fail("lintian reports errors or warnings")
endif()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} package check(s) failed")
endif()
