# Packages made by CPack from the install components (cmake/Install.cmake).
# The first line of each description is the package's summary.
#   DEB, built by scripts/package.sh with BRENN_DEBIAN_PACKAGE on:
#     libvelnarlanjoin1     runtime: the shared library (libVelnarLanJoin.so.1)
#     libvelnarlanjoin-dev  development: headers, the .so link, CMake and pkg-config files
#     velnarlanjoin         tools: lanbrowse, lanserver, their man pages, the sample key map
#     libvelnarlanjoin-simlan-dev  simlan: the simulated LAN's library and headers, for hosts' tests
#   ZIP, from the Windows cross build: everything in one archive.
set(CPACK_PACKAGE_NAME velnarlanjoin)
set(CPACK_PACKAGE_VENDOR "The VelnarLanJoin developers")
set(CPACK_PACKAGE_CONTACT "The VelnarLanJoin developers <velnarlanjoin@example.org>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_CHECKSUM SHA256)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The tools link the library of this build, which is in no package yet.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/service)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libvelnarlanjoin${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libvelnarlanjoin-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME velnarlanjoin)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION net)
set(CPACK_DEBIAN_SIMLAN_PACKAGE_NAME libvelnarlanjoin-simlan-dev)
set(CPACK_DEBIAN_SIMLAN_PACKAGE_SECTION libdevel)

set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "LAN join service for games (plug-in library)
The plug-in a game host loads to find game servers on the local network:
it broadcasts a status query over UDP, queries every server that answers
and fills the host's server records through a key map, driven from the
host's own loop without threads or blocking calls.")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "LAN join service for games (development files)
Headers, the link library, and CMake (find_package(VelnarLanJoin)) and
pkg-config (velnarlanjoin) files for building a game host against the
VelnarLanJoin plug-in. A host must be built with g++ and libstdc++ in the
C++11 string ABI.")
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "LAN join service for games (tools)
lanbrowse lists the game servers on the local network through the
VelnarLanJoin plug-in; lanserver simulates many game servers, for trying
and testing hosts. With man pages and the sample key map.")
set(CPACK_DEBIAN_SIMLAN_DESCRIPTION "LAN join service for games (simulated LAN, for tests)
The simulated LAN of VelnarLanJoin: in-memory UDP between hosts with a
manual clock, latency, loss and failure injection, installed in place of
the plug-in's platform operations, so that a game host's tests can drive
updates and hosting without sockets. Headers, the library, and CMake
(find_package(VelnarLanJoin COMPONENTS SimLan)) and pkg-config
(velnarlanjoin-simlan) files.")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_COMPONENT_SIMLAN_DEPENDS development)
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)

# Every Debian package carries its copyright file (the licence, in Debian's
# format) and a changelog in /usr/share/doc/<package>.
if(BRENN_DEBIAN_PACKAGE)
  set(debian ${PROJECT_BINARY_DIR}/debian)
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
  string(REGEX REPLACE "^.*\n\n(Permission)" "\\1" licence "${licence}")
  string(REGEX REPLACE "\n+$" "" licence "${licence}")
  string(REPLACE "\n\n" "\n.\n" licence "${licence}")
  string(REPLACE "\n" "\n " licence "${licence}")
  string(TIMESTAMP year "%Y" UTC)
  file(WRITE ${debian}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: VelnarLanJoin\n\nFiles: *\nCopyright: ${year} The VelnarLanJoin developers\n"
    "License: Expat\n ${licence}\n")
  string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  file(WRITE ${debian}/changelog
    "velnarlanjoin (${PROJECT_VERSION}) unstable; urgency=medium\n\n  * Release ${PROJECT_VERSION}: see NEWS.md.\n\n"
    " -- ${CPACK_PACKAGE_CONTACT}  ${date}\n")
  execute_process(COMMAND gzip -9nc ${debian}/changelog OUTPUT_FILE ${debian}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
  foreach(component RUNTIME DEVELOPMENT TOOLS SIMLAN)
    string(TOLOWER ${component} name)
    install(FILES ${debian}/copyright ${debian}/changelog.gz
      DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${component}_PACKAGE_NAME} COMPONENT ${name})
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/NEWS.md
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME} COMPONENT development)
  install(FILES ${BRENN_DOC_PAGES}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME}/docs COMPONENT development)
  # The library's package refreshes the linker cache by dpkg's trigger.
  file(WRITE ${debian}/triggers "activate-noawait ldconfig\n")
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${debian}/triggers)
  # So does the simulated LAN's, which carries a shared library too.
  set(CPACK_DEBIAN_SIMLAN_PACKAGE_CONTROL_EXTRA ${debian}/triggers)
endif()

include(CPack)
