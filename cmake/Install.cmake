# Installs the plug-in, its public headers, a CMake package and a pkg-config
# file, the tools with their man pages, the sample key map and the docs.
# Components: "runtime" (the shared library), "development" (headers, the
# link library, CMake and pkg-config files), "tools" (lanbrowse, lanserver,
# man pages, key map), "simlan" (the simulated LAN's library for hosts'
# tests, its headers, CMake target VelnarLanJoin::SimLan and pkg-config
# file velnarlanjoin-simlan); the Debian packages follow them
# (cmake/Package.cmake).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The public interface: what a host may include. The headers go to a folder
# of the project's own, include/VelnarLanJoin/<folder>/, and that folder is
# the package's include directory, so a host writes
# #include "service/VelnarLanJoin.h". Public headers include each other by
# paths relative to themselves ("../platform/Export.h"), never through the
# include path, so that a game's own folders of the same names cannot stand
# in for them (tests/package checks this for every header listed here).
set(BRENN_PUBLIC_HEADERS
  service/VelnarLanJoin.h service/IService.h service/IJoinService.h service/IHostService.h
  service/MatchmakingTypes.h service/VelnarLanHost.h service/HostingTypes.h
  host/JoinMatchmaking.h host/ServerData.h
  keymap/KeyMap.h keymap/KeyMapEntry.h
  platform/Export.h platform/Platform.h
  capi/velnarlanjoin.h)
# The simulated LAN's headers, with its library (the "simlan" component).
set(BRENN_SIMLAN_HEADERS simlan/SimulatedLan.h simlan/Export.h)
set(BRENN_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/VelnarLanJoin)
foreach(header IN LISTS BRENN_PUBLIC_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${header} DESTINATION ${BRENN_INCLUDE_DIR}/${folder} COMPONENT development)
endforeach()
foreach(header IN LISTS BRENN_SIMLAN_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${header} DESTINATION ${BRENN_INCLUDE_DIR}/${folder} COMPONENT simlan)
endforeach()
install(FILES ${BRENN_VERSION_HEADER} DESTINATION ${BRENN_INCLUDE_DIR}/platform COMPONENT development)
target_include_directories(VelnarLanJoin INTERFACE $<INSTALL_INTERFACE:${BRENN_INCLUDE_DIR}>)

install(TARGETS VelnarLanJoin EXPORT VelnarLanJoinTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(EXPORT VelnarLanJoinTargets NAMESPACE VelnarLanJoin::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VelnarLanJoin COMPONENT development)
# The simulated LAN's library: find_package(VelnarLanJoin COMPONENTS SimLan)
# gives VelnarLanJoin::SimLan.
install(TARGETS VelnarLanJoinSimLan EXPORT VelnarLanJoinSimLanTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT simlan NAMELINK_COMPONENT simlan
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT simlan
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT simlan)
install(EXPORT VelnarLanJoinSimLanTargets NAMESPACE VelnarLanJoin::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VelnarLanJoin COMPONENT simlan)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VelnarLanJoinConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VelnarLanJoinConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VelnarLanJoin)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VelnarLanJoinConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VelnarLanJoinConfig.cmake ${PROJECT_BINARY_DIR}/VelnarLanJoinConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VelnarLanJoin COMPONENT development)

# pkg-config: the prefix is found from the file's own place, so an installed
# tree can be moved (or unpacked under another root) as a whole.
file(RELATIVE_PATH BRENN_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" BRENN_PC_TO_PREFIX "${BRENN_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/velnarlanjoin.pc.in ${PROJECT_BINARY_DIR}/velnarlanjoin.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/velnarlanjoin.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
configure_file(${PROJECT_SOURCE_DIR}/cmake/velnarlanjoin-simlan.pc.in ${PROJECT_BINARY_DIR}/velnarlanjoin-simlan.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/velnarlanjoin-simlan.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT simlan)

# The tools, the sample key map (lanbrowse finds it from its own folder) and
# the man pages.
install(TARGETS lanbrowse RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(FILES ${PROJECT_SOURCE_DIR}/MultiplayerServers/VelnarKeyMap.ini
  DESTINATION ${BRENN_KEY_MAP_INSTALL_DIR} COMPONENT tools)
if(NOT WIN32)
  install(TARGETS lanserver RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  # An installed lanbrowse finds the plug-in beside it, wherever the prefix
  # is; the Debian package, installed in the system's library folder, turns
  # this off (CMAKE_SKIP_INSTALL_RPATH).
  set_target_properties(lanbrowse PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  # The pages get the project's version, and are installed compressed.
  set(pages)
  foreach(tool lanbrowse lanserver)
    set(page ${PROJECT_BINARY_DIR}/man/${tool}.1)
    configure_file(${PROJECT_SOURCE_DIR}/tools/${tool}/${tool}.1 ${page} @ONLY)
    add_custom_command(OUTPUT ${page}.gz COMMAND gzip -9nkf ${page} DEPENDS ${page})
    list(APPEND pages ${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
endif()

# The README, the history, the manual and the licence; the Debian packages
# carry the licence their own way.
file(GLOB BRENN_DOC_PAGES ${PROJECT_SOURCE_DIR}/docs/*.md)
if(NOT BRENN_DEBIAN_PACKAGE)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/NEWS.md ${PROJECT_SOURCE_DIR}/LICENSE
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velnarlanjoin COMPONENT development)
  install(FILES ${BRENN_DOC_PAGES} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velnarlanjoin/docs COMPONENT development)
endif()
