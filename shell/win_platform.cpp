// The conversions' platform on Windows: message boxes and the system cursors.
#include <windows.h>

#include "core/platform.h"
#include "shell/win_shell.h"
#include "shell/window_messages.h"

void showWindowMessage(HWND owner, const char* text)
{
    MessageBoxA(owner, text, "Hibarion", MB_ICONERROR);
}

void showMessage(WindowHandle owner, const Message& message)
{
    showWindowMessage(static_cast<HWND>(owner), windowMessageText(message).c_str());
}

void showWaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }

void showArrowCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }

// The window shows the written files themselves, and the wait cursor while it works.
void reportFileWritten(const char*, const char*, unsigned long long, const char*) {}
void reportProgress(unsigned long long, unsigned long long) {}
