# Installs the plug-in, its public headers and a CMake package, so that a
# host project can do find_package(VelnarLanJoin) and link
# VelnarLanJoin::VelnarLanJoin.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(BRENN_PUBLIC_HEADERS
  service/VelnarLanJoin.h service/IService.h service/IJoinService.h service/IHostService.h
  service/MatchmakingTypes.h service/VelnarLanHost.h service/HostingTypes.h
  host/JoinMatchmaking.h host/ServerData.h
  keymap/KeyMap.h keymap/KeyMapEntry.h
  platform/Export.h platform/Platform.h platform/SimulatedLan.h)
foreach(header IN LISTS BRENN_PUBLIC_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${folder})
endforeach()

install(TARGETS VelnarLanJoin EXPORT VelnarLanJoinTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT VelnarLanJoinTargets NAMESPACE VelnarLanJoin::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VelnarLanJoin)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VelnarLanJoinConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VelnarLanJoinConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VelnarLanJoin)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VelnarLanJoinConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VelnarLanJoinConfig.cmake ${PROJECT_BINARY_DIR}/VelnarLanJoinConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VelnarLanJoin)
