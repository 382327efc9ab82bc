# Everything comes from Debian's packages; scripts/bootstrap installs them.
find_package(Threads REQUIRED)
find_package(json-c CONFIG REQUIRED)
if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  # Debian's cpp-httplib is a compiled library; its compile definitions change class layouts, so
  # they must come from its own pkg-config file.
  pkg_check_modules(CPPHTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
else()
  # Windows (cross-built with mingw-w64, see scripts/windows-check): Debian ships no mingw build of
  # cpp-httplib, so its single header from Debian's source package is used header-only, without
  # TLS or compression, with the same definitions in every file that includes it. It keeps the
  # name the Linux build links, so the targets need no Windows branch of their own; json-c comes
  # from a cross-built prefix through json-c_DIR.
  set(VV_HTTPLIB_INCLUDE_DIR "" CACHE PATH "Directory holding cpp-httplib's httplib.h")
  if(NOT EXISTS "${VV_HTTPLIB_INCLUDE_DIR}/httplib.h")
    message(FATAL_ERROR "Windows build: set VV_HTTPLIB_INCLUDE_DIR to the directory of httplib.h")
  endif()
  file(STRINGS "${VV_HTTPLIB_INCLUDE_DIR}/httplib.h" _vv_httplib_version
       REGEX "^#define CPPHTTPLIB_VERSION ")
  message(STATUS "cpp-httplib (header-only): ${_vv_httplib_version}")
  add_library(PkgConfig::CPPHTTPLIB INTERFACE IMPORTED)
  set_target_properties(PkgConfig::CPPHTTPLIB PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${VV_HTTPLIB_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES ws2_32)
endif()
