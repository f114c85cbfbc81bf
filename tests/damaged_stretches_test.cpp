// The suspect ranges of a long recording told a stretch at a time.
#include <gtest/gtest.h>

#include "signal/damaged_stretches.h"

namespace {

const char* nameOf(SuspectReason reason)
{
    switch (reason) {
    case SuspectReason::Framing: return "framing";
    case SuspectReason::WeakBit: return "weak bit";
    case SuspectReason::SignalLost: return "signal lost";
    case SuspectReason::Structure: return "structure";
    default: return "merge";
    }
}

std::string shown(const std::vector<SuspectStretch>& stretches)
{
    std::string text;
    for (const SuspectStretch& s : stretches) {
        text += std::to_string(s.firstByte) + "-" + std::to_string(s.lastByte) + ": " +
                std::to_string(s.suspectBytes) + " in " + std::to_string(s.ranges) + " at " +
                std::to_string(s.seconds) + " (";
        for (SuspectReason reason : s.reasons) text += std::string(nameOf(reason)) + ";";
        text += ")\n";
    }
    return text;
}

TEST(SuspectStretches, RangesWithinAFewBytesOrTwoSecondsJoinUnlessBytesAreMissingBetween)
{
    // Ten bytes a second: byte k starts at k / 10 s.
    std::vector<double> byteSeconds;
    for (int k = 0; k < 200; ++k) byteSeconds.push_back(k / 10.0);
    const std::vector<SuspectRange> ranges = {
        {10, 11, 1.0, SuspectReason::WeakBit},     // a stretch opens
        {15, 15, 1.5, SuspectReason::Framing},      // 3 good bytes after it: joins
        {20, 20, 2.0, SuspectReason::WeakBit},     // 4 good bytes: joins, its reason told once
        {45, 45, 4.5, SuspectReason::SignalLost},  // 24 bytes, 2.5 s on: a stretch of its own
        {54, 55, 5.4, SuspectReason::WeakBit},     // 8 good bytes: joins
        {100, 100, 10.0, SuspectReason::WeakBit},  // far on: alone
        {104, 104, 10.4, SuspectReason::WeakBit},  // near, but bytes are missing before it
        {130, 130, 13.0, SuspectReason::Structure},
    };
    const std::vector<SignalLoss> losses = {{104, 40, 10.45, 0.4}};
    // At 100 bytes a second, every gap here but the missing bytes lies within two seconds.
    std::vector<double> fast;
    for (int k = 0; k < 200; ++k) fast.push_back(k / 100.0);

    EXPECT_EQ(shown(suspectStretches(ranges, losses, byteSeconds)),
              "10-20: 4 in 3 at 1.000000 (weak bit;framing;)\n"
              "45-55: 3 in 2 at 4.500000 (signal lost;weak bit;)\n"
              "100-100: 1 in 1 at 10.000000 (weak bit;)\n"
              "104-104: 1 in 1 at 10.400000 (weak bit;)\n"
              "130-130: 1 in 1 at 13.000000 (structure;)\n");
    EXPECT_EQ(shown(suspectStretches(ranges, losses, fast)),
              "10-100: 8 in 6 at 1.000000 (weak bit;framing;signal lost;)\n"
              "104-130: 2 in 2 at 10.400000 (weak bit;structure;)\n");
    EXPECT_TRUE(suspectStretches({}, losses, byteSeconds).empty());
}

TEST(SuspectStretches, DamageThatComesBackEverySecondAndAHalfIsToldAMinuteAtATime)
{
    // Ten bytes a second for 200 s, a suspect byte every 15 bytes.
    std::vector<double> byteSeconds;
    std::vector<SuspectRange> ranges;
    for (uint32_t k = 0; k < 2000; ++k) {
        byteSeconds.push_back(k / 10.0);
        if (k % 15 == 0) ranges.push_back({k, k, k / 10.0, SuspectReason::SignalLost});
    }
    EXPECT_EQ(shown(suspectStretches(ranges, {}, byteSeconds)),
              "0-585: 40 in 40 at 0.000000 (signal lost;)\n"
              "600-1185: 40 in 40 at 60.000000 (signal lost;)\n"
              "1200-1785: 40 in 40 at 120.000000 (signal lost;)\n"
              "1800-1995: 14 in 14 at 180.000000 (signal lost;)\n");
}

}  // namespace
