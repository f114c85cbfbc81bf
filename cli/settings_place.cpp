#include "cli/settings_place.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/platform.h"
#include "settings/settings.h"

namespace {

std::string chosenPath;

// The user's configuration folder by the XDG rules: a relative XDG_CONFIG_HOME is
// ignored. Empty when not even a home folder is known.
std::string configurationFolder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return config;
    const char* home = std::getenv("HOME");
    if (!home || home[0] == '\0') {
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return home && home[0] != '\0' ? std::string(home) + "/.config" : std::string();
}

// Makes `folder` and any missing folder above it, private to the user as the XDG rules
// ask. A failure shows up when the settings file is written.
void makeFolders(const std::string& folder)
{
    for (std::string::size_type at = 1; at != std::string::npos; ++at) {
        at = folder.find('/', at);
        mkdir(folder.substr(0, at).c_str(), 0700);
        if (at == std::string::npos) break;
    }
}

}  // namespace

void findProgramDirectory()
{
    char path[PATH_MAX];
    char* real = realpath("/proc/self/exe", path);
    const char* slash = real ? std::strrchr(real, '/') : nullptr;
    size_t length = slash ? static_cast<size_t>(slash - real) + 1 : 0;
    if (length == 0 || length >= sizeof ProgramDirectory) {
        ProgramDirectory[0] = '\0';
        showMessage(nullptr, {MessageId::NoProgramFolder, nullptr, 0, nullptr});
        return;
    }
    std::memcpy(ProgramDirectory, real, length);
    ProgramDirectory[length] = '\0';
}

void chooseSettingsFile(const std::string& named)
{
    if (!named.empty()) {
        chosenPath = named;
        settingsFilePath = chosenPath.c_str();
        return;
    }
    std::string folder = ProgramDirectory[0] != '\0' ? ProgramDirectory : "./";
    bool installed = folder.size() >= 5 && folder.compare(folder.size() - 5, 5, "/bin/") == 0;
    if (access((folder + "Hibarion.ini").c_str(), F_OK) == 0 ||
        (!installed && access(folder.c_str(), W_OK) == 0))
        return;
    std::string config = configurationFolder();
    if (config.empty()) return;
    makeFolders(config + "/hibarion");
    chosenPath = config + "/hibarion/Hibarion.ini";
    settingsFilePath = chosenPath.c_str();
}

bool takeSettings(const std::string& named)
{
    struct stat status;
    if (!named.empty() && stat(named.c_str(), &status) == 0) {
        if (loadSettings(false)) return true;
        std::fprintf(stderr,
                     "hibarion: --settings '%s' is not a Hibarion settings file; it is left as it is\n",
                     named.c_str());
        return false;
    }
    if (!loadSettings()) {
        setDefaultSettings();
        saveSettings();
    }
    return true;
}
