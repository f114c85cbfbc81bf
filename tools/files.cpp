#include "tools/files.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

std::vector<uint8_t> randomImage(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> image(size);
    for (uint8_t& b : image) b = static_cast<uint8_t>(random());
    return image;
}

bool writeFile(const std::string& path, const uint8_t* bytes, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    // An empty vector's data may be null, which fwrite must never be given.
    bool written = size == 0 || std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    return writeFile(path, bytes.data(), bytes.size());
}

int writeDocument(const char* tool, int argc, char** argv, const std::string& document)
{
    FILE* output = argc == 2 ? std::fopen(argv[1], "wb") : stdout;
    if (!output) {
        std::fprintf(stderr, "%s: cannot write %s\n", tool, argv[1]);
        return 1;
    }
    bool written = std::fwrite(document.data(), 1, document.size(), output) == document.size();
    if (output != stdout) written = std::fclose(output) == 0 && written;
    if (!written) {
        std::fprintf(stderr, "%s: writing the table failed\n", tool);
        return 1;
    }
    return 0;
}

std::vector<uint8_t> readFile(const std::string& path)
{
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0)
        bytes.insert(bytes.end(), block, block + got);
    std::fclose(file);
    return bytes;
}

long long fileSize(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

std::string makeTemporaryFolder(const char* stem)
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + stem + "-XXXXXX";
    if (!mkdtemp(&pattern[0])) {
        std::perror("mkdtemp");
        return "";
    }
    return pattern + "/";
}
