#pragma once
// --robust: recordings in any format libsndfile reads, through the robust decoder, with
// every suspect byte named. The default path keeps the Windows program's decoder.
#include <string>
#include <vector>

// Whether `name` ends in ".wav", ".w64", ".rf64", ".flac", ".aif" or ".aiff", each
// letter in either case: a recording for --robust.
bool namesRobustRecording(const char* name);
// Those endings, for messages: ".wav, .w64, ...".
std::string robustEndingList();

// The tape image of the recording `name`: its ending replaced by ".P6" (take.flac gives
// take.P6), in the output folder when one is set.
std::string robustImageNameFor(const char* name);

// Decodes one recording, writes its tape image and tells the user about it: problems and
// suspect bytes on standard error, each counted like a message; the image written on
// standard output. `channel` 1 ... forces that channel; 0 lets the program choose.
// `quiet`: the repaired, suspect and missing bytes in one line, not a line each.
void decodeRobustly(const char* name, int channel, bool quiet);

// --merge: decodes each of `names` as a take of one tape, merges the takes and writes
// their image, named after the first take that decodes, telling the user as
// decodeRobustly does; the line on standard output counts the bytes each take gave.
void mergeRobustly(const std::vector<std::string>& names, int channel, bool quiet);
