#pragma once
// How far the file being converted is, on one line of a terminal: shown once the file
// has taken more than a second, rewritten in place, erased before any other output and
// when the file is done. Scripts, whose standard error is no terminal, see nothing.
#include <cstdio>
#include <string>

struct Progress {
    FILE* terminal = nullptr;  // null: nothing is ever shown
    std::string name;          // the file's name as shown
    double startedAt = 0;      // seconds, on the clock of secondsNow
    double shownAt = 0;
    bool lineShown = false;
};

extern Progress progress;

// A steady clock in seconds.
double secondsNow();

void startProgress(const char* name, double now);
void updateProgress(unsigned long long done, unsigned long long total, double now);
void eraseProgress();
