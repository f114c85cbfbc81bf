#pragma once
// The first stage of the robust decoder: a recording at any rate brought to a working
// rate of 9000 ... 18000 samples a second (the rate itself below 18000) by a low-pass and
// keeping every D-th sample. Both tones and their keying sidebands lie below 3400 Hz;
// what lies above would fold onto them.
#include <cstddef>
#include <vector>

struct Decimator {
    int factor;                  // D
    std::vector<double> taps;    // empty when D is 1
    std::vector<double> history; // the last taps.size() inputs, stored twice in a row
    size_t next;                 // where the next input goes in the first copy
    int phase;                   // inputs since the last output
};

// The working rate's factor for `sampleRate`, and the filter for it.
void setUpDecimator(Decimator& decimator, double sampleRate);
// Takes one input sample; true when `output` holds the next working-rate sample. Here,
// so that the loop over a block of input takes it in.
inline bool decimate(Decimator& decimator, double input, double& output)
{
    if (decimator.factor == 1) {
        output = input;
        return true;
    }
    const size_t length = decimator.taps.size();
    decimator.history[decimator.next] = input;
    decimator.history[decimator.next + length] = input;
    decimator.next = decimator.next + 1 == length ? 0 : decimator.next + 1;
    if (++decimator.phase < decimator.factor) return false;
    decimator.phase = 0;
    // The window of the last `length` inputs, oldest first, lies at next ... next + length.
    const double* window = decimator.history.data() + decimator.next;
    double sum = 0.0;
    for (size_t k = 0; k < length; ++k) sum = sum + decimator.taps[k] * window[k];
    output = sum;
    return true;
}

// The filter's delay in input samples.
double decimatorDelay(const Decimator& decimator);
