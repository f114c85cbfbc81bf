// The platform seam for the fuzz targets: every call is counted, nothing is shown.
#include "core/platform.h"
#include "shell/window_messages.h"
#include "tests/fuzz/fuzz_support.h"

QuietPlatform quietPlatform;

void clearQuietPlatform() { quietPlatform = QuietPlatform(); }

void showMessage(WindowHandle, const Message& message)
{
    // Worded as the window words it, so that every message text is walked.
    windowMessageText(message);
    ++quietPlatform.messages;
}

void showWaitCursor() { ++quietPlatform.waitCursors; }
void showArrowCursor() { ++quietPlatform.arrowCursors; }

void reportFileWritten(const char*, const char*, unsigned long long count, const char*)
{
    ++quietPlatform.reports;
    quietPlatform.reportedCount = count;
}

void reportProgress(unsigned long long, unsigned long long) {}
