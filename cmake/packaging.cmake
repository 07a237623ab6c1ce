# CPack: packages of the build. Their version is the one the user reads in the program.
set(CPACK_PACKAGE_VERSION ${HALVRENN_DISPLAY_VERSION})
set(CPACK_PACKAGE_VENDOR "Halvrenn Developers")
set(CPACK_PACKAGE_CONTACT "Halvrenn Developers")
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
else()
  set(CPACK_GENERATOR DEB TGZ)
  # The .deb installs under /usr (CPack's default for DEB); the tarball stays relocatable.
  set(CPACK_PACKAGE_NAME halvrenn)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
