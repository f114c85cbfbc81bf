#pragma once
#include "core/platform.h"

// The longest dropped name the window's drop buffer can hold, terminating zero included.
enum { DroppedNameSize = 1200 };

// Whether `name` ends in ".wav", each letter in either case: the name of a recording.
bool namesRecording(const char* name);
// Whether `name`, of at least 4 bytes, ends in ".p6" or ".P6": the name of a tape image.
bool namesTapeImage(const char* name);

// Handles one dropped file by its ending: a recording is decoded, a tape image encoded
// and, with listings on, listed. Every problem is shown to the user; the caller goes on
// with the next name. Always returns 1.
int dispatchDroppedName(WindowHandle window, const char* name);
