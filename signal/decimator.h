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
    // Four partial sums, each its own chain of additions, so that the processor need not
    // wait for one addition before the next; the compiler may also pair them in registers.
    const double* window = decimator.history.data() + decimator.next;
    const double* taps = decimator.taps.data();
    double sum[4] = {0.0, 0.0, 0.0, 0.0};
    for (size_t k = 0; k < length; k += 4) {
        sum[0] = sum[0] + taps[k] * window[k];
        sum[1] = sum[1] + taps[k + 1] * window[k + 1];
        sum[2] = sum[2] + taps[k + 2] * window[k + 2];
        sum[3] = sum[3] + taps[k + 3] * window[k + 3];
    }
    output = (sum[0] + sum[1]) + (sum[2] + sum[3]);
    return true;
}

