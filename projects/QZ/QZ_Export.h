#pragma once
// Marks framework data and functions that the plug-in library exports.
#if defined(_WIN32)
#define QZ_EXPORT __declspec(dllexport)
#else
#define QZ_EXPORT __attribute__((visibility("default")))
#endif
