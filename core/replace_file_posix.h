#pragma once
// What the command line needs of core/replace_file_posix.cpp beyond the platform seam.

// Removes the temporary that this process created last, if it is still there: for a
// signal handler (only async-signal-safe calls), so that a run stopped midway leaves
// no part of a file behind. Every temporary name holds the process's id, so a name
// already renamed or removed touches no other file.
void removeUnfinishedTemporary();
