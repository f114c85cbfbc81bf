// hibarion: the conversions of one drop, for machines without the Windows window.
// Its arguments, after the options, are the names of one drop, handled in order exactly
// as the window handles a drop; the settings live in "Hibarion.ini" beside the executable.
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
#include "shell/host_resample.h"

namespace {

const char usageText[] =
    "usage: hibarion [--resample] [--] FILE...\n"
    "\n"
    "Converts each FILE in order, as if the files were dropped on the Hibarion window:\n"
    "  NAME.wav  a mono 8-bit recording, decoded into the tape image NAME.P6\n"
    "  NAME.p6   a tape image, encoded into the recording NAME_.wav and, when listings\n"
    "            are on, listed as BASIC in NAME.txt (Shift-JIS)\n"
    "\n"
    "  --resample  convert each recording in memory to 11025 samples a second, with a\n"
    "              low-pass against aliasing, before decoding it: noisy recordings made\n"
    "              at 22050, 44100 or 48000 decode far better. Recordings at 11025 are\n"
    "              decoded as they are; rates outside 4000 to 768000 are decoded as\n"
    "              recorded, after a message.\n"
    "  --          end of options: every later argument is a FILE\n"
    "\n"
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
    // Options come before the first name; an unknown one gets the usage text.
    bool resample = false, unknownOption = false;
    int first = 1;
    while (first < argc && argv[first][0] == '-') {
        const char* option = argv[first++];
        if (std::strcmp(option, "--") == 0) break;
        if (std::strcmp(option, "--resample") == 0)
            resample = true;
        else
            unknownOption = true;
    }
    if (unknownOption || first >= argc) {
        std::fputs(usageText, stderr);
        return 2;
    }

    findProgramDirectory();
    if (!loadSettings()) {
        setDefaultSettings();
        saveSettings();
    }

    int shownBeforeDrop = hostMessagesShown;
    for (int k = first; k < argc; ++k) {
        // The window's drop buffer holds DroppedNameSize bytes with the terminating
        // zero, so a longer name arrives cut; the same happens here.
        std::string name(argv[k]);
        if (name.size() >= DroppedNameSize) name.resize(DroppedNameSize - 1);
        if (resample)
            dispatchResampledName(name.c_str());
        else
            dispatchDroppedName(nullptr, name.c_str());
    }
    bool anyMessage = hostMessagesShown != shownBeforeDrop;

    releaseLoadedData();
    saveSettings();
    return anyMessage ? 1 : 0;
}
