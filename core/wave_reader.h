#pragma once
#include <cstdio>

// Loads a mono 8-bit RIFF WAV recording from `stream` (opened "rb", at its first byte)
// into the slot. Reads in order and never seeks. Returns -1 when the recording is
// loaded, otherwise the problem (MessageId::LoadProblem) of the first problem found.
int readWaveFile(FILE* stream);
