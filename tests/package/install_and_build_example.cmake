# cmake -P script: install, configure examples/ against the prefix, build, run the minimal host.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(LAST_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(header CLS_VurodoroViri_Base.h CLS_VurodoroViri_Druvel.h Terminal_Http_Tool.h ox_toolkit.h
               VurodoroViri_C.h VurodoroViri_Diagnostics.h VurodoroViri_Options.h
               VurodoroViri_Version.h)
  if(NOT EXISTS ${prefix}/include/vurodoroviri/${header})
    message(FATAL_ERROR "installed package lacks include/vurodoroviri/${header}")
  endif()
endforeach()
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build -j2)
run(${CMAKE_COMMAND} --install ${WORK_DIR}/build --prefix ${prefix})

# Moved away from where it was installed, the prefix must still work: relative RPATHs only.
set(moved ${WORK_DIR}/moved)
file(RENAME ${prefix} ${moved})
# Nothing listens on port 1: the host runs, its first request fails cleanly, it exits 1.
execute_process(COMMAND ${moved}/bin/minimal_host 1
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT out MATCHES "BindVurodoroViri Call HttpPostRequest ret false")
  message(FATAL_ERROR "moved host did not run as expected (${rc}):\n${out}\n${err}")
endif()
# pkg-config users: the .pc of the moved prefix gives a host that builds, links and, with the
# library folder as its run path (the .pc's libdir variable), starts.
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  file(GLOB pc_file ${moved}/lib*/pkgconfig/vurodoroviri.pc ${moved}/lib*/*/pkgconfig/vurodoroviri.pc)
  get_filename_component(pc_dir "${pc_file}" DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} ${pc_dir})
  run(${PKG_CONFIG} --cflags --libs vurodoroviri)
  string(STRIP "${LAST_OUTPUT}" pc_flags)
  separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
  run(${PKG_CONFIG} --variable=libdir vurodoroviri)
  string(STRIP "${LAST_OUTPUT}" pc_libdir)
  separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
  run(c++ -std=c++17 ${cxx_flags} ${SOURCE_DIR}/examples/minimal_host.cpp ${pc_flags}
      -Wl,-rpath,${pc_libdir} -o ${WORK_DIR}/pc_host)
  execute_process(COMMAND ${WORK_DIR}/pc_host 1
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 1 OR NOT out MATCHES "BindVurodoroViri Call HttpPostRequest ret false")
    message(FATAL_ERROR "pkg-config host did not start (${rc}):\n${out}\n${err}")
  endif()
endif()
if(EXISTS ${SOURCE_DIR}/examples/check_installed_host.cmake)
  include(${SOURCE_DIR}/examples/check_installed_host.cmake)
endif()
message(STATUS "installed package builds and runs a host")
