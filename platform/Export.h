// BRENN_EXPORT: marks the classes and functions that the plug-in exports.
#pragma once

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
