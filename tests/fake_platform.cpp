#include "tests/fake_platform.h"

#include "shell/window_messages.h"

RecordedPlatform recordedPlatform;

void clearRecordedPlatform() { recordedPlatform = RecordedPlatform(); }

void showMessage(WindowHandle owner, const Message& message)
{
    recordedPlatform.messages.push_back({owner, windowMessageText(message)});
}

void showWaitCursor() { recordedPlatform.cursors += 'W'; }
void showArrowCursor() { recordedPlatform.cursors += 'A'; }

void reportFileWritten(const char*, const char* output, unsigned long long, const char*)
{
    recordedPlatform.written.push_back(output);
}

void reportProgress(unsigned long long, unsigned long long) {}
