#pragma once
#include <cstdio>

// Loads a whole tape image file (opened "rb", not yet read) into the slot, any bytes of
// any length, and sets the format the encoder writes. Returns -1 when loaded, otherwise
// the problem (MessageId::LoadProblem): 10 out of memory, 11 the file breaks off.
int loadTapeImage(FILE* file);
