#include "QZ_Library.h"

#include <cstdlib>

#include <dlfcn.h>

namespace qz::test {

Library::Library(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

Library::~Library() {
    if (handle_) dlclose(handle_);
}

void* Library::instance() const {
    return nullptr;
}

void* Library::symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

std::string plugin_library_path() {
    const char* dir = std::getenv("VR_BUILD_DIR");
    return std::string(dir ? dir : ".") + "/VelvetRampart.so";
}

} // namespace qz::test
