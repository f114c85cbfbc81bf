// hibarion: the conversions of one drop, for machines without the Windows window.
// Its arguments, besides the options, are the names of one drop, handled in order
// exactly as the window handles a drop.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cli/messages.h"
#include "cli/options.h"
#include "cli/platform.h"
#include "cli/progress.h"
#include "cli/recording_probe.h"
#include "cli/robust.h"
#include "cli/run_outputs.h"
#include "cli/settings_place.h"
#include "cli/tokenize.h"
#include "core/dispatch.h"
#include "core/loaded_data.h"
#include "core/output_file.h"
#include "core/platform.h"
#include "core/replace_file_posix.h"
#include "settings/settings.h"

namespace {

// On Linux fopen opens a folder, and a loader would report what it read there: a folder
// named like a recording or a tape image gets the message the Windows program gives.
bool isFolder(const char* name)
{
    struct stat status;
    return stat(name, &status) == 0 && S_ISDIR(status.st_mode);
}

// After the default path refused `name`: when --robust would read it, says so.
void pointToRobust(const char* name)
{
    if (onlyRobustReads(name)) reportProblem(name, "--robust reads this recording");
}

// Every problem is reported through the platform and counted there.
void convert(const char* name)
{
    if (commandLine.tokenize) {
        tokenizeFile(name, commandLine.nameOnTape ? commandLine.nameOnTape->c_str() : nullptr);
        return;
    }
    bool recording = commandLine.robust ? namesRobustRecording(name) : namesRecording(name);
    if (!recording && !namesTapeImage(name)) {
        // Also a name of under four bytes, which the window passes over in silence.
        reportProblem(name, "not a recording or a tape image (" +
                                (commandLine.robust ? robustEndingList() : std::string(".wav")) + ", .p6)");
        if (!commandLine.robust && namesRobustRecording(name)) pointToRobust(name);
        return;
    }
    if (isFolder(name)) {
        showMessage(nullptr, {MessageId::CannotOpen, name, 0, nullptr});
    } else if (recording && commandLine.robust) {
        decodeRobustly(name, commandLine.channel, commandLine.quiet);
    } else {
        int shownBefore = hostMessagesShown;
        dispatchDroppedName(nullptr, name);
        if (recording && hostMessagesShown != shownBefore) pointToRobust(name);
    }
}

// Standard output is buffered: a full disk or a closed pipe shows when it is flushed.
// False, with one line saying why, when anything written there was lost.
bool closeStandardOutput()
{
    bool failed = std::ferror(stdout) != 0;
    errno = 0;
    if (std::fclose(stdout) != 0) failed = true;
    if (failed)
        std::fprintf(stderr, "hibarion: write error on standard output%s%s\n", errno ? ": " : "",
                     errno ? std::strerror(errno) : "");
    return !failed;
}

// A wrong command line: what is wrong has been said on one line.
int refuseCommandLine()
{
    std::fputs("Try 'hibarion --help'.\n", stderr);
    return 2;
}

// A run stopped by the user or the system leaves no part of a file behind, then ends as
// the signal would have ended it.
void stopOnSignal(int signal)
{
    removeUnfinishedTemporary();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

int main(int argc, char** argv)
{
    openMessageCatalogue();
    if (!parseCommandLine(argc, argv)) return refuseCommandLine();
    if (commandLine.help) {
        printUsage(stdout);
        return closeStandardOutput() ? 0 : 1;
    }
    if (commandLine.version) {
        std::puts("hibarion " HIBARION_VERSION);
        return closeStandardOutput() ? 0 : 1;
    }
    if (commandLine.firstName >= argc) {
        std::fputs("hibarion: no FILE to convert\n", stderr);
        return refuseCommandLine();
    }

    if (isatty(STDERR_FILENO)) progress.terminal = stderr;
    findProgramDirectory();
    explainWriteFailures = true;
    // A signal that the run was started to ignore stays ignored.
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        if (std::signal(signal, stopOnSignal) == SIG_IGN) std::signal(signal, SIG_IGN);
    chooseSettingsFile(commandLine.settingsFile);
    if (!takeSettings(commandLine.settingsFile)) return 2;
    applyRunSettings();
    static RunOutputs outputs(commandLine.noClobber);
    outputGuard = &outputs;

    int shownBeforeDrop = hostMessagesShown;
    std::vector<std::string> names;
    for (int k = commandLine.firstName; k < argc; ++k) {
        // The window's drop buffer holds DroppedNameSize bytes with the terminating
        // zero, so a longer name arrives cut; the same happens here.
        names.push_back(argv[k]);
        if (names.back().size() >= DroppedNameSize) names.back().resize(DroppedNameSize - 1);
    }
    if (commandLine.merge) {
        mergeRobustly(names, commandLine.channel, commandLine.quiet);
    } else {
        for (const std::string& name : names) {
            startProgress(name.c_str(), secondsNow());
            convert(name.c_str());
            eraseProgress();
        }
    }
    bool anyMessage = hostMessagesShown != shownBeforeDrop;

    releaseLoadedData();
    return closeStandardOutput() && !anyMessage ? 0 : 1;
}
