// hibarion: the conversions of one drop, for machines without the Windows window.
// Its arguments are the names of one drop, handled in order exactly as the window
// handles a drop; the settings live in "Hibarion.ini" beside the executable.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "core/dispatch.h"
#include "core/loaded_data.h"
#include "core/platform.h"
#include "settings/settings.h"
#include "shell/host_platform.h"

namespace {

const char usageText[] =
    "usage: hibarion FILE...\n"
    "\n"
    "Converts each FILE in order, as if the files were dropped on the Hibarion window:\n"
    "  NAME.wav  a mono 8-bit recording, decoded into the tape image NAME.P6\n"
    "  NAME.p6   a tape image, encoded into the recording NAME_.wav and, when listings\n"
    "            are on, listed as BASIC in NAME.txt (Shift-JIS)\n"
    "Settings are read from Hibarion.ini beside this program and written back at exit.\n"
    "Exit status: 0 when no file gave a message, 1 when any did, 2 for this text.\n";

// The directory of the executable itself, with its trailing separator; empty, after
// the same message as the window gives, when it cannot be found.
void findProgramDirectory()
{
    char path[PATH_MAX];
    char* real = realpath("/proc/self/exe", path);
    const char* slash = real ? std::strrchr(real, '/') : nullptr;
    size_t length = slash ? static_cast<size_t>(slash - real) + 1 : 0;
    if (length == 0 || length >= sizeof ProgramDirectory) {
        ProgramDirectory[0] = '\0';
        showMessage(nullptr,
                    "ファイルのパス情報がありません。\n続行できますが、作者に状況を報告してください。",
                    nullptr);
        return;
    }
    std::memcpy(ProgramDirectory, real, length);
    ProgramDirectory[length] = '\0';
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs(usageText, stderr);
        return 2;
    }

    findProgramDirectory();
    if (!loadSettings()) {
        setDefaultSettings();
        saveSettings();
    }

    int shownBeforeDrop = hostMessagesShown;
    for (int k = 1; k < argc; ++k) {
        // The window's drop buffer holds DroppedNameSize bytes with the terminating
        // zero, so a longer name arrives cut; the same happens here.
        std::string name(argv[k]);
        if (name.size() >= DroppedNameSize) name.resize(DroppedNameSize - 1);
        dispatchDroppedName(nullptr, name.c_str());
    }
    bool anyMessage = hostMessagesShown != shownBeforeDrop;

    releaseLoadedData();
    saveSettings();
    return anyMessage ? 1 : 0;
}
