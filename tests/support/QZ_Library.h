#pragma once
#include <string>

namespace qz::test {

// A shared library loaded at run time, unloaded with the object.
class Library {
public:
    explicit Library(const std::string& path);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    bool loaded() const { return handle_ != nullptr; }
    void* symbol(const char* name) const;
    // What the library's load routine stores as its module instance: the
    // module handle on Windows; nothing where libraries have no such handle.
    void* instance() const;

private:
    void* handle_;
};

// The plug-in library of this build.
std::string plugin_library_path();

// The editor's images come from the plug-in's resources: the DLL's under
// wine, whose module becomes the framework's instance, and the table linked
// in natively. The library stays loaded for the program's life.
void use_plugin_resources();

} // namespace qz::test
