// Messages go to standard error, one line each, in the words of the message catalogue;
// file names are printed as the user gave them.
#include <cstdio>
#include <string>

#include "cli/messages.h"
#include "cli/platform.h"
#include "cli/progress.h"
#include "core/platform.h"

int hostMessagesShown;

void reportProblem(const char* file, const std::string& text)
{
    eraseProgress();
    if (file)
        std::fprintf(stderr, "hibarion: %s: %s\n", file, text.c_str());
    else
        std::fprintf(stderr, "hibarion: %s\n", text.c_str());
    ++hostMessagesShown;
}

void showMessage(WindowHandle, const Message& message)
{
    reportProblem(message.file, commandLineMessageText(message).c_str());
}

void showWaitCursor() {}
void showArrowCursor() {}

void reportFileWritten(const char* input, const char* output, unsigned long long count,
                       const char* unit)
{
    eraseProgress();
    std::printf("%s -> %s (%llu %s)\n", input, output, count, unit);
}

void reportProgress(unsigned long long done, unsigned long long total)
{
    updateProgress(done, total, secondsNow());
}
