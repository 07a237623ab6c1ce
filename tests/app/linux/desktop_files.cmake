# The desktop entry and the metainfo pass their validators without a warning, and an install
# puts every file of the desktop integration where the desktop looks for it.
set(desktop_id ${HALVRENN_APP_ID})

# desktop-file-validate exits 0 on warnings, so its output decides.
add_test(NAME desktop_entry_valid
         COMMAND desktop-file-validate ${CMAKE_SOURCE_DIR}/app/linux/${desktop_id}.desktop)
set_tests_properties(desktop_entry_valid PROPERTIES FAIL_REGULAR_EXPRESSION "warning:;error:")

# appstreamcli fails on warnings and errors itself; infos and pedantic notes pass.
add_test(NAME metainfo_valid
         COMMAND appstreamcli validate --no-net --explain
                 ${CMAKE_BINARY_DIR}/app/linux/${desktop_id}.metainfo.xml)

add_test(NAME desktop_install
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                 -DDESTDIR=${CMAKE_CURRENT_BINARY_DIR}/install_root -DDESKTOP_ID=${desktop_id}
                 -DVERSION=${HALVRENN_DISPLAY_VERSION}
                 -P ${CMAKE_CURRENT_LIST_DIR}/check_install.cmake)

set_tests_properties(desktop_entry_valid metainfo_valid desktop_install PROPERTIES LABELS desktop)
