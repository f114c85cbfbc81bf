#pragma once
// Tape images that the command line makes itself (--robust, --tokenize).
#include <cstdint>
#include <string>
#include <vector>

// Writes the whole image; false when any part of it could not be written.
bool writeImageFile(const std::string& path, const std::vector<uint8_t>& bytes);
