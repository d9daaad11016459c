#pragma once
// What the artwork tool writes: encoded images, the Windows resource script,
// and the table the native build links instead of module resources.
#include "Image.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qz::art {

struct Encoded {
    std::string name; // resource name, upper case
    std::string file; // NAME.qzif or NAME.qzvf
    std::vector<uint8_t> bytes;
};

Encoded encode(const Image& image);

// Writes only when the file is missing or differs, so that an unchanged
// output keeps its time stamp and nothing downstream rebuilds. Returns
// whether it wrote. Throws std::runtime_error on failure.
bool write_if_changed(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
bool write_if_changed(const std::filesystem::path& path, const std::string& text);

// "name DATA "<dir>/NAME.qzif"" lines, absolute paths with forward slashes;
// the names land upper-case in the module.
std::string resource_script(const std::vector<Encoded>& images, const std::filesystem::path& dir);

// C++ source defining qz::resource_blocks (in name order) and its count.
std::string resource_table(std::vector<Encoded> images);

} // namespace qz::art
