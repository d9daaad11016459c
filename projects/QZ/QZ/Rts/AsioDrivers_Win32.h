#pragma once
#include "iasiothiscallresolver/QZ_AsioDriver.h"

#include <windows.h>

#include <string>
#include <vector>

namespace qz::asio {

// The ASIO drivers installed on this machine, as the registry lists them, and
// the one of them that is loaded (at most one at a time).
class Drivers {
public:
    struct Entry {
        int32_t index;
        CLSID clsid;
        std::string name;
        Driver* driver; // null when not loaded
    };

    ~Drivers() { clear(); }

    // Reads HKLM\software\asio; a driver whose class is not registered, or
    // whose server file is missing, is left out.
    void build();
    // Unloads the driver, forgets the list and leaves the component library.
    void clear();

    // Loads the driver shown as `display`, unloading the current one; when
    // that fails, the one loaded before is loaded again.
    bool load(const char* display);
    void unload();
    Driver* loaded() const { return current >= 0 ? entries[current].driver : nullptr; }
    const Entry* loadedEntry() const { return current >= 0 ? &entries[current] : nullptr; }

    const std::vector<Entry>& list() const { return entries; }

    // Names of 32 characters or more are cut to 28 and "...".
    static std::string display(const std::string& name);

private:
    std::vector<Entry> entries;
    int32_t current = -1;
    bool com = false;

    bool create(int32_t index);
};

Drivers& drivers();

} // namespace qz::asio
