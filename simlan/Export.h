// BRENN_SIMLAN_EXPORT: marks what the simulated LAN's own library
// (VelnarLanJoinSimLan) exports. The library is built on the plug-in's
// exported platform table, so the platform's names stay imports here.
#pragma once

#include "../platform/Export.h"

// The library's own sources define BRENN_BUILDING_SIMLAN and export; the
// engine's tests, which link the static copy (brenn_simlan), see
// BRENN_STATIC; everyone else (a host's tests) imports.
#if defined(_WIN32)
#if defined(BRENN_BUILDING_SIMLAN)
#define BRENN_SIMLAN_EXPORT __declspec(dllexport)
#elif defined(BRENN_STATIC)
#define BRENN_SIMLAN_EXPORT
#else
#define BRENN_SIMLAN_EXPORT __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define BRENN_SIMLAN_EXPORT __attribute__((visibility("default")))
#else
#define BRENN_SIMLAN_EXPORT
#endif
