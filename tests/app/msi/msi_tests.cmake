# The Windows installer: installed, started, upgraded and removed under Wine's msiexec in a Wine
# prefix of its own on a virtual display, and signed with a throwaway certificate. Included by
# tests/CMakeLists.txt when the build makes the MSI (HALVRENN_MSI, see cmake/packaging.cmake).
set(msi_programs Halvrenn.exe)
if(TARGET halvrenn_cdr_cli)
  list(APPEND msi_programs halvrenn-cdr.exe)
endif()
list(JOIN msi_programs " " msi_programs)
cmake_path(REPLACE_EXTENSION HALVRENN_MSI_FILE LAST_ONLY .stage OUTPUT_VARIABLE msi_stage)
set(msi_environment
  MSI=${HALVRENN_MSI_FILE} MSI_INPUTS=${HALVRENN_MSI_INPUTS}
  MAKE_MSI=${PROJECT_SOURCE_DIR}/packaging/make_msi.cmake CMAKE=${CMAKE_COMMAND}
  "PROGRAMS=${msi_programs}" STAGE=${msi_stage})

add_test(NAME msi_install
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/app/run_on_virtual_display.sh
                 bash ${CMAKE_CURRENT_SOURCE_DIR}/app/msi/install_test.sh)
# winemenubuilder is off: the shortcut must not reach the desktop menus of the machine.
set(msi_install_environment ${msi_environment} "INSTALLED=${msi_programs} LICENSE.txt"
  PRODUCT_VERSION=${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}
  "PUBLISHER=${CPACK_PACKAGE_VENDOR}" ICON=${PROJECT_SOURCE_DIR}/app/win32/halvrenn.ico
  WINE=${CMAKE_CROSSCOMPILING_EMULATOR} WINESERVER=${HALVRENN_WINESERVER}
  WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix-msi WINEDEBUG=-all
  WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=)
set_tests_properties(msi_install PROPERTIES LABELS app TIMEOUT 300 RUN_SERIAL ON
  ENVIRONMENT "${msi_install_environment}")

if(NOT HALVRENN_OSSLSIGNCODE)
  message(FATAL_ERROR "The MSI's signing test needs osslsigncode (scripts/setup.sh installs it)")
endif()
add_test(NAME msi_signing COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/app/msi/signing_test.sh)
set_tests_properties(msi_signing PROPERTIES LABELS app ENVIRONMENT
  "${msi_environment};OSSLSIGNCODE=${HALVRENN_OSSLSIGNCODE}")
