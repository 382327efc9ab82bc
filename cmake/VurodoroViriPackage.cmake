# Installs the four libraries, their headers (in include/vurodoroviri/, which the package puts on
# the include path, so a header name like ox_toolkit.h collides with no other package) and a CMake
# package:
# find_package(VurodoroViri CONFIG) gives VurodoroViri::VurodoroViri_Druvel and its three siblings.
include(CMakePackageConfigHelpers)

set(VV_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VurodoroViri)
install(TARGETS VurodoroViri_Base ox_toolkit Terminal_Http_Tool VurodoroViri_Druvel
  EXPORT VurodoroViriTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vurodoroviri)
install(FILES ${PROJECT_BINARY_DIR}/generated/VurodoroViri_Version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vurodoroviri)
install(EXPORT VurodoroViriTargets
  NAMESPACE VurodoroViri::
  DESTINATION ${VV_CONFIG_DIR})

# A MinGW-w64 build records its compiler for the package's check of a host's, and installs the
# compiler's runtime DLLs beside its own (a host ships them all).
set(VV_BUILT_BY_MINGW FALSE)
set(VV_RUNTIME_DLLS "")
if(MINGW AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  include(VurodoroViriCompilerCheck)
  set(VV_BUILT_BY_MINGW TRUE)
  set(VV_BUILT_CXX_ID ${CMAKE_CXX_COMPILER_ID})
  set(VV_BUILT_CXX_VERSION ${CMAKE_CXX_COMPILER_VERSION})
  vurodoroviri_thread_model(VV_BUILT_THREADS "${CMAKE_CXX_COMPILER}")
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
      OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${dll_path}")
      message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    get_filename_component(dll_path "${dll_path}" REALPATH)
    install(FILES ${dll_path} DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME ${dll})
    list(APPEND VV_RUNTIME_DLLS ${dll})
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/VurodoroViriCompilerCheck.cmake
    DESTINATION ${VV_CONFIG_DIR})
endif()

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VurodoroViriConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VurodoroViriConfig.cmake
  INSTALL_DESTINATION ${VV_CONFIG_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VurodoroViriConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VurodoroViriConfig.cmake
              ${PROJECT_BINARY_DIR}/VurodoroViriConfigVersion.cmake
  DESTINATION ${VV_CONFIG_DIR})

# The .pc file finds the prefix from where it lies, so it stays right for `cmake --install --prefix`
# and for a prefix moved after installing.
file(RELATIVE_PATH VV_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" VV_PC_TO_PREFIX "${VV_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/vurodoroviri.pc.in
  ${PROJECT_BINARY_DIR}/vurodoroviri.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vurodoroviri.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
