// BRENN_EXPORT: marks the classes and functions that the plug-in exports.
// Every public header includes this one, so each also brings the version
// macros and the check that the host's C++ library matches the plug-in's.
#pragma once

#include <cstddef>  // defines the C++ library's configuration macros

#include "Version.h"

// The headers are C++17 (nested namespaces, inline class constants).
#if __cplusplus < 201703L
#error "the VelnarLanJoin headers need C++17 or later (-std=c++17)"
#endif

// The interface passes std::string and std::list, whose layout depends on
// the C++ library and, in libstdc++, on _GLIBCXX_USE_CXX11_ABI. A host built
// otherwise fails to link the mangled names, and CreateJoinClass (a C name)
// would take a string of the wrong layout; so it is refused here.
#if BRENN_BUILT_WITH_LIBSTDCXX
#if !defined(__GLIBCXX__)
#error "the VelnarLanJoin plug-in was built with libstdc++: build the host with libstdc++ too"
#elif _GLIBCXX_USE_CXX11_ABI != BRENN_BUILT_WITH_CXX11_ABI
#error "the VelnarLanJoin plug-in was built with another _GLIBCXX_USE_CXX11_ABI than this host"
#endif
#endif

// The plug-in's own sources (and the libraries built into it) define
// BRENN_BUILDING_PLUGIN and export. Programs that link those libraries
// statically, such as the engine's tests, see BRENN_STATIC and neither
// export nor import. Everyone else uses the plug-in and imports. With GCC
// and Clang everything is hidden by default, so exported names are made
// visible again.
#if defined(_WIN32)
#if defined(BRENN_BUILDING_PLUGIN)
#define BRENN_EXPORT __declspec(dllexport)
#elif defined(BRENN_STATIC)
#define BRENN_EXPORT
#else
#define BRENN_EXPORT __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define BRENN_EXPORT __attribute__((visibility("default")))
#else
#define BRENN_EXPORT
#endif
