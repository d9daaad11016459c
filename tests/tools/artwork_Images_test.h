#pragma once
// Shared by the artwork tests: the generated files, and what the build embeds.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qz::art::test {

// A file of the build's resources/ directory, whole.
std::vector<uint8_t> generated(const std::string& file);

// The bytes this build embeds under the resource name: the DLL's "DATA"
// resource on Windows, the linked table natively. Nothing if it is missing.
std::optional<std::vector<uint8_t>> embedded(const std::string& name);

} // namespace qz::art::test
