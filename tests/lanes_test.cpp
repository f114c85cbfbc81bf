#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "core/decision_estimate.h"
#include "core/lanes.h"
#include "core/sine.h"
#include "tools/signal_synthesis.h"

namespace {

const double pi = 3.141592653589793;

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Runs `check` once for every lane width this processor runs, then restores the widest.
template <class Check>
void forEachLaneWidth(Check check)
{
    LaneWidth widest = laneWidth;
    for (LaneWidth width : {OneLane, TwoLanes, FourLanes}) {
        if (!laneWidthRuns(width)) continue;
        laneWidth = width;
        SCOPED_TRACE(testing::Message() << "lane width " << width);
        check();
    }
    laneWidth = widest;
}

}  // namespace

TEST(Lanes, SinesEqualPortableSineBitForBit)
{
    std::vector<double> x;
    std::mt19937_64 random(3);
    // The decoder's angles (below 8 pi), the encoder's (to 64 pi at slowness 16, far
    // beyond for slow settings) and the range that falls back to the runtime's sin.
    const double ranges[][2] = {{0, 8 * pi}, {-64 * pi, 64 * pi}, {0, 2e5}, {8e5, 1e7}};
    for (const auto& range : ranges) {
        std::uniform_real_distribution<double> argument(range[0], range[1]);
        for (int k = 0; k < 1000000; ++k) x.push_back(argument(random));
    }
    const double infinity = std::numeric_limits<double>::infinity();
    for (double special : {0.0, -0.0, pi / 4, 823549.0, std::nextafter(823549.0, 0.0),
                           -823549.0, infinity, -infinity, std::nan("")})
        x.push_back(special);

    std::vector<double> expected(x.size()), sines(x.size());
    for (size_t k = 0; k < x.size(); ++k) expected[k] = portableSine(x[k]);
    forEachLaneWidth([&] {
        // Every count up to three groups, then the whole array at odd offsets.
        for (size_t count = 0; count <= 40; ++count) {
            portableSines(x.data(), sines.data(), count);
            for (size_t k = 0; k < count; ++k) ASSERT_TRUE(sameBits(sines[k], expected[k])) << k;
        }
        portableSines(x.data() + 1, sines.data() + 1, x.size() - 1);
        size_t different = 0;
        for (size_t k = 1; k < x.size(); ++k) different += !sameBits(sines[k], expected[k]);
        EXPECT_EQ(different, 0u);
    });
}

TEST(Lanes, CrossingsEqualTheOneLaneScan)
{
    std::mt19937 random(7);
    std::vector<uint8_t> x(3000);
    for (uint8_t& b : x) b = static_cast<uint8_t>(120 + random() % 17);
    x[100] = 255;
    x[101] = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        int level = trial % 3 == 0 ? static_cast<int>(random() % 256) : 120 + trial % 17;
        int64_t from = 1 + random() % 200, end = from + random() % 2800;
        int most = 1 + trial % 40;
        laneWidth = OneLane;
        std::vector<int64_t> expected(most), at(most);
        int64_t expectedNext, next;
        int expectedFound = findCrossings(x.data(), from, end, level, expected.data(), most,
                                          &expectedNext);
        forEachLaneWidth([&] {
            ASSERT_EQ(findCrossings(x.data(), from, end, level, at.data(), most, &next),
                      expectedFound);
            ASSERT_EQ(next, expectedNext);
            at.resize(expectedFound);
            expected.resize(expectedFound);
            ASSERT_EQ(at, expected);
            at.resize(most);
        });
    }
}

TEST(Lanes, CorrelationsAndSamplesEqualTheOneLaneCode)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<uint8_t> x(50 + 380);
    for (uint8_t& b : x) b = static_cast<uint8_t>(random());
    std::vector<double> times(300);
    for (double& t : times) t = unit(random) * 0.02;
    const double infinity = std::numeric_limits<double>::infinity();
    const double amplitudes[] = {120, 120 / 1.32, 300, -120, 1e300, infinity, std::nan("")};

    for (int trial = 0; trial < 2000; ++trial) {
        int period = trial < 1000 ? 1 + trial % 80 : 81 + trial % 300;
        double level = unit(random) * 255, f = unit(random);
        const uint8_t* window = x.data() + trial % 50;
        size_t count = trial % 300;
        double frequency = trial % 2 ? 4800 : 2400;
        double amplitude = amplitudes[trial % 7];

        laneWidth = OneLane;
        double expected1200, expected2400;
        correlations(window, level, f, period, &expected1200, &expected2400);
        std::vector<uint8_t> expectedSamples(count), samples(count);
        waveSamples(times.data(), count, frequency, amplitude, expectedSamples.data());
        forEachLaneWidth([&] {
            double correlation1200, correlation2400;
            correlations(window, level, f, period, &correlation1200, &correlation2400);
            ASSERT_TRUE(sameBits(correlation1200, expected1200)) << period;
            ASSERT_TRUE(sameBits(correlation2400, expected2400)) << period;
            waveSamples(times.data(), count, frequency, amplitude, samples.data());
            ASSERT_EQ(samples, expectedSamples) << count << " " << amplitude;
        });
    }
}

// Whatever the estimate settles, the exact sums decide the same; and on a clean tape
// signal it settles nearly every crossing, so the exact sums are seldom needed.
TEST(DecisionEstimate, SettlesOnlyWhatTheExactSumsDecideAlike)
{
    std::mt19937 random(9);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<uint8_t> signal = synthesizeTapeSignal(std::vector<uint8_t>(40, 0x5A), 44100);
    std::vector<size_t> crossings;
    for (size_t i = 1; i + 36 < signal.size(); ++i)
        if (signal[i - 1] > 128 && signal[i] <= 128) crossings.push_back(i);
    int settledOnSignal = 0, crossingsOnSignal = 0, settledNearThreshold = 0;
    for (int trial = 0; trial < 40000; ++trial) {
        bool onSignal = trial % 2 == 0;
        int period = onSignal ? 36 : 1 + trial % 60;
        ASSERT_TRUE(prepareEstimates(period));
        std::vector<uint8_t> x(period);
        size_t start = crossings[random() % crossings.size()];
        for (int j = 0; j < period; ++j)
            x[j] = onSignal ? signal[start + j] : static_cast<uint8_t>(127 + random() % 3);
        double level = onSignal ? 128.25 : 127 + unit(random) * 2, f = unit(random);
        double exact1200, exact2400;
        correlations(x.data(), level, f, period, &exact1200, &exact2400);
        // The threshold at the exact value, one step either side of it, or far below.
        double thresholds[] = {exact1200, std::nextafter(exact1200, -1e300),
                               std::nextafter(exact1200, 1e300), -1e9, std::nan("")};
        double minimum = thresholds[trial / 2 % 5];
        Crossing crossing = {0, f, -1};
        settleDecisions(x.data(), level, period, minimum, &crossing, 1);
        bool exact = exact2400 < exact1200 && minimum < exact1200;
        if (crossing.settled >= 0) {
            ASSERT_EQ(crossing.settled, exact) << trial;
        }
        if (trial / 2 % 5 < 3) settledNearThreshold += crossing.settled == 1;
        if (onSignal && minimum == -1e9) {
            ++crossingsOnSignal;
            settledOnSignal += crossing.settled >= 0;
        }
    }
    EXPECT_EQ(settledNearThreshold, 0);
    EXPECT_GE(settledOnSignal, crossingsOnSignal * 99 / 100);
}
