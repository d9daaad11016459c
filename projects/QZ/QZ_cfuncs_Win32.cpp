#include "QZ_Error.h"
#include "QZ_cfuncs.h"

#include <windows.h>

const void* QZ_resource(const char* name) {
    if (!name) name = "";
    HMODULE module = static_cast<HMODULE>(hInstance);
    HRSRC found = FindResourceA(module, name, "DATA");
    if (!found) {
        QZ_error_func(qz::resource_source, qz::resource_line_find, "QZ_resource", __DATE__,
                      __TIME__, name);
        return nullptr;
    }
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) {
        QZ_error_func(qz::resource_source, qz::resource_line_load, "QZ_resource", __DATE__,
                      __TIME__, QZ_ERROR_RESOURCE_CANNOT_LOAD);
        return nullptr;
    }
    const void* data = LockResource(loaded);
    if (!data) {
        QZ_error_func(qz::resource_source, qz::resource_line_lock, "QZ_resource", __DATE__,
                      __TIME__, QZ_ERROR_RESOURCE_CANNOT_LOCK);
        return nullptr;
    }
    return data;
}
