#include "Loader.h"

#include "Error.h"

#include <windows.h>

namespace rampart {

namespace {

std::string last_error_text() {
    DWORD code = GetLastError();
    char buf[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, buf, sizeof buf, nullptr);
    while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n' || buf[n - 1] == '.'))
        --n;
    std::string text(buf, n);
    if (text.empty()) text = "system error";
    return text + " (error " + std::to_string(code) + ")";
}

} // namespace

std::unique_ptr<Library> Library::open(const std::string& path) {
    DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES)
        throw Error("cannot load plug-in " + path + ": no such file");
    if (attrs & FILE_ATTRIBUTE_DIRECTORY)
        throw Error("cannot load plug-in " + path + ": it is a directory");
    // A full path: LoadLibrary would otherwise search the system folders first.
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    std::string where = n > 0 && n < MAX_PATH ? std::string(full, n) : path;
    // No system dialog for a file that is no DLL: the error comes back to us.
    UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE h = LoadLibraryA(where.c_str());
    std::string why = h ? "" : last_error_text();
    SetErrorMode(old_mode);
    if (!h) throw Error("cannot load plug-in " + path + ": " + why);
    return std::unique_ptr<Library>(new Library(reinterpret_cast<void*>(h), path));
}

Library::~Library() {
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
}

void* Library::symbol(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
}

} // namespace rampart
