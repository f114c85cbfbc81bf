#pragma once
// Tape images that the command line makes itself (--robust, --tokenize).
#include <cstdint>
#include <string>
#include <vector>

// Writes the whole image, or leaves any file of that name as it was. Returns why it could
// not be written; empty when it was.
std::string writeImageFile(const std::string& path, const std::vector<uint8_t>& bytes);
