#pragma once
// The conversions' whole view of the platform. The Windows program implements these
// with message boxes and the system cursors; the command-line front end prints to the
// terminal; the tests record every call.
#include "core/message.h"

typedef void* WindowHandle;  // the owner of a message box; null for no owner

// Tells the user of one problem: the window shows a message box, caption "Hibarion",
// error icon, OK only.
void showMessage(WindowHandle owner, const Message& message);

void showWaitCursor();
void showArrowCursor();

// A conversion finished writing `output` from `input`: `count` of `unit` ("bytes",
// "samples"). The window ignores it; the front end tells the user.
void reportFileWritten(const char* input, const char* output, unsigned long long count,
                       const char* unit);

// A conversion has done `done` of its `total` steps (bytes encoded, samples decoded);
// called for every byte, or every 65536 samples. The window ignores it; the front end may show how far it is.
void reportProgress(unsigned long long done, unsigned long long total);
