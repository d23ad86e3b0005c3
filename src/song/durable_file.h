// Writing a file so that a failure never destroys the previous version.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace varnel {

// Writes data to a temporary file beside path, flushes it to the disk and renames it over path.
// On failure path is untouched, the temporary file is removed, and the result is false.
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> data);

// Reads the file, at most its first maxBytes bytes; false when it cannot be opened or read.
bool ReadFileStart(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out);

}  // namespace varnel
