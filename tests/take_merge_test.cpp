// Several takes of one tape merged into one image, on byte sequences with known damage.
#include <algorithm>

#include <gtest/gtest.h>

#include "signal/take_merge.h"
#include "tests/test_files.h"
#include "tools/files.h"

namespace {

const double byteSeconds = 0.01;

// A take that read every byte of `image` sure of each, the first at `start` seconds.
Take wholeTake(const Bytes& image, double start)
{
    Take take = {image, std::vector<float>(image.size(), 0.9f), {}, {}, false, false};
    for (size_t i = 0; i < image.size(); ++i) take.byteSeconds.push_back(start + byteSeconds * i);
    return take;
}

// `count` bytes from byte `from` of the take left out: where the signal was lost, or,
// not `told`, where the tape was spliced.
void lose(Take& take, uint32_t from, uint32_t count, bool told = true)
{
    const double at = take.byteSeconds[from];
    take.bytes.erase(take.bytes.begin() + from, take.bytes.begin() + from + count);
    take.confidences.erase(take.confidences.begin() + from, take.confidences.begin() + from + count);
    take.byteSeconds.erase(take.byteSeconds.begin() + from, take.byteSeconds.begin() + from + count);
    if (told) take.losses.push_back({from, count, at, count * byteSeconds});
}

// Byte `at` of the take read as another value, `confidence` sure of it.
void misread(Take& take, size_t at, float confidence)
{
    take.bytes[at] ^= 0x5A;
    take.confidences[at] = confidence;
}

TEST(TakeMerge, TakesDamagedApartGiveTheTapeWhole)
{
    const Bytes image = randomImage(400, 21);
    // The first take started late, inside byte 40, and lost bytes 100 to 114, with the
    // frame the loss cut into garbled; the second lost other bytes and read some badly;
    // the third lost bytes where the first is whole.
    Take first = wholeTake(Bytes(image.begin() + 41, image.end()), 3.0);
    first.startsInsideData = true;
    misread(first, 99 - 41, 0.1f);
    lose(first, 100 - 41, 15);
    Take second = wholeTake(image, 1.0);
    for (size_t b = 200; b < 206; ++b) misread(second, b, 0.2f);
    lose(second, 300, 12);
    misread(second, 299, 0.1f);
    Take third = wholeTake(image, 2.0);
    lose(third, 20, 30);

    const MergedTape merged = mergeTakes({first, second, third});
    EXPECT_EQ(merged.bytes, image);
    EXPECT_TRUE(merged.suspects.empty());
    EXPECT_TRUE(merged.losses.empty());
    EXPECT_EQ(merged.startsInsideData, -1);
    EXPECT_EQ(merged.anotherTape, std::vector<bool>(3, false));
    EXPECT_EQ(merged.given[0] + merged.given[1] + merged.given[2], image.size());
    EXPECT_LE(merged.given[0], first.bytes.size());
    // Bytes the first take lacks lie where its gap does: before its first byte, and
    // where its signal was lost.
    EXPECT_EQ(merged.byteSeconds[0], 3.0);
    EXPECT_EQ(merged.byteSeconds[41], 3.0);
    EXPECT_EQ(merged.byteSeconds[107], first.losses[0].seconds);
    EXPECT_EQ(merged.byteSeconds[300], first.byteSeconds[300 - 41 - 15]);
}

TEST(TakeMerge, DamageEveryTakeSharesIsNamedAtItsPlaceInTheFirst)
{
    const Bytes image = randomImage(300, 22);
    Take first = wholeTake(image, 1.0), second = wholeTake(image, 5.0);
    // Confident takes that read a byte apart, a byte neither is sure of, and losses
    // that overlap over bytes 108 to 114.
    misread(first, 50, 0.9f);
    misread(first, 60, 0.3f);
    misread(second, 60, 0.2f);
    lose(first, 100, 15);
    lose(second, 108, 15);

    const MergedTape merged = mergeTakes({first, second});
    Bytes expected = image;
    expected.erase(expected.begin() + 108, expected.begin() + 115);
    // Where the takes read apart, the image holds what one of them read.
    for (size_t b : {50, 60}) {
        EXPECT_TRUE(merged.bytes[b] == first.bytes[b] || merged.bytes[b] == second.bytes[b]) << b;
        expected[b] = merged.bytes[b];
    }
    ASSERT_EQ(merged.bytes, expected);
    ASSERT_EQ(merged.suspects.size(), 2u);
    EXPECT_EQ(merged.suspects[0].firstByte, 50u);
    EXPECT_EQ(merged.suspects[0].lastByte, 50u);
    EXPECT_EQ(merged.suspects[0].reason, SuspectReason::TakesDisagree);
    EXPECT_EQ(merged.suspects[0].seconds, first.byteSeconds[50]);
    EXPECT_EQ(merged.suspects[1].firstByte, 60u);
    EXPECT_EQ(merged.suspects[1].reason, SuspectReason::UnsureInEveryTake);
    ASSERT_EQ(merged.losses.size(), 1u);
    EXPECT_EQ(merged.losses[0].bytesBefore, 108u);
    EXPECT_EQ(merged.losses[0].missingBytes, 7u);
    EXPECT_EQ(merged.losses[0].seconds, first.losses[0].seconds);

    // A take spliced over the place reads none of it, though it says nothing.
    Take spliced = wholeTake(image, 9.0);
    lose(spliced, 90, 50, false);
    const MergedTape three = mergeTakes({first, second, spliced});
    ASSERT_EQ(three.losses.size(), 1u);
    EXPECT_EQ(three.losses[0].bytesBefore, 108u);
    EXPECT_EQ(three.losses[0].missingBytes, 7u);

    // Within a run of equal bytes no alignment can place the bytes each take lost:
    // what the image lacks is still named.
    Bytes run = image;
    std::fill(run.begin() + 150, run.begin() + 250, 0);
    Take one = wholeTake(run, 1.0), other = wholeTake(run, 1.0);
    lose(one, 170, 10);
    lose(other, 210, 10);
    const MergedTape equal = mergeTakes({one, other});
    uint32_t missing = 0;
    for (const SignalLoss& loss : equal.losses) missing += loss.missingBytes;
    EXPECT_GE(equal.bytes.size() + missing, run.size());
}

TEST(TakeMerge, AnotherTapeIsLeftOutAndOneTakeIsItself)
{
    const Bytes image = randomImage(300, 23);
    Take only = wholeTake(image, 1.0);
    misread(only, 10, 0.1f);
    lose(only, 150, 20);
    // The tail of the same tape, read from inside it, is the same tape.
    Take tail = wholeTake(Bytes(image.begin() + 200, image.end()), 0.0);
    tail.startsInsideData = true;

    const MergedTape alone = mergeTakes({only});
    EXPECT_EQ(alone.bytes, only.bytes);
    EXPECT_EQ(alone.given, std::vector<size_t>{only.bytes.size()});
    ASSERT_EQ(alone.losses.size(), 1u);
    EXPECT_EQ(alone.losses[0].bytesBefore, 150u);
    EXPECT_EQ(alone.losses[0].missingBytes, 20u);
    ASSERT_EQ(alone.suspects.size(), 1u);
    EXPECT_EQ(alone.suspects[0].firstByte, 10u);

    const MergedTape merged = mergeTakes({only, wholeTake(randomImage(300, 24), 1.0), tail});
    EXPECT_EQ(merged.anotherTape, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(merged.given[1], 0u);
    EXPECT_EQ(merged.bytes, only.bytes);
}

}  // namespace
