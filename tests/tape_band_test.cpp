// The channel choice of --robust: the share of a channel's power in the tape band.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "signal/tape_band.h"

namespace {

const double pi = 3.141592653589793;

// `seconds` of interleaved frames, channel c holding sample(c, t).
template <typename Sample>
std::vector<float> frames(int channels, double rate, double seconds, Sample sample)
{
    std::vector<float> out;
    for (int n = 0; n < static_cast<int>(rate * seconds); ++n)
        for (int c = 0; c < channels; ++c) out.push_back(static_cast<float>(sample(c, n / rate)));
    return out;
}

TapeBandMeter measured(int channels, double rate, const std::vector<float>& samples)
{
    TapeBandMeter meter;
    startTapeBandMeter(meter, channels, rate);
    // In blocks of uneven size, as the file is read.
    size_t frameCount = samples.size() / channels, done = 0;
    for (size_t block = 1; done < frameCount; block = block * 3 + 1) {
        size_t n = std::min(block, frameCount - done);
        measureTapeBand(meter, samples.data() + done * channels, n);
        done += n;
    }
    return meter;
}

TEST(TapeBand, TonesInsideTheBandCountAndTonesOutsideDoNot)
{
    for (double rate : {8000.0, 44100.0, 192000.0}) {
        const double tones[] = {1200, 2400, 100, 50, 6000 < rate / 2 ? 6000.0 : 3800.0};
        std::vector<float> samples = frames(5, rate, 1.0, [&](int c, double t) {
            return 0.5 * std::sin(2 * pi * tones[c] * t);
        });
        TapeBandMeter meter = measured(5, rate, samples);
        for (int c = 0; c < 2; ++c) {
            EXPECT_GT(tapeBandShare(meter, c), 0.85) << rate << " " << c;
            EXPECT_LT(tapeBandShare(meter, c), 1.01) << rate << " " << c;
        }
        for (int c = 2; c < 5; ++c) EXPECT_LT(tapeBandShare(meter, c), 0.02) << rate << " " << c;
    }
}

TEST(TapeBand, TheLowestRateStillMeasuresBelowItsFoldingPoint)
{
    std::vector<float> samples = frames(2, 4000, 1.0, [](int c, double t) {
        return std::sin(2 * pi * (c == 0 ? 1200 : 300) * t);
    });
    TapeBandMeter meter = measured(2, 4000, samples);
    EXPECT_GT(tapeBandShare(meter, 0), 0.8);
    EXPECT_LT(tapeBandShare(meter, 1), 0.05);
    EXPECT_EQ(bestTapeChannel(meter), 0);
}

TEST(TapeBand, AFaintTapeSignalBeatsAnOffsetSilenceOrLoudNoise)
{
    std::mt19937 random(4);
    std::uniform_real_distribution<double> noise(-0.9, 0.9);
    // Channel 0 is a constant offset, 1 silence, 2 loud white noise, 3 a faint tape
    // tone with hum twice its level over it.
    std::vector<float> samples = frames(4, 48000, 0.5, [&](int c, double t) {
        switch (c) {
        case 0: return 0.3;
        case 1: return 0.0;
        case 2: return noise(random);
        default: return 0.01 * std::sin(2 * pi * 1200 * t) + 0.02 * std::sin(2 * pi * 50 * t);
        }
    });
    TapeBandMeter meter = measured(4, 48000, samples);
    EXPECT_EQ(tapeBandShare(meter, 0), 0.0);
    EXPECT_EQ(tapeBandShare(meter, 1), 0.0);
    EXPECT_EQ(bestTapeChannel(meter), 3);

    // Equal channels: the first.
    samples = frames(2, 48000, 0.2, [](int, double t) { return std::sin(2 * pi * 2400 * t); });
    EXPECT_EQ(bestTapeChannel(measured(2, 48000, samples)), 0);
}

}  // namespace
