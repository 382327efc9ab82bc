# Whether a host's compiler can use a Windows package of this library built by MinGW-w64 GCC.
# The C++ interface passes std::string and std::map between the host and the DLLs, so a host
# compiled by anything but the same GCC (major version, thread model) gets other layouts and
# breaks at link or, worse, at run time; MSVC and clang-cl cannot take GNU import libraries at all.
# The plain C interface (VurodoroViri_C.h) needs neither.
#
#   vurodoroviri_host_problem(<out> <built-id> <built-version> <built-threads>
#                             <host-id> <host-simulate-id> <host-version> <host-threads> <c-only>)
#
# sets <out> to why the host cannot use the package, or to "" when it can. <c-only> is true when
# the host uses the C interface only (a C project, or find_package(... COMPONENTS C)).
function(vurodoroviri_host_problem out built_id built_version built_threads
         host_id host_simulate_id host_version host_threads c_only)
  string(REGEX MATCH "^[0-9]+" built_major "${built_version}")
  string(REGEX MATCH "^[0-9]+" host_major "${host_version}")
  set(built "MinGW-w64 ${built_id} ${built_major} with ${built_threads} threads")
  set(source_build "or build the library from source with this compiler (docs/windows.md)")
  if(host_id STREQUAL "MSVC" OR host_simulate_id STREQUAL "MSVC")
    set(${out} "VurodoroViri: this package was built by ${built}; a host compiled by ${host_id} \
${host_version} (MSVC's C++ library and linker) can use neither its C++ interface nor its import \
libraries. Use the plain C interface without the package: include/vurodoroviri/VurodoroViri_C.h, \
an import library made from lib/VurodoroViri_C.def (lib /def:VurodoroViri_C.def /machine:x64 \
/out:VurodoroViri_Druvel.lib) and the DLLs of bin/ (README.txt), ${source_build}." PARENT_SCOPE)
  elseif(NOT c_only AND NOT (host_id STREQUAL built_id AND host_major STREQUAL built_major AND
                             host_threads STREQUAL built_threads))
    set(${out} "VurodoroViri: the C++ interface passes std::string and std::map between host and \
DLLs, so a C++ host must be compiled by the compiler that built this package, ${built}; this \
host's is ${host_id} ${host_version} (${host_threads} threads). Use the plain C interface \
(VurodoroViri_C.h) with find_package(VurodoroViri CONFIG REQUIRED COMPONENTS C) and \
VurodoroViri::VurodoroViri_Druvel, ${source_build}." PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

# The thread model a GCC was configured with ("posix", "win32", "mcf"); "" for other compilers.
function(vurodoroviri_thread_model out compiler)
  execute_process(COMMAND "${compiler}" -v ERROR_VARIABLE version OUTPUT_QUIET RESULT_VARIABLE rc)
  set(model "")
  if(rc EQUAL 0 AND version MATCHES "Thread model: ([A-Za-z0-9]+)")
    set(model "${CMAKE_MATCH_1}")
  endif()
  set(${out} "${model}" PARENT_SCOPE)
endfunction()
