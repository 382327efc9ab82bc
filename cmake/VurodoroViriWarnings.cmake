# Warnings for our own targets only; third-party headers come in as system headers.
# Implicit conversions that may change a value or its sign are warned about too: a length, a count
# or a port changes type only through an explicit cast, at a place that says why it fits.
set(VV_WARNING_FLAGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion)

function(vv_set_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    # C and C++ only: a tool's manifest resource goes through windres, which takes none of them.
    target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:C,CXX>:${VV_WARNING_FLAGS}>")
    if(VV_WARNINGS_AS_ERRORS)
      target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Werror>)
    endif()
  endif()
endfunction()
