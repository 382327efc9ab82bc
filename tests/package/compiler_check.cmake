# cmake -P script: which host compilers a package built by MinGW-w64 GCC 12 (posix threads) takes,
# one row per kind of host, and what the refusal points to.
cmake_minimum_required(VERSION 3.16)  # lists keep their empty fields
include(${SOURCE_DIR}/cmake/VurodoroViriCompilerCheck.cmake)

# host id | simulated id | version | threads | C interface only | what the answer holds ("" = taken)
set(rows
  "GNU||12.2.0|posix|FALSE|"
  "GNU||12.3.1|posix|FALSE|"
  "GNU||13.1.0|posix|FALSE|GNU 13.1.0 (posix threads)"
  "GNU||12.2.0|win32|FALSE|GNU 12.2.0 (win32 threads)"
  "Clang||15.0.7||FALSE|COMPONENTS C"
  "GNU||13.1.0|win32|TRUE|"
  "MSVC||19.38.33130||FALSE|lib /def:VurodoroViri_C.def"
  "Clang|MSVC|17.0.1||FALSE|MSVC's C++ library"
  "MSVC||19.38.33130||TRUE|lib /def:VurodoroViri_C.def")
set(failures "")
foreach(row IN LISTS rows)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 id)
  list(GET fields 1 simulated)
  list(GET fields 2 version)
  list(GET fields 3 threads)
  list(GET fields 4 c_only)
  list(GET fields 5 expected)
  vurodoroviri_host_problem(problem GNU 12.2.0 posix "${id}" "${simulated}" "${version}"
                            "${threads}" ${c_only})
  if(expected STREQUAL "" AND NOT problem STREQUAL "")
    string(APPEND failures "\n${row}: refused: ${problem}")
  elseif(NOT expected STREQUAL "")
    string(FIND "${problem}" "${expected}" at)
    string(FIND "${problem}" "source" source_at)
    if(at EQUAL -1 OR source_at EQUAL -1)
      string(APPEND failures "\n${row}: wanted a refusal naming \"${expected}\" and a source "
                             "build, got \"${problem}\"")
    endif()
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "the package's compiler check:${failures}")
endif()
