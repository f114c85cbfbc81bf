#pragma once
#include "core/platform.h"

// Writes the BASIC listing of the tape image in the slot beside it (or into
// outputFolder): GAME.P6 gives GAME.txt. False when the listing could not be written
// (the user has been told).
bool writeBasicListing(WindowHandle window, const char* tapeImagePath);
