// The channel choice of --robust: the share of a channel's power in the tape band.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "signal/tape_band.h"

namespace {

const double pi = 3.141592653589793;

// One second of `channels` channels at `rate`, channel c holding sample(c, t), measured
// in blocks of uneven size as the file is read.
template <typename Sample>
TapeBandMeter measured(int channels, double rate, Sample sample)
{
    std::vector<float> samples;
    for (int n = 0; n < static_cast<int>(rate); ++n)
        for (int c = 0; c < channels; ++c) samples.push_back(static_cast<float>(sample(c, n / rate)));
    TapeBandMeter meter;
    startTapeBandMeter(meter, channels, rate);
    size_t frames = samples.size() / channels, done = 0;
    for (size_t block = 1; done < frames; block = block * 3 + 1) {
        size_t n = std::min(block, frames - done);
        measureTapeBand(meter, samples.data() + done * channels, n);
        done += n;
    }
    return meter;
}

TEST(TapeBand, TonesInsideTheBandCountAndTonesOutsideDoNot)
{
    // At 4000 the band ends below the folding frequency, where 2400 Hz cannot be.
    for (double rate : {4000.0, 8000.0, 44100.0, 192000.0}) {
        const double tones[] = {1200, rate > 5000 ? 2400.0 : 1700.0, 100, 50, rate > 13000 ? 6000.0 : 0.49 * rate};
        TapeBandMeter meter = measured(5, rate, [&](int c, double t) { return 0.5 * std::sin(2 * pi * tones[c] * t); });
        for (int c = 0; c < 2; ++c) {
            EXPECT_GT(tapeBandShare(meter, c), 0.8) << rate << " " << c;
            EXPECT_LT(tapeBandShare(meter, c), 1.01) << rate << " " << c;
        }
        for (int c = 2; c < 5; ++c) EXPECT_LT(tapeBandShare(meter, c), 0.05) << rate << " " << c;
    }
}

TEST(TapeBand, AFaintTapeSignalBeatsAnOffsetSilenceOrLoudNoise)
{
    std::mt19937 random(4);
    std::uniform_real_distribution<double> noise(-0.9, 0.9);
    // Channel 0 is a constant offset, 1 silence, 2 loud white noise, 3 a faint tape
    // tone with hum twice its level over it.
    TapeBandMeter meter = measured(4, 48000, [&](int c, double t) {
        const double levels[] = {0.3, 0.0, noise(random)};
        return c < 3 ? levels[c] : 0.01 * std::sin(2 * pi * 1200 * t) + 0.02 * std::sin(2 * pi * 50 * t);
    });
    EXPECT_EQ(tapeBandShare(meter, 0), 0.0);
    EXPECT_EQ(tapeBandShare(meter, 1), 0.0);
    EXPECT_EQ(bestTapeChannel(meter), 3);
    // Equal channels: the first.
    EXPECT_EQ(bestTapeChannel(measured(2, 48000, [](int, double t) { return std::sin(2 * pi * 2400 * t); })), 0);
}

}  // namespace
