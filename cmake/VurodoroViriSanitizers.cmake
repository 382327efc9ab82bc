# -DVV_SANITIZE=address,undefined or -DVV_SANITIZE=thread applies to every target of the tree.
if(VV_SANITIZE)
  string(REPLACE "," ";" _vv_sanitizers "${VV_SANITIZE}")
  foreach(_s IN LISTS _vv_sanitizers)
    add_compile_options(-fsanitize=${_s})
    add_link_options(-fsanitize=${_s})
  endforeach()
  add_compile_options(-fno-omit-frame-pointer -fno-sanitize-recover=all)
endif()
