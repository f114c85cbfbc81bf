#pragma once
// Files and random tape images for the tools and the benchmarks.
#include <cstdint>
#include <string>
#include <vector>

// `size` random bytes; the same seed gives the same image on every machine.
std::vector<uint8_t> randomImage(size_t size, unsigned seed);

bool writeFile(const std::string& path, const uint8_t* bytes, size_t size);
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
// A generated document into the file `argv[1]`, or to standard output when `argc` is not
// 2; 0, or 1 after a message naming `tool`, as the tool's exit status.
int writeDocument(const char* tool, int argc, char** argv, const std::string& document);
// The whole file, or nothing when it cannot be read.
std::vector<uint8_t> readFile(const std::string& path);
long long fileSize(const std::string& path);

// A new folder of its own under $TMPDIR (or /tmp), named after `stem`, with its
// trailing '/'; empty, after a message, when it cannot be made.
std::string makeTemporaryFolder(const char* stem);
