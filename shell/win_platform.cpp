// The conversions' platform on Windows: message boxes and the system cursors.
#include <windows.h>

#include "core/platform.h"

void showMessage(WindowHandle owner, const char* text, const char* name)
{
    MessageBoxA(static_cast<HWND>(owner), composeMessage(text, name).c_str(), "Hibarion",
                MB_ICONERROR);
}

void showWaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }

void showArrowCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }

// The window shows the written files themselves, and the wait cursor while it works.
void reportFileWritten(const char*, const char*, unsigned long long, const char*) {}
void reportProgress(unsigned long long, unsigned long long) {}
