#pragma once
// The first stage of the robust decoder: a recording at any rate brought to a working
// rate of 9000 ... 18000 samples a second (the rate itself below 18000) by a low-pass and
// keeping every D-th sample. Both tones and their keying sidebands lie below 3400 Hz;
// what lies above would fold onto them.
#include <cstddef>
#include <vector>

struct Decimator {
    int factor;                  // D
    std::vector<double> taps;    // empty when D is 1; leading zeros pad it to lanes of four
    double delay;                // the filter's delay in input samples
    std::vector<double> inputs;  // the last taps.size() - 1 inputs, then the piece's
    int phase;                   // inputs since the last output
};

// Inputs taken at a time by decimate(): its buffers stay this small however much
// it is given.
const size_t decimatorPiece = 4096;

// The working rate's factor for `sampleRate`, and the filter for it.
void setUpDecimator(Decimator& decimator, double sampleRate);
// Takes `count` (at most decimatorPiece) input samples, each already a finite number, and
// appends the working-rate samples they complete to `output`.
void decimate(Decimator& decimator, const double* samples, size_t count,
              std::vector<double>& output);
