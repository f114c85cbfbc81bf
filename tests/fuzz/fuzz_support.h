#pragma once
// What the fuzz targets share: a platform that counts instead of showing, a scratch
// folder for the files the conversions read and write, checks that end a run as a
// crash, and the choice of a setting from one input byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

struct QuietPlatform {
    int messages;
    int waitCursors;
    int arrowCursors;
    int reports;                        // reportFileWritten calls
    unsigned long long reportedCount;   // the count of the last one
};

extern QuietPlatform quietPlatform;

void clearQuietPlatform();

// A property that must hold whatever the input: a failure is reported like a crash, so
// that libFuzzer keeps the input.
#define FUZZ_CHECK(condition) \
    ((condition) ? (void)0 : fuzzCheckFailed(__FILE__, __LINE__, #condition))
[[noreturn]] void fuzzCheckFailed(const char* file, int line, const char* condition);

// This process's own empty folder under $TMPDIR (or /tmp), with a trailing '/'; made at
// the first call and removed with its files at exit.
const std::string& scratchFolder();
// A file of the scratch folder, remembered for removal at exit.
std::string scratchPath(const char* leaf);
void writeWholeFile(const std::string& path, const uint8_t* data, size_t size);
// False when the file cannot be opened.
bool readWholeFile(const std::string& path, Bytes& bytes);
bool fileExists(const std::string& path);

// A setting chosen by one input byte: 0 gives `defaultValue`, the next values the cases
// that break arithmetic (zeros, NaN, infinities, the extremes of a double, values a hair
// off the usual ones), the rest a spread of plain values from 0.125 up.
double chooseReal(uint8_t selector, double defaultValue);

// Reads a little-endian unsigned 32-bit value.
uint32_t uint32At(const uint8_t* bytes);
