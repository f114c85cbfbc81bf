#pragma once
// Scratch files for tests: each test gets its own fresh folder under the system's
// temporary directory. The random images and file helpers are the tools' own.
#include <cstdint>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tools/files.h"

typedef std::vector<uint8_t> Bytes;

// A new empty folder, with a trailing '/'.
std::string makeScratchFolder();
// Throws when the file cannot be written whole.
void writeFileBytes(const std::string& path, const Bytes& bytes);
// The whole file, or nothing when it cannot be read.
Bytes readFileBytes(const std::string& path);
bool fileExists(const std::string& path);
Bytes bytesOf(const std::string& text);
// The names in `folder`, sorted, "." and ".." left out: what a failed write leaves behind.
std::vector<std::string> namesIn(const std::string& folder);

// While it lives, a write to a regular file past its first `bytes` bytes fails with
// EFBIG, as writes to a full disk fail.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long saved_;
    void (*savedHandler_)(int);
};
std::string hexOf(const std::string& text);  // "8140 8C8E ..." style, for failures

// Puts `bytes` into the loaded-data slot as if a file of that content had been loaded,
// with a mono 8-bit format at `sampleRate`.
void holdInSlot(const Bytes& bytes, uint32_t sampleRate);
// Back to the state of program start for the slot, the settings and the recorded platform.
void resetProgramState();

// A test that starts and ends with the program state of start-up and has a fresh
// scratch folder of its own.
class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetProgramState();
        folder = makeScratchFolder();
    }
    void TearDown() override { resetProgramState(); }

    std::string folder;
};
