#include "Loader.h"

#include "Error.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace rampart {

std::unique_ptr<Library> Library::open(const std::string& path) {
    // dlerror's text for a missing file is a bare "cannot open shared object".
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        throw Error("cannot load plug-in " + path + ": " + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw Error("cannot load plug-in " + path + ": it is a directory");
    // A bare name would send dlopen through the library search path.
    std::string where = path.find('/') == std::string::npos ? "./" + path : path;
    void* h = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char* why = dlerror();
        throw Error("cannot load plug-in " + path + ": " + (why ? why : "dlopen failed"));
    }
    return std::unique_ptr<Library>(new Library(h, path));
}

Library::~Library() {
    dlclose(handle_);
}

void* Library::symbol(const char* name) const {
    return dlsym(handle_, name);
}

} // namespace rampart
