# Warnings are errors in every target of ours; third-party code is built without them. The flags
# are each compiler's own: MSVC and clang-cl take MSVC's, GCC and Clang the GNU ones.
function(halvrenn_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX /permissive- /utf-8)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion
                                             -Wsign-conversion -Werror)
  endif()
endfunction()
