#include "tests/test_files.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>

std::string makeScratchFolder()
{
    std::string folder = makeTemporaryFolder("hibarion-test");
    if (folder.empty()) throw std::runtime_error("no scratch folder");
    return folder;
}

void writeFileBytes(const std::string& path, const Bytes& bytes)
{
    if (!writeFile(path, bytes)) throw std::runtime_error("cannot write " + path);
}

Bytes readFileBytes(const std::string& path) { return readFile(path); }

bool fileExists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* directory = opendir(folder.c_str());
    if (!directory) return names;
    while (const dirent* entry = readdir(directory)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

// The soft limit only, which the process may raise again up to the hard one.
FileSizeLimit::FileSizeLimit(unsigned long bytes)
{
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    saved_ = limit.rlim_cur;
    limit.rlim_cur = bytes;
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) throw std::runtime_error("setrlimit failed");
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = saved_;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, savedHandler_);
}

std::string hexOf(const std::string& text)
{
    std::string hex;
    char part[4];
    for (unsigned char c : text) {
        std::snprintf(part, sizeof part, "%02X", c);
        if (!hex.empty()) hex += ' ';
        hex += part;
    }
    return hex;
}

#include <cstring>

#include "core/loaded_data.h"
#include "settings/settings.h"
#include "tests/fake_platform.h"

void holdInSlot(const Bytes& bytes, uint32_t sampleRate)
{
    releaseLoadedData();
    loadedDataSlot.data = static_cast<uint8_t*>(std::malloc(bytes.size() + 1));
    if (!bytes.empty()) std::memcpy(loadedDataSlot.data, bytes.data(), bytes.size());
    loadedDataSlot.held = 1;
    loadedDataSlot.count = static_cast<uint32_t>(bytes.size());
    loadedDataSlot.format = {1, 1, sampleRate, sampleRate, 1, 8, 0};
}

void resetProgramState()
{
    releaseLoadedData();
    loadedDataSlot = LoadedDataSlot();
    conversionSettings = DefaultConversionSettings;
    clearRecordedPlatform();
}
