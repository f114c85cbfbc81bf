#pragma once
// The second stage of the robust decoder, at the working rate: DC and mains hum taken
// out, then how strongly each tone sounds over the one cell that ends at each sample,
// and how fast the tape runs, measured on the high tone.
#include <cstddef>
#include <vector>

#include "signal/biquad.h"

struct ToneDetector {
    double workingRate;
    int window;                          // samples of one cell at normal speed, rounded
    Biquad highPass[2];
    std::vector<double> recent;          // the last window - 1 filtered samples, then a piece's
    // The tones over one window, the sines negated.
    std::vector<double> highCos, highSin, lowCos, lowSin;
    std::vector<double> hr, hi, lr, li;  // the piece's correlations
    std::vector<double> highRe, highIm;  // the high tone's correlation of the last window
    size_t highNext;                     // samples, to compare phases one window apart
    double turnRe, turnIm;               // the high tone's turn over one window, averaged
    double ownTurnCos, ownTurnSin;       // the turn of 2400 Hz itself
};

// What the detector says about the cell ending at one working sample.
struct ToneLevels {
    float high;   // magnitude of the 2400 Hz correlation
    float low;    // magnitude of the 1200 Hz correlation
    // The high tone's turn from one window to the next beyond its own, averaged over
    // the last cells where it clearly sounded: a unit vector's average.
    float turnRe, turnIm;
};

void setUpToneDetector(ToneDetector& detector, double workingRate);
// The levels of the cells ending at each of the next `count` working samples.
void detectTones(ToneDetector& detector, const double* samples, size_t count, ToneLevels* levels);
// The tape's speed (1 normal) that the turn tells: the high tone's pitch over 2400 Hz.
double toneSpeed(const ToneDetector& detector, const ToneLevels& levels);
// How steadily the high tone's phase has turned of late: near 1 for a tape's tone, near
// 0 for hiss.
double toneSteadiness(const ToneLevels& levels);
