# -DVV_SANITIZE=address,undefined or -DVV_SANITIZE=thread applies to every target of the tree.
if(VV_SANITIZE)
  string(REPLACE "," ";" _vv_sanitizers "${VV_SANITIZE}")
  foreach(_s IN LISTS _vv_sanitizers)
    add_compile_options(-fsanitize=${_s})
    add_link_options(-fsanitize=${_s})
  endforeach()
  add_compile_options(-fno-omit-frame-pointer -fno-sanitize-recover=all)
endif()

# -DVV_BUILD_FUZZ=ON (clang, scripts/fuzz): every target carries the coverage the fuzzer steers by,
# so the library code a fuzz target links is instrumented as well as the target itself.
option(VV_BUILD_FUZZ "Build libFuzzer binaries (needs clang)" OFF)
if(VV_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
