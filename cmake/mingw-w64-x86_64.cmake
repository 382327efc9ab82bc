# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix). The
# Windows bundle ships it: hosts built with it get the compiler the bundle was built with.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ...
# The posix flavour is required: it brings std::thread and std::mutex (through winpthreads), which
# the win32 flavour of GCC 12 lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VV_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VV_MINGW_TRIPLET}-windres)

# Headers, libraries and packages come from the mingw sysroot, never from the host's /usr (a Linux
# json-c found there would only fail at link time); a cross-built package is named on the command
# line with <Package>_DIR. Build tools come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VV_MINGW_TRIPLET})
# Prefixes named in CMAKE_PREFIX_PATH (the Windows bundle, a cross-built package) are Windows
# prefixes by intent: each is a root of its own, searched as it is, not under the sysroot.
set(vv_named_prefixes ${CMAKE_PREFIX_PATH})
if(DEFINED ENV{CMAKE_PREFIX_PATH})
  string(REPLACE ":" ";" vv_environment_prefixes "$ENV{CMAKE_PREFIX_PATH}")
  list(APPEND vv_named_prefixes ${vv_environment_prefixes})
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${vv_named_prefixes})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs (gtest_discover_tests, ctest) run under wine when it is installed.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR AND EXISTS /usr/lib/wine/wine64)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()
