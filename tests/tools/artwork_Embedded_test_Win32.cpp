// On Windows the images are "DATA" resources of the plug-in DLL.
#include "artwork_Images_test.h"

#include <windows.h>

#include <cstdlib>

namespace qz::art::test {

std::optional<std::vector<uint8_t>> embedded(const std::string& name) {
    const char* dir = std::getenv("VR_BUILD_DIR");
    const std::string dll = std::string(dir && *dir ? dir : ".") + "/VelvetRampart.dll";
    HMODULE module = LoadLibraryExA(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return std::nullopt;
    std::optional<std::vector<uint8_t>> out;
    if (HRSRC found = FindResourceA(module, name.c_str(), "DATA")) {
        const DWORD size = SizeofResource(module, found);
        HGLOBAL loaded = LoadResource(module, found);
        const auto* data = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
        if (data) out.emplace(data, data + size);
    }
    FreeLibrary(module);
    return out;
}

} // namespace qz::art::test
