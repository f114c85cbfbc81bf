// Replacing files on POSIX systems: a temporary beside the target, fsync, rename.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/platform.h"
#include "core/replace_file_posix.h"

namespace {

// Enough tries to step past the leftovers of earlier runs that had this process's id.
const int temporaryNameTries = 100;

unsigned temporariesMade;  // of this process, so that each name is new

// The name of the last temporary created, for a signal handler: a fixed buffer, as it
// may be read at any moment. Names too long for it are not kept.
char lastTemporary[4096];

}  // namespace

// rename() replaces a file whatever its permissions, so those are asked first.
std::string replaceRefusal(const std::string& target)
{
    struct stat status;
    if (stat(target.c_str(), &status) != 0) return std::string();
    if (S_ISDIR(status.st_mode)) return std::strerror(EISDIR);
    if (access(target.c_str(), W_OK) != 0) return std::strerror(errno);
    return std::string();
}

FILE* openReplacement(const std::string& target, std::string& temporary)
{
    struct stat status;
    bool exists = stat(target.c_str(), &status) == 0;
    if (exists && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode))
        return std::fopen(target.c_str(), "wb");

    std::string::size_type slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    // A file that is replaced keeps its permissions; a new one gets those that fopen
    // would give it.
    for (int k = 0; k < temporaryNameTries; ++k) {
        std::string name = folder + ".hibarion-" + std::to_string(getpid()) + "-" +
                           std::to_string(temporariesMade++) + ".tmp";
        int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        FILE* file = nullptr;
        if (!exists || fchmod(descriptor, status.st_mode & 0777) == 0)
            file = fdopen(descriptor, "wb");
        if (!file) {
            int error = errno;
            close(descriptor);
            unlink(name.c_str());
            errno = error;
            return nullptr;
        }
        temporary = name;
        if (name.size() < sizeof lastTemporary)
            std::memcpy(lastTemporary, name.c_str(), name.size() + 1);
        return file;
    }
    errno = EEXIST;
    return nullptr;
}

// A pipe or a terminal has nothing to wait for: fsync answers EINVAL.
bool flushToDevice(FILE* file)
{
    return std::fflush(file) == 0 && (fsync(fileno(file)) == 0 || errno == EINVAL);
}

bool replaceFile(const std::string& temporary, const std::string& target)
{
    return std::rename(temporary.c_str(), target.c_str()) == 0;
}

void removeUnfinishedTemporary()
{
    if (lastTemporary[0] != '\0') unlink(lastTemporary);
}
