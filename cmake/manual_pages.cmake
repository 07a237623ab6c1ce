# Manual pages: <name>.<section>.in beside a program's CMakeLists.txt, with the version filled in,
# installed gzipped as distributions ship them. gzip -n keeps the file's name and time out of the
# archive, so that two builds of a package are byte for byte the same.
include_guard(GLOBAL)
include(GNUInstallDirs)
find_program(HALVRENN_GZIP gzip REQUIRED)

# halvrenn_manual_page(<name>.<section> [FILLED_BY <command>...])
# FILLED_BY: a program of the build that writes the page from the configured text, run as
# `<command>... <configured text> <page>`, such as one that adds the list of options from their
# table.
function(halvrenn_manual_page page)
  cmake_parse_arguments(PARSE_ARGV 1 page "" "" "FILLED_BY")
  string(REGEX MATCH "[1-9]$" section ${page})
  set(configured ${CMAKE_CURRENT_BINARY_DIR}/${page})
  configure_file(${page}.in ${configured}.source @ONLY)
  set(depends ${configured}.source)
  if(page_FILLED_BY)
    set(write ${page_FILLED_BY} ${configured}.source ${configured})
    list(GET page_FILLED_BY 0 program)
    if(TARGET ${program})  # written again when the program changes
      list(APPEND depends ${program})
    endif()
  else()
    set(write ${CMAKE_COMMAND} -E copy ${configured}.source ${configured})
  endif()
  add_custom_command(OUTPUT ${configured}.gz
    COMMAND ${write}
    COMMAND ${HALVRENN_GZIP} -9nf ${configured}
    DEPENDS ${depends}
    VERBATIM)
  string(MAKE_C_IDENTIFIER ${page} target)
  add_custom_target(manual_${target} ALL DEPENDS ${configured}.gz)
  install(FILES ${configured}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
