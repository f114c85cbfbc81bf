#pragma once
// The command-line front end's side of the platform seam.

#include <string>

// How many problems have been reported since the program started; any of them makes
// the exit status 1.
extern int hostMessagesShown;

// One line "hibarion: FILE: TEXT" (or "hibarion: TEXT" for no file) on standard error,
// counted in hostMessagesShown: the one way the command line reports a problem.
void reportProblem(const char* file, const std::string& text);
