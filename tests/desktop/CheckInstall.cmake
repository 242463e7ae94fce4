# Installs the build tree into a fresh DESTDIR under two prefixes and checks
# that exactly the desktop's files arrive, each usable where it lands.
# The modules land in the architecture's library folder under the prefix,
# where the programs look for them, and nothing installed keeps a run path
# into the build tree.
# -DBUILD_DIR -DWORK_DIR -DAPP_ID -DPROGRAMS=a,b -DRULE_SOURCE -DMODULE_DIR=lib/<multiarch>/quado -DMODULES=a.so,b.so

cmake_minimum_required(VERSION 3.25)
set(failures 0)
macro(fail msg)
  message(SEND_ERROR "${msg}")
  math(EXPR failures "${failures} + 1")
endmacro()

string(REPLACE "," ";" PROGRAMS "${PROGRAMS}")
string(REPLACE "," ";" MODULES "${MODULES}")
set(icon_sizes 16 32 48 64 128 256)

set(expected)
foreach(program IN LISTS PROGRAMS)
  list(APPEND expected bin/${program})
  list(APPEND expected share/man/man1/${program}.1.gz)
endforeach()
list(APPEND expected
  share/applications/${APP_ID}.desktop
  share/metainfo/${APP_ID}.metainfo.xml
  share/doc/quado/copyright
  share/doc/quado/changelog.gz
  lib/udev/rules.d/70-quado-dravik.rules
  lib/systemd/user/quado-kiosk.service
  lib/systemd/user/quado-kiosk@.service)
foreach(module IN LISTS MODULES)
  list(APPEND expected ${MODULE_DIR}/${module})
endforeach()
foreach(size IN LISTS icon_sizes)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png)
endforeach()
list(SORT expected)

# Width and height of a PNG from its header.
function(png_size path out_var)
  file(READ "${path}" header OFFSET 16 LIMIT 8 HEX)
  string(SUBSTRING "${header}" 0 8 width_hex)
  string(SUBSTRING "${header}" 8 8 height_hex)
  math(EXPR width "0x${width_hex}")
  math(EXPR height "0x${height_hex}")
  set(${out_var} "${width}x${height}" PARENT_SCOPE)
endfunction()

foreach(prefix IN ITEMS /usr /opt/quado)
  string(MAKE_C_IDENTIFIER "${prefix}" tag)
  set(destdir "${WORK_DIR}/${tag}")
  file(REMOVE_RECURSE "${destdir}")
  set(ENV{DESTDIR} "${destdir}")
  execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    fail("install to ${prefix} failed (${rc}):\n${out}${err}")
    continue()
  endif()

  # Everything must land under DESTDIR + prefix; anything beside it was
  # written outside the prefix.
  file(GLOB_RECURSE everything LIST_DIRECTORIES false RELATIVE "${destdir}" "${destdir}/*")
  string(SUBSTRING "${prefix}/" 1 -1 prefix_rel)
  set(outside ${everything})
  list(FILTER outside EXCLUDE REGEX "^${prefix_rel}")
  if(outside)
    fail("installed outside ${prefix}: ${outside}")
  endif()

  set(root "${destdir}${prefix}")
  file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE "${root}" "${root}/*")
  list(SORT found)
  if(NOT found STREQUAL expected)
    set(missing ${expected})
    list(REMOVE_ITEM missing ${found})
    set(extra ${found})
    list(REMOVE_ITEM extra ${expected})
    fail("${prefix}: missing [${missing}] unexpected [${extra}]")
  endif()

  foreach(program IN LISTS PROGRAMS)
    execute_process(COMMAND test -x "${root}/bin/${program}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      fail("${prefix}/bin/${program} is not executable")
    endif()
  endforeach()

  set(elf_files)
  foreach(program IN LISTS PROGRAMS)
    list(APPEND elf_files "${root}/bin/${program}")
  endforeach()
  foreach(module IN LISTS MODULES)
    list(APPEND elf_files "${root}/${MODULE_DIR}/${module}")
  endforeach()
  foreach(elf IN LISTS elf_files)
    if(EXISTS "${elf}")
      # Only paths from the program's own folder ($ORIGIN) may stay.
      file(READ_ELF "${elf}" RUNPATH runpath RPATH rpath)
      if("${runpath};${rpath}" MATCHES "(^|[;:])/")
        fail("${elf} keeps a run path into a folder of this machine: [${runpath}${rpath}]")
      endif()
    endif()
  endforeach()

  foreach(size IN LISTS icon_sizes)
    set(icon "${root}/share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png")
    if(EXISTS "${icon}")
      png_size("${icon}" got)
      if(NOT got STREQUAL "${size}x${size}")
        fail("${icon} is ${got}, not ${size}x${size}")
      endif()
    endif()
  endforeach()

  set(entry "${root}/share/applications/${APP_ID}.desktop")
  if(EXISTS "${entry}")
    file(STRINGS "${entry}" lines)
    foreach(line IN ITEMS "Name=Quado" "Exec=quado" "Icon=${APP_ID}" "Type=Application")
      if(NOT line IN_LIST lines)
        fail("${entry} lacks ${line}")
      endif()
    endforeach()
  endif()

  # The rule grants the adapter's hidraw node and nothing else.
  set(rule "${root}/lib/udev/rules.d/70-quado-dravik.rules")
  if(EXISTS "${rule}")
    file(STRINGS "${rule}" rule_lines REGEX "^[^#]")
    set(wanted [[SUBSYSTEM=="hidraw", KERNELS=="0003:10C4:8253.*", TAG+="uaccess"]])
    if(NOT rule_lines STREQUAL wanted)
      fail("${rule} holds [${rule_lines}]")
    endif()
  endif()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} install check(s) failed")
endif()
message(STATUS "installed exactly: ${expected}")
