# Manual pages: <name>.<section>.in beside a program's CMakeLists.txt, with the version filled in,
# installed gzipped as distributions ship them. gzip -n keeps the file's name and time out of the
# archive, so that two builds of a package are byte for byte the same.
include_guard(GLOBAL)
include(GNUInstallDirs)
find_program(HALVRENN_GZIP gzip REQUIRED)

# halvrenn_manual_page(<name>.<section>)
function(halvrenn_manual_page page)
  string(REGEX MATCH "[1-9]$" section ${page})
  set(configured ${CMAKE_CURRENT_BINARY_DIR}/${page})
  configure_file(${page}.in ${configured}.source @ONLY)
  add_custom_command(OUTPUT ${configured}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${configured}.source ${configured}
    COMMAND ${HALVRENN_GZIP} -9nf ${configured}
    DEPENDS ${configured}.source
    VERBATIM)
  string(MAKE_C_IDENTIFIER ${page} target)
  add_custom_target(manual_${target} ALL DEPENDS ${configured}.gz)
  install(FILES ${configured}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
