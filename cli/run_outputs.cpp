#include "cli/run_outputs.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

std::string canonicalName(const std::string& path)
{
    std::string::size_type slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0                 ? "/"
                                                      : path.substr(0, slash);
    char resolved[PATH_MAX];
    if (!realpath(folder.c_str(), resolved)) return path;
    std::string name = resolved;
    if (name.back() != '/') name += '/';
    return name + path.substr(slash == std::string::npos ? 0 : slash + 1);
}

std::string RunOutputs::refusal(const std::string& target) const
{
    if (written_.count(canonicalName(target))) return "an earlier file of this run wrote it";
    struct stat status;
    if (keepExisting_ && lstat(target.c_str(), &status) == 0)
        return "it exists, and --no-clobber keeps it";
    return std::string();
}

void RunOutputs::written(const std::string& target) { written_.insert(canonicalName(target)); }
