#pragma once
// Which channel of a recording carries the tape signal: the share of each channel's
// power (about its mean) that lies in the tape band, 800 to 3200 Hz, about the 1200 Hz
// and 2400 Hz tones. Hum, rumble, hiss and music outside the band lower the share;
// a silent channel has none.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "signal/biquad.h"

struct BandChannel {
    Biquad sections[4];  // a fourth-order high-pass, then a fourth-order low-pass
    double sum, sumOfSquares, bandSquares;
};

struct TapeBandMeter {
    std::vector<BandChannel> channels;
    uint64_t frames;
};

void startTapeBandMeter(TapeBandMeter& meter, int channels, double sampleRate);
// `frames` frames of interleaved samples, one for each channel.
void measureTapeBand(TapeBandMeter& meter, const float* samples, size_t frames);
// The share of channel `channel` (0-based) measured so far: 0 ... about 1.
double tapeBandShare(const TapeBandMeter& meter, int channel);
// The 0-based channel of the largest share; the first of equals.
int bestTapeChannel(const TapeBandMeter& meter);
