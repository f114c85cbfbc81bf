#pragma once
// The conversions' whole view of the platform. The Windows program implements these
// with message boxes and the system cursors; the command-line front end prints to the
// terminal; the tests record every call.
#include <string>

typedef void* WindowHandle;  // the owner of a message box; null for no owner

// Shows one error message, caption "Hibarion", error icon, OK only. `text` is code page
// 932; when `name` is given it is a file name exactly as the user gave it, and it stands
// in place of the text's one "%s".
void showMessage(WindowHandle owner, const char* text, const char* name);

void showWaitCursor();
void showArrowCursor();

// A conversion finished writing `output` from `input`: `count` of `unit` ("bytes",
// "samples"). The window ignores it; the front end tells the user.
void reportFileWritten(const char* input, const char* output, unsigned long long count,
                       const char* unit);

// A conversion has done `done` of its `total` steps (bytes encoded, samples decoded);
// called for every byte, or every 65536 samples. The window ignores it; the front end may show how far it is.
void reportProgress(unsigned long long done, unsigned long long total);

// The text of a message as a message box shows it: `name` in place of the first "%s".
std::string composeMessage(const char* text, const char* name);
