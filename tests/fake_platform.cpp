#include "tests/fake_platform.h"

RecordedPlatform recordedPlatform;

void clearRecordedPlatform() { recordedPlatform = RecordedPlatform(); }

void showMessage(WindowHandle owner, const char* text, const char* name)
{
    recordedPlatform.messages.push_back({owner, composeMessage(text, name)});
}

void showWaitCursor() { recordedPlatform.cursors += 'W'; }
void showArrowCursor() { recordedPlatform.cursors += 'A'; }

void reportFileWritten(const char*, const char* output, unsigned long long, const char*)
{
    recordedPlatform.written.push_back(output);
}

void reportProgress(unsigned long long, unsigned long long) {}
