#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "core/sine.h"

namespace {

int64_t orderedBits(double value)
{
    int64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits < 0 ? INT64_MIN - bits : bits;
}

// Distance in units in the last place between two doubles.
int64_t ulpsApart(double a, double b) { return std::llabs(orderedBits(a) - orderedBits(b)); }

}  // namespace

TEST(PortableSine, StaysWithinOneUlpOfTheRuntimeWhereTheConversionsUseIt)
{
    std::mt19937_64 random(1);
    // The decoder's angles lie below 4 pi; the encoder's reach 64 pi at slowness 16.
    // Far larger arguments, from absurd slowness settings, may lose one more bit in the
    // argument reduction.
    const double ranges[] = {4 * 3.141592653589793, 64 * 3.141592653589793, 2e5};
    const int64_t allowed[] = {1, 1, 2};
    for (int r = 0; r < 3; ++r) {
        double range = ranges[r];
        std::uniform_real_distribution<double> argument(-range, range);
        int64_t worst = 0;
        for (int k = 0; k < 200000; ++k) {
            double x = argument(random);
            worst = std::max(worst, ulpsApart(portableSine(x), std::sin(x)));
        }
        EXPECT_LE(worst, allowed[r]) << "range " << range;
    }
}

TEST(PortableSine, KnownValuesAndSymmetry)
{
    EXPECT_EQ(portableSine(0.0), 0.0);
    EXPECT_EQ(portableSine(3.141592653589793 / 2), 1.0);
    EXPECT_EQ(portableSine(-3.141592653589793 / 2), -1.0);
    EXPECT_NEAR(portableSine(3.141592653589793), 0.0, 1e-15);
    for (double x : {0.1, 1.0, 2.5, 7.0, 100.0, 800000.0})
        EXPECT_EQ(portableSine(-x), -portableSine(x)) << x;
    EXPECT_TRUE(std::isnan(portableSine(std::nan(""))));
}
