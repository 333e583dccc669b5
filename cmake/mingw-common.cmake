# Cross-compiling for Windows with Debian's MinGW-w64. Included by the
# per-architecture toolchain files, which set BRENN_MINGW_PREFIX and
# CMAKE_SYSTEM_PROCESSOR first.
# The -posix compilers use the POSIX thread model, which std::mutex needs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${BRENN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRENN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${BRENN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRENN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime (libgcc, libstdc++ and the POSIX threads library) goes into
# every DLL and program, so that neither a host game nor Wine needs the
# MinGW runtime DLLs: only system DLLs are imported.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
