# The Unity package in the Windows zip, unity/org.velnarlanjoin.lanjoin/:
# its manifest (package.json), the C# binding in Runtime/, the docs in
# Documentation~/, the plug-in of this build in Plugins/x86 or
# Plugins/x86_64, and the plug-ins of other builds (the other Windows
# architecture, the Linux .so) from BRENN_UNITY_EXTRA_PLUGINS, a folder laid
# out as Plugins/ with their .meta files (scripts/test-windows.sh fills it).
# Every asset carries the .meta file that tells Unity its importer and, for
# the plug-ins, the platform and CPU it loads on (bindings/csharp/unity).
set(BRENN_UNITY_EXTRA_PLUGINS "" CACHE PATH "Plug-ins of other builds for the Unity package, laid out as its Plugins/")
set(unity_source ${PROJECT_SOURCE_DIR}/bindings/csharp/unity)
set(unity_package unity/org.velnarlanjoin.lanjoin)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(unity_arch x86_64)
else()
  set(unity_arch x86)
endif()

configure_file(${unity_source}/package.json.in ${PROJECT_BINARY_DIR}/unity/package.json @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/unity/package.json ${unity_source}/package.json.meta
  ${unity_source}/LICENSE.md.meta ${unity_source}/Runtime.meta ${unity_source}/Plugins.meta
  DESTINATION ${unity_package} COMPONENT unity)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${unity_package} RENAME LICENSE.md COMPONENT unity)
install(FILES ${PROJECT_SOURCE_DIR}/bindings/csharp/VelnarLanJoin.cs ${unity_source}/Runtime/VelnarLanJoin.cs.meta
  ${unity_source}/Runtime/VelnarLanJoin.asmdef ${unity_source}/Runtime/VelnarLanJoin.asmdef.meta
  DESTINATION ${unity_package}/Runtime COMPONENT unity)
install(FILES ${PROJECT_SOURCE_DIR}/docs/csharp.md DESTINATION ${unity_package}/Documentation~ COMPONENT unity)
install(TARGETS VelnarLanJoin RUNTIME DESTINATION ${unity_package}/Plugins/${unity_arch} COMPONENT unity)
install(FILES ${unity_source}/Plugins/${unity_arch}.meta DESTINATION ${unity_package}/Plugins COMPONENT unity)
install(FILES ${unity_source}/Plugins/${unity_arch}/VelnarLanJoin.dll.meta
  DESTINATION ${unity_package}/Plugins/${unity_arch} COMPONENT unity)
if(BRENN_UNITY_EXTRA_PLUGINS)
  install(DIRECTORY ${BRENN_UNITY_EXTRA_PLUGINS}/ DESTINATION ${unity_package}/Plugins COMPONENT unity)
endif()
