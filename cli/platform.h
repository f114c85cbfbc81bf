#pragma once
// The command-line front end's side of the platform seam.

// How many messages have been shown since the program started.
extern int hostMessagesShown;
