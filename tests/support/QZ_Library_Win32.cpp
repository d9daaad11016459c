#include "QZ_Library.h"

#include <cstdlib>

#include <windows.h>

namespace qz::test {

Library::Library(const std::string& path) : handle_(LoadLibraryA(path.c_str())) {}

Library::~Library() {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* Library::instance() const {
    return handle_;
}

void* Library::symbol(const char* name) const {
    return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name))
                   : nullptr;
}

std::string plugin_library_path() {
    const char* dir = std::getenv("VR_BUILD_DIR");
    return std::string(dir ? dir : ".") + "/VelvetRampart.dll";
}

} // namespace qz::test
