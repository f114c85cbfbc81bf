#include "bench/child_process.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

long runTask(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    static char self[] = "/proc/self/exe";
    argv.push_back(self);
    std::vector<std::string> copies(arguments);
    for (std::string& argument : copies) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    std::fflush(stdout);
    pid_t child;
    if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status;
    struct rusage usage;
    if (wait4(child, &status, 0, &usage) != child) return -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

long peakResidentKiB()
{
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::strtol(line + 6, nullptr, 10);
    std::fclose(status);
    return kib;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
