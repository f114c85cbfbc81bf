// The platform seam for the fuzz targets: every call is counted, nothing is shown.
#include "core/platform.h"
#include "tests/fuzz/fuzz_support.h"

QuietPlatform quietPlatform;

void clearQuietPlatform() { quietPlatform = QuietPlatform(); }

void showMessage(WindowHandle, const char* text, const char* name)
{
    // Composed as a real platform would, so that every message text is walked.
    composeMessage(text, name);
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
