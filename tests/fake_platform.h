#pragma once
// The platform as the tests see it: every message, cursor change and written file is
// recorded so that a test can read it back.
#include <string>
#include <vector>

#include "core/platform.h"

struct RecordedMessage {
    WindowHandle owner;
    std::string text;  // as the message box would show it, code page 932
};

struct RecordedPlatform {
    std::vector<RecordedMessage> messages;
    std::string cursors;  // 'W' for each wait cursor, 'A' for each arrow, in order
    std::vector<std::string> written;  // output names reported written
};

extern RecordedPlatform recordedPlatform;

void clearRecordedPlatform();
