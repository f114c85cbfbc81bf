#include "tests/fuzz/fuzz_support.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

void fuzzCheckFailed(const char* file, int line, const char* condition)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

namespace {

std::vector<std::string> scratchFiles;

void removeScratchFolder()
{
    for (const std::string& path : scratchFiles) std::remove(path.c_str());
    rmdir(scratchFolder().c_str());
}

}  // namespace

const std::string& scratchFolder()
{
    static std::string folder;
    if (folder.empty()) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base && *base ? base : "/tmp") + "/hibarion-fuzz-XXXXXX";
        if (!mkdtemp(&pattern[0])) {
            std::perror("mkdtemp");
            std::abort();
        }
        folder = pattern + "/";
        std::atexit(removeScratchFolder);
    }
    return folder;
}

std::string scratchPath(const char* leaf)
{
    std::string path = scratchFolder() + leaf;
    for (const std::string& known : scratchFiles)
        if (known == path) return path;
    scratchFiles.push_back(path);
    return path;
}

void writeWholeFile(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::perror(path.c_str());
        std::abort();
    }
    bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) {
        std::perror(path.c_str());
        std::abort();
    }
}

bool readWholeFile(const std::string& path, Bytes& bytes)
{
    bytes.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);
    return true;
}

bool fileExists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

double chooseReal(uint8_t selector, double defaultValue)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double cases[] = {
        defaultValue, 0.0, -0.0, nan, -nan, inf, -inf, DBL_MAX, -DBL_MAX, DBL_MIN,
        std::numeric_limits<double>::denorm_min(), -1.0, -16.0, 1e-300, 1e300, -1e300,
        1.0, 16.0, 2.0, 1.32, 0.5, 0.1, 0.001, 1e-9,
        std::nextafter(1.0, 2.0), std::nextafter(1.0, 0.0), std::nextafter(16.0, 0.0),
        120 / 127.5, std::nextafter(120 / 127.5, 0.0),  // where a wave starts to clip
        1e6, 1e9, 1e12, 4294967296.0, 3.7, 100.0,
    };
    const unsigned count = sizeof cases / sizeof cases[0];
    if (selector < count) return cases[selector];
    return (selector - count + 1) / 8.0;
}

uint32_t uint32At(const uint8_t* bytes)
{
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}
