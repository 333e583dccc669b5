// BRENN_EXPORT: marks the classes and functions that the plug-in exports.
#pragma once

// Static builds (BRENN_STATIC) export nothing. On Windows the plug-in's own
// sources define BRENN_BUILDING_PLUGIN and export; its users import. With
// GCC and Clang everything is hidden by default, so exported names are made
// visible again.
#if defined(BRENN_STATIC)
#define BRENN_EXPORT
#elif defined(_WIN32)
#if defined(BRENN_BUILDING_PLUGIN)
#define BRENN_EXPORT __declspec(dllexport)
#else
#define BRENN_EXPORT __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define BRENN_EXPORT __attribute__((visibility("default")))
#else
#define BRENN_EXPORT
#endif
