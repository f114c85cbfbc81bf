#pragma once
// The conversions' whole view of the platform. The Windows program implements these
// with message boxes and the system cursors; the command-line front end prints to the
// terminal; the tests record every call.
#include <cstdio>
#include <string>

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

// ---- Replacing files ------------------------------------------------------------
// Every file is written under a name of its own in its target's folder and takes the
// target's place in one step once it is complete (see core/output_file.h). Windows has
// these in win_platform.cpp; other systems share core/replace_file_posix.cpp. Each
// failure leaves errno set.

// Why `target` may not be replaced, in the words of strerror: it is a folder, or a file
// that this user may not write, which opening it for writing would refuse too. Empty
// when it may be replaced, or does not exist.
std::string replaceRefusal(const std::string& target);

// Opens ("wb") the file that is to replace `target`: a new empty file, under a name that
// no other file has, in the folder of `target`, its name in `temporary`. A target that
// is neither a file nor a folder (a pipe, a device) cannot be replaced whole and is
// opened itself, `temporary` left empty. Null when nothing can be opened.
FILE* openReplacement(const std::string& target, std::string& temporary);

// Hands the stream's buffer to the system and waits until the device holds the file,
// where the file is one that a device holds.
bool flushToDevice(FILE* file);

// Puts the closed file `temporary` in the place of `target`, replacing any file there.
bool replaceFile(const std::string& temporary, const std::string& target);
