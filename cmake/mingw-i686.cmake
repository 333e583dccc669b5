# Cross-compiling for 32-bit Windows (i686): the plug-in as games load it.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(BRENN_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
