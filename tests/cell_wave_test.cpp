#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "core/cell_samples.h"
#include "core/cell_times.h"
#include "core/encoder.h"
#include "core/lanes.h"
#include "core/sine.h"
#include "settings/settings.h"

namespace {

const double pi = 3.141592653589793;
const double infinity = std::numeric_limits<double>::infinity();

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The plain definitions: one addition after another, one exact sine for each sample.
size_t plainTimes(double& t, double end, double step, double* times, size_t most)
{
    size_t n = 0;
    for (; n < most && t < end; t = t + step) times[n++] = t;
    return n;
}

uint8_t plainSample(double t, double frequency, double amplitude)
{
    double level = 128.5 - amplitude * portableSine(t * pi * frequency);
    if (level != level) return 128;
    if (level < 0) return 0;
    if (level >= 255) return 255;
    return static_cast<uint8_t>(static_cast<int>(level));
}

}  // namespace

TEST(CellWave, TimesEqualOneAdditionAfterAnother)
{
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<double> expected(300), times(300);
    for (int trial = 0; trial < 200000; ++trial) {
        double step = 1.0 / (8000 + random() % 184001);
        double end = trial % 3 ? std::ldexp(unit(random), -12 + static_cast<int>(random() % 20))
                               : (1 + random() % 40) / 1200.0;
        double start = trial % 5 == 0 ? 0.0 : unit(random) * (trial % 7 ? step : end);
        if (trial % 101 == 0) end = trial % 2 ? infinity : std::nan("");
        // Steps of few bits, with cells ending on one of them and starting just off one:
        // the counts of a run then come out as whole quotients.
        if (trial % 4 == 1) {
            step = std::ldexp(1 + 2 * static_cast<double>(random() % 50), -20 - static_cast<int>(random() % 4));
            double steps = static_cast<double>(random() % 300);
            end = step * (steps + 1 + static_cast<double>(random() % 300));
            start = std::nextafter(step * steps, 0.0);
        }
        size_t most = 1 + random() % 300;
        double t = start, plainT = start;
        size_t n = nextCellTimes(t, end, step, times.data(), most);
        ASSERT_EQ(n, plainTimes(plainT, end, step, expected.data(), most)) << trial;
        ASSERT_TRUE(sameBits(t, plainT)) << trial;
        for (size_t k = 0; k < n; ++k) ASSERT_TRUE(sameBits(times[k], expected[k])) << trial;
    }
}

// Runs of additions from anywhere up to far past the sine's reduction range, at every
// lane width, with amplitudes that clip, vanish or are not numbers.
TEST(CellWave, SamplesEqualTheExactSineEverywhere)
{
    std::mt19937_64 random(19);
    std::uniform_real_distribution<double> unit(0, 1);
    const double amplitudes[] = {120, 120 / 1.32, -300, 1e4, 1.5e4, 1e300, infinity,
                                 std::nan(""), 0};
    std::vector<double> times(cellSampleBlock);
    std::vector<uint8_t> samples(cellSampleBlock);
    LaneWidth widest = laneWidth;
    for (int trial = 0; trial < 60000; ++trial) {
        double step = 1.0 / (8000 + random() % 184001);
        double t = trial % 4 ? unit(random) * 0.02 : std::ldexp(unit(random), static_cast<int>(random() % 8));
        if (trial % 997 == 0) t = 823549.0 / (pi * 4800) - 0.01;
        double first = t;
        size_t count = plainTimes(t, infinity, step, times.data(), 1 + random() % cellSampleBlock);
        double frequency = trial % 2 ? 4800 : 2400;
        double amplitude = amplitudes[trial % 9];
        laneWidth = static_cast<LaneWidth>(trial % 3);
        if (!laneWidthRuns(laneWidth)) laneWidth = widest;
        cellSamples(first, t, count, step, frequency, amplitude, samples.data());
        for (size_t k = 0; k < count; ++k)
            ASSERT_EQ(samples[k], plainSample(times[k], frequency, amplitude))
                << trial << " " << k << " " << laneWidth;
    }
    laneWidth = widest;
}

// Whole cells through the encoder's writer, against the plain loop: the same bytes and
// the same phase carried into the next cell.
TEST(CellWave, CellsEqualThePlainLoop)
{
    std::mt19937_64 random(23);
    std::uniform_real_distribution<double> unit(0, 1);
    static RecordingOutput output;  // every cell here fits its buffer
    output.file = nullptr;
    const double factors[] = {1.0, 16.0, 3.7, 100, 0.001, -2, std::nan("")};
    const double ratios[] = {1.32, 1.0, 0.01, -1, 1e-300, 0};
    for (int trial = 0; trial < 3000; ++trial) {
        outputSampleRate = 8000 + random() % 184001;
        conversionSettings.outputRatio = ratios[trial % 6];
        double x = factors[trial % 7];
        bool high = trial % 2;
        double phase = unit(random) / outputSampleRate, plainPhase = phase;
        output.used = 0;
        high ? writeHighCell(phase, &output, x) : writeLowCell(phase, &output, x);

        double step = 1.0 / outputSampleRate, e = x / 1200, t = plainPhase;
        std::vector<uint8_t> expected;
        for (; t < e; t = t + step)
            expected.push_back(plainSample(t, high ? 4800 : 2400,
                                           high ? 120 / conversionSettings.outputRatio : 120));
        ASSERT_EQ(std::vector<uint8_t>(output.buffer, output.buffer + output.used), expected)
            << trial;
        ASSERT_TRUE(sameBits(phase, t - e)) << trial;
    }
    outputSampleRate = 11025;
    conversionSettings.outputRatio = 1.32;
}
