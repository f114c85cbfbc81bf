#pragma once
// Whether --robust takes a recording that the Windows program's reader cannot: the
// default path points to it then.

// True when `name` is a file that libsndfile opens, at a rate --robust decodes, and not
// in the one format the default path reads, mono 8-bit PCM WAV. Reads the header only.
bool onlyRobustReads(const char* name);
