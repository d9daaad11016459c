#pragma once
// A shared library loaded the way hosts load plug-ins: dlopen natively,
// LoadLibraryA on Windows. Unloaded when the object goes.
#include <memory>
#include <string>

namespace rampart {

class Library {
public:
    // Throws Error with the system's reason when the file cannot be loaded.
    static std::unique_ptr<Library> open(const std::string& path);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // The exported symbol's address, or null.
    void* symbol(const char* name) const;
    const std::string& path() const { return path_; }

private:
    Library(void* handle, const std::string& path) : handle_(handle), path_(path) {}
    void* handle_;
    std::string path_;
};

} // namespace rampart
