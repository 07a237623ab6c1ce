# Warnings are errors in every target of ours; third-party code is built without them.
function(halvrenn_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion
                                           -Werror)
endfunction()
