#include "QZ_Library.h"

#include "QZ_Process.h"

#include <dlfcn.h>

namespace qz::test {

Library::Library(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

Library::~Library() {
    if (handle_) dlclose(handle_);
}

void* Library::symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

std::string plugin_library_path() { return build_path("VelvetRampart.so"); }

} // namespace qz::test
