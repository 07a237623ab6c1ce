# CPack: packages of the build. Their version is the one the user reads in the program.
set(CPACK_PACKAGE_VERSION ${HALVRENN_DISPLAY_VERSION})
set(CPACK_PACKAGE_VENDOR "Halvrenn Developers")
set(CPACK_PACKAGE_CONTACT "Halvrenn Developers <developers@halvrenn.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION [[
Halvrenn converts telephone call-detail record time stamps, counted in
seconds since 1970 (POSIX time), into Greenwich, local standard and local
daylight dates.]])

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME Halvrenn)
  set(CPACK_PACKAGE_FILE_NAME Halvrenn-${CPACK_PACKAGE_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  # The licence travels beside the programs, named so that Windows opens it.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
else()
  set(CPACK_GENERATOR DEB TGZ)
  # The .deb installs under /usr (CPack's default for DEB); the tarball stays relocatable.
  set(CPACK_PACKAGE_NAME halvrenn)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The libraries' packages come from dpkg-shlibdeps; the tz database is read, not linked.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS tzdata)
  set(CPACK_STRIP_FILES ON)

  # copyright and changelog.gz in /usr/share/doc/halvrenn, made from LICENSE and CHANGELOG.md.
  include(GNUInstallDirs)
  include(${PROJECT_SOURCE_DIR}/cmake/manual_pages.cmake)  # for gzip
  set(debian_docs ${CMAKE_BINARY_DIR}/packaging)
  add_custom_command(
    OUTPUT ${debian_docs}/copyright ${debian_docs}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${debian_docs}
    COMMAND ${CMAKE_COMMAND} -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
            -DCHANGELOG=${PROJECT_SOURCE_DIR}/CHANGELOG.md -DPACKAGE=${CPACK_PACKAGE_NAME}
            -DVERSION=${HALVRENN_DISPLAY_VERSION} "-DMAINTAINER=${CPACK_PACKAGE_CONTACT}"
            -DGZIP=${HALVRENN_GZIP} -DOUTPUT_DIR=${debian_docs}
            -P ${PROJECT_SOURCE_DIR}/packaging/debian_docs.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md
            ${PROJECT_SOURCE_DIR}/packaging/debian_docs.cmake
    COMMENT "Making copyright and changelog.gz from LICENSE and CHANGELOG.md"
    VERBATIM)
  add_custom_target(halvrenn_debian_docs ALL
                    DEPENDS ${debian_docs}/copyright ${debian_docs}/changelog.gz)
  install(FILES ${debian_docs}/copyright ${debian_docs}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})

  # The watcher's service, not enabled: its unit, its settings in /etc/default (a conffile, so
  # that an upgrade keeps the administrator's folders), and its user, made by the postinst from
  # the sysusers.d entry.
  set(watch_unit ${PROJECT_SOURCE_DIR}/app/linux/halvrenn-cdr-watch)
  install(FILES ${watch_unit}.service DESTINATION lib/systemd/system)
  install(FILES ${watch_unit}.sysusers DESTINATION lib/sysusers.d
          RENAME halvrenn-cdr-watch.conf)
  install(FILES ${watch_unit}.default DESTINATION /etc/default RENAME halvrenn-cdr-watch)
  file(MAKE_DIRECTORY ${debian_docs})
  file(WRITE ${debian_docs}/conffiles "/etc/default/halvrenn-cdr-watch\n")
  configure_file(${watch_unit}.postinst ${debian_docs}/postinst COPYONLY)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${debian_docs}/conffiles ${debian_docs}/postinst)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)

