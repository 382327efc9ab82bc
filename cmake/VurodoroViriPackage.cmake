# Installs the four libraries, their headers (flat in include/) and a CMake package:
# find_package(VurodoroViri CONFIG) gives VurodoroViri::VurodoroViri_Druvel and its three siblings.
include(CMakePackageConfigHelpers)

set(VV_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VurodoroViri)
install(TARGETS VurodoroViri_Base ox_toolkit Terminal_Http_Tool VurodoroViri_Druvel
  EXPORT VurodoroViriTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_BINARY_DIR}/generated/VurodoroViri_Version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT VurodoroViriTargets
  NAMESPACE VurodoroViri::
  DESTINATION ${VV_CONFIG_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VurodoroViriConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VurodoroViriConfig.cmake
  INSTALL_DESTINATION ${VV_CONFIG_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VurodoroViriConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VurodoroViriConfig.cmake
              ${PROJECT_BINARY_DIR}/VurodoroViriConfigVersion.cmake
  DESTINATION ${VV_CONFIG_DIR})

configure_file(${PROJECT_SOURCE_DIR}/cmake/vurodoroviri.pc.in
  ${PROJECT_BINARY_DIR}/vurodoroviri.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vurodoroviri.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
