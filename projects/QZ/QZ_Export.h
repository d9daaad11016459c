#pragma once
// Marks framework data and functions that the Windows plug-in library
// exports. The Linux library keeps them inside: a host may load many plug-ins
// into one process, and names one of them exports can bind calls in another.
#if defined(_WIN32)
#define QZ_EXPORT __declspec(dllexport)
#else
#define QZ_EXPORT
#endif

// Marks the plug-in's entry points, which every build exports.
#if defined(_WIN32)
#define QZ_ENTRY __declspec(dllexport)
#else
#define QZ_ENTRY __attribute__((visibility("default")))
#endif
