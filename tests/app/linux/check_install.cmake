# cmake -DBUILD_DIR=... -DDESTDIR=... -DDESKTOP_ID=... -DVERSION=... -P check_install.cmake
# Installs the build under /usr into DESTDIR and checks that the program, its desktop entry,
# metainfo and icons are there, under the names the desktop entry refers to.
file(REMOVE_RECURSE ${DESTDIR})
set(ENV{DESTDIR} ${DESTDIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
                OUTPUT_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(root ${DESTDIR}/usr)
set(share ${root}/share)

set(desktop_file ${share}/applications/${DESKTOP_ID}.desktop)
set(metainfo ${share}/metainfo/${DESKTOP_ID}.metainfo.xml)
foreach(file IN ITEMS ${desktop_file} ${metainfo})
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "Not installed: ${file}")
  endif()
endforeach()

# The program and the icons must be found under the names the desktop entry gives.
file(STRINGS ${desktop_file} exec REGEX "^Exec=")
file(STRINGS ${desktop_file} icon REGEX "^Icon=")
string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" exec "${exec}")
string(REGEX REPLACE "^Icon=" "" icon "${icon}")

set(expected ${root}/bin/${exec} ${share}/icons/hicolor/scalable/apps/${icon}.svg)
foreach(size IN ITEMS 16 32 48 64 128 256)
  list(APPEND expected ${share}/icons/hicolor/${size}x${size}/apps/${icon}.png)
endforeach()
set(missing "")
foreach(file IN LISTS expected)
  if(NOT EXISTS ${file})
    list(APPEND missing ${file})
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n  " missing)
  message(FATAL_ERROR "Not installed:\n  ${missing}")
endif()

# The metainfo is the configured one: its release is the build's version.
file(READ ${metainfo} metainfo_text)
if(NOT metainfo_text MATCHES "<release version=\"${VERSION}\"" OR metainfo_text MATCHES "@")
  message(FATAL_ERROR "${metainfo} does not carry release ${VERSION}")
endif()
