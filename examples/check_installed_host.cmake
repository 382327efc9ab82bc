# Included at the end of tests/package/install_and_build_example.cmake: the host installed into the
# moved prefix binds a terminal of the gateway simulator installed with the package, adds a user and
# receives that command's result (the adapter's first poll comes 8 s after it started); the
# installed command-line tool reaches the same simulator.
set(simulator ${moved}/bin/facepad-gateway-sim)
if(NOT EXISTS ${simulator})
  return()  # built without tools
endif()

set(port_file ${WORK_DIR}/simulator.port)
file(REMOVE ${port_file})
# In the background, with its output on files: execute_process would otherwise wait for the pipes.
execute_process(
  COMMAND sh -c "\"$0\" --port 0 --port-file \"$1\" --quiet >\"$1.log\" 2>&1 & echo $!"
          ${simulator} ${port_file}
  OUTPUT_VARIABLE simulator_pid OUTPUT_STRIP_TRAILING_WHITESPACE)
foreach(attempt RANGE 100)
  if(EXISTS ${port_file})
    break()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 0.1)
endforeach()
if(NOT EXISTS ${port_file})
  execute_process(COMMAND kill -TERM ${simulator_pid})
  message(FATAL_ERROR "the simulator did not start")
endif()
file(STRINGS ${port_file} port LIMIT_COUNT 1)

execute_process(COMMAND ${moved}/bin/minimal_host ${port}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
execute_process(COMMAND ${moved}/bin/facepad-cli --port ${port} available
  RESULT_VARIABLE cli_rc OUTPUT_VARIABLE cli_out ERROR_VARIABLE cli_err)
execute_process(COMMAND kill -TERM ${simulator_pid})
if(NOT rc EQUAL 0 OR NOT out MATCHES "result of command [0-9]+: 0\n")
  message(FATAL_ERROR "installed host against the simulator failed (${rc}):\n${out}\n${err}")
endif()
if(NOT cli_rc EQUAL 0)
  message(FATAL_ERROR "installed facepad-cli failed (${cli_rc}):\n${cli_out}\n${cli_err}")
endif()
message(STATUS "installed host reached the simulator on port ${port}")
