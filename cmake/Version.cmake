# The version header: generated/platform/Version.h in the build tree, from
# project(VERSION), installed beside platform/Export.h, which includes it.
# It also records the C++ library the plug-in is built with, so that a host
# built with another one is refused at compile time.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("#include <cstddef>\n#ifndef __GLIBCXX__\n#error\n#endif\nint main() { return 0; }"
  BRENN_HAS_LIBSTDCXX)
check_cxx_source_compiles("#include <cstddef>\n#if !_GLIBCXX_USE_CXX11_ABI\n#error\n#endif\nint main() { return 0; }"
  BRENN_HAS_CXX11_ABI)
set(BRENN_LIBSTDCXX 0)
set(BRENN_CXX11_ABI 0)
if(BRENN_HAS_LIBSTDCXX)
  set(BRENN_LIBSTDCXX 1)
endif()
if(BRENN_HAS_CXX11_ABI)
  set(BRENN_CXX11_ABI 1)
endif()
set(BRENN_VERSION_HEADER ${PROJECT_BINARY_DIR}/generated/platform/Version.h)
configure_file(${PROJECT_SOURCE_DIR}/cmake/Version.h.in ${BRENN_VERSION_HEADER} @ONLY)
# "platform/Version.h" for the tools, "Version.h" for Export.h beside it.
include_directories(${PROJECT_BINARY_DIR}/generated ${PROJECT_BINARY_DIR}/generated/platform)