# The Windows installer, Halvrenn-<version>-x64.msi, built with wixl (msitools) beside the zip.
# Its ProductVersion is the numeric project version (Windows Installer compares the first three
# fields); its name carries the version the user reads, as the zip's does. The windows presets
# turn it on. Signing is ready but optional: HALVRENN_SIGNING_CERTIFICATE names a PKCS#12 file
# (its password in HALVRENN_SIGNING_PASSWORD_FILE); without one the build says it did not sign.
option(HALVRENN_MSI "Build the Windows installer with wixl (msitools)" OFF)
if(WIN32 AND HALVRENN_MSI)
  find_program(HALVRENN_WIXL wixl REQUIRED)
  find_program(HALVRENN_OSSLSIGNCODE osslsigncode)
  set(HALVRENN_SIGNING_CERTIFICATE "$ENV{HALVRENN_SIGNING_CERTIFICATE}"
      CACHE FILEPATH "PKCS#12 file to sign the programs and the MSI with (none: not signed)")
  set(HALVRENN_SIGNING_PASSWORD_FILE "$ENV{HALVRENN_SIGNING_PASSWORD_FILE}"
      CACHE FILEPATH "File holding the password of the signing certificate")
  set(HALVRENN_SIGNING_TIMESTAMP_URL "$ENV{HALVRENN_SIGNING_TIMESTAMP_URL}"
      CACHE STRING "RFC 3161 time-stamp server for the signatures (none: no time stamp)")

  set(HALVRENN_MSI_FILE ${CMAKE_BINARY_DIR}/Halvrenn-${HALVRENN_DISPLAY_VERSION}-x64.msi)
  set(HALVRENN_MSI_INPUTS ${CMAKE_BINARY_DIR}/packaging/msi_inputs.cmake)
  set(msi_programs halvrenn_win32)
  set(msi_cdr_exe "")
  # halvrenn-cdr.exe goes in with the window whenever the build has it.
  if(TARGET halvrenn_cdr_cli)
    set(msi_cdr_exe $<TARGET_FILE:halvrenn_cdr_cli>)
    list(APPEND msi_programs halvrenn_cdr_cli)
  endif()
  # What make_msi.cmake reads; each value yields to one given on its command line, as in tests.
  set(msi_inputs "")
  foreach(pair
      "WIXL|${HALVRENN_WIXL}" "OSSLSIGNCODE|${HALVRENN_OSSLSIGNCODE}"
      "WXS|${PROJECT_SOURCE_DIR}/packaging/halvrenn.wxs"
      "ICON|${PROJECT_SOURCE_DIR}/app/win32/halvrenn.ico" "LICENSE|${PROJECT_SOURCE_DIR}/LICENSE"
      "HALVRENN_EXE|$<TARGET_FILE:halvrenn_win32>" "HALVRENN_CDR_EXE|${msi_cdr_exe}"
      "PRODUCT_VERSION|${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}"
      "DISPLAY_VERSION|${HALVRENN_DISPLAY_VERSION}" "MANUFACTURER|${CPACK_PACKAGE_VENDOR}"
      "SUMMARY|${PROJECT_DESCRIPTION}" "SIGNED_DESCRIPTION|Halvrenn ${HALVRENN_DISPLAY_VERSION}")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 name)
    list(GET pair 1 value)
    string(APPEND msi_inputs "if(NOT DEFINED ${name})\n  set(${name} [==[${value}]==])\nendif()\n")
  endforeach()
  file(GENERATE OUTPUT ${HALVRENN_MSI_INPUTS} CONTENT "${msi_inputs}")

  add_custom_command(
    OUTPUT ${HALVRENN_MSI_FILE}
    COMMAND ${CMAKE_COMMAND} -DINPUTS=${HALVRENN_MSI_INPUTS} -DOUTPUT=${HALVRENN_MSI_FILE}
            "-DCERTIFICATE=${HALVRENN_SIGNING_CERTIFICATE}"
            "-DPASSWORD_FILE=${HALVRENN_SIGNING_PASSWORD_FILE}"
            "-DTIMESTAMP_URL=${HALVRENN_SIGNING_TIMESTAMP_URL}"
            -P ${PROJECT_SOURCE_DIR}/packaging/make_msi.cmake
    DEPENDS ${msi_programs} ${HALVRENN_MSI_INPUTS} ${PROJECT_SOURCE_DIR}/packaging/halvrenn.wxs
            ${PROJECT_SOURCE_DIR}/packaging/make_msi.cmake
            ${PROJECT_SOURCE_DIR}/app/win32/halvrenn.ico ${PROJECT_SOURCE_DIR}/LICENSE
    COMMENT "Building Halvrenn-${HALVRENN_DISPLAY_VERSION}-x64.msi"
    VERBATIM)
  add_custom_target(halvrenn_msi ALL DEPENDS ${HALVRENN_MSI_FILE})
endif()
