// The platform for the benchmark: messages go to standard error, the rest is silent.
#include <cstdio>

#include "core/platform.h"

void showMessage(WindowHandle, const Message& message)
{
    std::fprintf(stderr, "message %d about %s\n", static_cast<int>(message.id),
                 message.file ? message.file : "no file");
}
void showWaitCursor() {}
void showArrowCursor() {}
void reportFileWritten(const char*, const char*, unsigned long long, const char*) {}
void reportProgress(unsigned long long, unsigned long long) {}
