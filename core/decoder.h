#pragma once
#include <string>

#include "core/platform.h"

// The tape image name for a recording: its last three characters replaced by "P6"
// (game.wav gives game.P6), placed by placeOutput.
std::string tapeImageNameFor(const char* recordingPath);

// Demodulates the recording in the slot and writes its bytes as a tape image beside
// it. Returns 1 when the run went to its end, 0 after a refusal shown to the user.
int decodeRecording(WindowHandle window, const char* recordingPath);
