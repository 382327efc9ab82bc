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
foreach(header CLS_VurodoroViri_Base.h CLS_VurodoroViri_Druvel.h Terminal_Http_Tool.h ox_toolkit.h)
  if(NOT EXISTS ${prefix}/include/${header})
    message(FATAL_ERROR "installed package lacks include/${header}")
  endif()
endforeach()
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build -j2)
run(${CMAKE_COMMAND} --install ${WORK_DIR}/build --prefix ${prefix})

# Moved away from where it was installed, the prefix must still work: relative RPATHs only.
set(moved ${WORK_DIR}/moved)
file(RENAME ${prefix} ${moved})
# Nothing listens on port 1: the host runs, its request fails cleanly, it exits 1.
execute_process(COMMAND ${moved}/bin/minimal_host 1 0
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT out MATCHES "GetAvailableFace Call HttpPostRequest ret false")
  message(FATAL_ERROR "moved host did not run as expected (${rc}):\n${out}\n${err}")
endif()
if(EXISTS ${SOURCE_DIR}/examples/check_installed_host.cmake)
  include(${SOURCE_DIR}/examples/check_installed_host.cmake)
endif()
message(STATUS "installed package builds and runs a host")
