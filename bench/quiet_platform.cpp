// The platform for the benchmark: messages go to standard error, the rest is silent.
#include <cstdio>

#include "core/platform.h"

void showMessage(WindowHandle, const char* text, const char* name)
{
    std::fprintf(stderr, "message: %s\n", composeMessage(text, name).c_str());
}
void showWaitCursor() {}
void showArrowCursor() {}
void reportFileWritten(const char*, const char*, unsigned long long, const char*) {}
void reportProgress(unsigned long long, unsigned long long) {}
