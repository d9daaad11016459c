#include "AsioDrivers_Win32.h"

#include "QZ_Platform_Win32.h"

#include <objbase.h>

namespace {

// ole32 (and combase and rpcrt4 behind it) is loaded when drivers are first
// listed, not with the framework's module: the plug-in, which takes the
// framework whole, lists none.
struct Ole32 {
    decltype(&::CLSIDFromString) clsidFromString;
    decltype(&::CoInitialize) initialize;
    decltype(&::CoUninitialize) uninitialize;
    decltype(&::CoCreateInstance) createInstance;
};

// Null where ole32 or one of these functions cannot be had.
const Ole32* ole32() {
    static Ole32 calls{};
    static const bool loaded = [] {
        const HMODULE m = LoadLibraryA("ole32.dll");
        using qz::win32::resolve;
        return resolve(m, "CLSIDFromString", calls.clsidFromString) &&
               resolve(m, "CoInitialize", calls.initialize) &&
               resolve(m, "CoUninitialize", calls.uninitialize) &&
               resolve(m, "CoCreateInstance", calls.createInstance);
    }();
    return loaded ? &calls : nullptr;
}

// A text value of an open key; false when it is missing or not text.
bool text_value(HKEY key, const char* name, std::string& out) {
    char buf[1024];
    DWORD type = 0, size = sizeof buf - 1;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buf[size] = 0;
    out = buf;
    if (type == REG_EXPAND_SZ) {
        char expanded[MAX_PATH * 2];
        DWORD n = ExpandEnvironmentStringsA(buf, expanded, sizeof expanded);
        if (n == 0 || n > sizeof expanded) return false;
        out = expanded;
    }
    return true;
}

// Whether the class is registered with an in-process server file that exists.
bool registered(const std::string& clsid) {
    HKEY key;
    const std::string path = "clsid\\" + clsid + "\\InprocServer32";
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    std::string file;
    const bool named = text_value(key, nullptr, file);
    RegCloseKey(key);
    if (!named) return false;
    const DWORD a = GetFileAttributesA(file.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

namespace qz::asio {

Drivers& drivers() {
    static Drivers list;
    return list;
}

std::string Drivers::display(const std::string& name) {
    return name.size() < 32 ? name : name.substr(0, 28) + "...";
}

void Drivers::build() {
    clear();
    const Ole32* com32 = ole32();
    if (!com32) return; // no driver can be made without it
    HKEY root;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\asio", 0, KEY_READ, &root) != ERROR_SUCCESS)
        return;
    char sub[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof sub;
        const LONG r = RegEnumKeyExA(root, i, sub, &size, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS) continue;
        HKEY key;
        if (RegOpenKeyExA(root, sub, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        std::string clsid, name;
        const bool hasClass = text_value(key, "clsid", clsid);
        if (!text_value(key, "description", name)) name = sub;
        RegCloseKey(key);
        if (!hasClass || !registered(clsid)) continue;
        wchar_t wide[64];
        CLSID id;
        if (!MultiByteToWideChar(CP_ACP, 0, clsid.c_str(), -1, wide, 64) ||
            com32->clsidFromString(wide, &id) != NOERROR)
            continue;
        entries.push_back({int32_t(entries.size()), id, name, nullptr});
    }
    RegCloseKey(root);
    if (!entries.empty()) {
        const HRESULT h = com32->initialize(nullptr);
        com = h == S_OK || h == S_FALSE;
    }
}

void Drivers::clear() {
    unload();
    entries.clear();
    if (com) ole32()->uninitialize(); // com: ole32 was there
    com = false;
}

void Drivers::unload() {
    if (current < 0) return;
    if (entries[current].driver) entries[current].driver->Release();
    entries[current].driver = nullptr;
    current = -1;
}

bool Drivers::create(int32_t index) {
    Entry& e = entries[index];
    void* object = nullptr;
    const Ole32* com32 = ole32();
    // The class id serves as the interface id too.
    if (!com32 ||
        FAILED(com32->createInstance(e.clsid, nullptr, CLSCTX_INPROC_SERVER, e.clsid, &object)) ||
        !object)
        return false;
    e.driver = static_cast<Driver*>(object);
    current = index;
    return true;
}

bool Drivers::load(const char* name) {
    int32_t found = -1;
    for (const Entry& e : entries)
        if (display(e.name) == name) {
            found = e.index;
            break;
        }
    if (found < 0) return false;
    const int32_t before = current;
    unload();
    if (create(found)) return true;
    if (before >= 0) create(before);
    return false;
}

} // namespace qz::asio
