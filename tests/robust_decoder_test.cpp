// The decoder of --robust, fed samples directly: the bytes of the default path on clean
// recordings, the bytes of damaged ones, and where it says it is unsure.
#include <cmath>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "core/decoder.h"
#include "signal/robust_decoder.h"
#include "tests/test_files.h"
#include "tools/impairments.h"
#include "tools/signal_synthesis.h"

namespace {

const double pi = 3.141592653589793;

Bytes randomImage(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes image(size);
    for (uint8_t& b : image) b = static_cast<uint8_t>(random());
    return image;
}

struct Decoded {
    Bytes bytes;
    std::vector<SuspectRange> suspects;
    std::vector<SignalLoss> losses;
    bool startsInside, endsInside;
};

// Feeds `samples` in blocks of the sizes `blocks` gives in turn (all at once without).
Decoded decode(const Floats& samples, int rate, std::vector<size_t> blocks = {})
{
    RobustDecoder decoder(rate);
    size_t at = 0;
    for (size_t k = 0; at < samples.size(); ++k) {
        size_t size = blocks.empty() ? samples.size() : blocks[k % blocks.size()];
        if (size > samples.size() - at) size = samples.size() - at;
        decoder.feed(samples.data() + at, size);
        at += size;
    }
    decoder.finish();
    Decoded d = {decoder.bytes(), decoder.suspects(), decoder.losses(), decoder.startsInsideData(),
                 decoder.endsInsideData()};
    return d;
}

// Where the start cell of byte `k` begins in synthesizeTapeFloats at a steady speed.
double startOfByte(size_t k, int rate, double speed = 1.0)
{
    double silence = static_cast<size_t>(rate * (5000.0 / 11025));
    double cells = 4800 + 12.0 * k + 3 + (k >= 16 ? 635 : 0);
    return silence / rate + cells / 1200 / speed;
}

// One cell from second `from` on sounds a tone of `hertz` at `amplitude` times the low
// tone's peak, as hiss or damage can make it sound.
void soundCell(Floats& samples, int rate, double from, double hertz, double amplitude)
{
    for (size_t k = static_cast<size_t>(std::ceil(from * rate)); k < (from + 1.0 / 1200) * rate; ++k) {
        double t = k / static_cast<double>(rate) - from;
        samples[k] = static_cast<float>(amplitude * std::sin(2 * pi * hertz * t) * 120 / 128);
    }
}

bool inSuspectRange(const Decoded& d, size_t k)
{
    for (const SuspectRange& s : d.suspects)
        if (k >= s.firstByte && k <= s.lastByte) return true;
    return false;
}

// Whether the last bytes of `d`, from byte `from` on, are the last of `image`.
bool endsAsImage(const Decoded& d, size_t from, const Bytes& image)
{
    size_t n = d.bytes.size() - from;
    return n <= image.size() && Bytes(d.bytes.begin() + static_cast<long>(from), d.bytes.end()) ==
                                    Bytes(image.end() - static_cast<long>(n), image.end());
}

double speedOf(double, const void* context) { return *static_cast<const double*>(context); }

double wowAndFlutter(double seconds, const void*)
{
    return 1 + 0.01 * std::sin(2 * pi * 0.5 * seconds) + 0.003 * std::sin(2 * pi * 6 * seconds);
}

class RobustDecoderTest : public ScratchTest {};

TEST_F(RobustDecoderTest, CleanRecordingsGiveTheBytesOfTheDefaultPath)
{
    // A header block alone, runs of equal bytes, and a long random image.
    Bytes runs(40, 0x00);
    runs.insert(runs.end(), 40, 0xFF);
    for (const Bytes& image : {randomImage(9, 1), runs, randomImage(700, 2)}) {
        for (int rate : {8000, 11025, 22050}) {
            Bytes samples = synthesizeTapeSignal(image, rate);
            holdInSlot(samples, rate);
            std::string path = folder + "clean.wav";
            ASSERT_EQ(decodeRecording(nullptr, path.c_str()), 1);
            Bytes plain = readFileBytes(tapeImageNameFor(path.c_str()));
            ASSERT_EQ(plain, image) << rate;

            Decoded robust = decode(fromUnsigned8(samples), rate);
            EXPECT_EQ(robust.bytes, plain) << rate << " " << image.size();
            EXPECT_TRUE(robust.suspects.empty()) << rate << " " << image.size();
        }
    }
}

TEST_F(RobustDecoderTest, QuietNoisyInvertedHummingAndWobblingRecordingsDecode)
{
    const Bytes image = randomImage(300, 3);
    const double slow = 0.9, fast = 1.1;
    struct Case {
        const char* name;
        int rate;
        Floats samples;
    } cases[] = {
        {"-30 dBFS", 48000, synthesizeTapeFloats(image, 48000)},
        {"noise at 6 dB", 44100, synthesizeTapeFloats(image, 44100)},
        {"inverted", 22050, synthesizeTapeFloats(image, 22050)},
        {"hum and offset", 11025, synthesizeTapeFloats(image, 11025)},
        {"10 % slow", 44100, synthesizeTapeFloats(image, 44100, speedOf, &slow)},
        {"10 % fast", 11025, synthesizeTapeFloats(image, 11025, speedOf, &fast)},
        {"wow and flutter", 44100, synthesizeTapeFloats(image, 44100, wowAndFlutter)},
    };
    scaleLevel(cases[0].samples, std::pow(10.0, -30 / 20.0));
    addWhiteNoise(cases[1].samples, 6.0, 5);
    invertPolarity(cases[2].samples);
    addHum(cases[3].samples, 11025, 50.0, 0.47, 0.2);
    for (const Case& c : cases) EXPECT_EQ(decode(c.samples, c.rate).bytes, image) << c.name;
}

TEST_F(RobustDecoderTest, AHeadOutOfLineLosingTheHighToneInHissDecodes)
{
    // Two passes of a second-order low-pass at 1.6 kHz take the high tone about 13 dB
    // further down than the low one, beyond what a ratio of the two equalises; at
    // 1.3 kHz 17 dB, where the leading tone barely clears the hiss and a few cells are
    // too weak to be sure of.
    const Bytes image = randomImage(300, 11);
    const struct {
        int rate;
        double hertz;
    } cases[] = {{11025, 1600.0}, {44100, 1600.0}, {11025, 1300.0}, {44100, 1300.0}};
    for (const auto& c : cases) {
        Bytes samples = synthesizeTapeSignal(image, c.rate);
        secondOrderLowPass(samples, c.rate, c.hertz, 2);
        addWhiteNoise(samples, 20.0, 12);
        Decoded d = decode(fromUnsigned8(samples), c.rate);
        EXPECT_EQ(d.bytes, image) << c.rate << " " << c.hertz;
        if (c.hertz == 1600.0) {
            EXPECT_TRUE(d.suspects.empty()) << c.rate;
        }
    }
}

TEST_F(RobustDecoderTest, HissBeforeTheLeaderGivesNoBytes)
{
    // Leading silences of hiss in 8 bits, a step or two about 128: among these, frames
    // seem to start now and then, but no steady tone leads to them.
    for (unsigned seed = 0; seed < 10; ++seed) {
        Bytes image = randomImage(600, 1000 + seed);
        Bytes samples = synthesizeTapeSignal(image, 22050);
        addWhiteNoise(samples, 30.0, 2000 + seed);
        EXPECT_EQ(decode(fromUnsigned8(samples), 22050).bytes, image) << seed;
    }
}

TEST_F(RobustDecoderTest, ADropoutIsSuspectAtItsBytesAndTheCountHolds)
{
    const int rate = 22050;
    const Bytes image = randomImage(200, 4);
    Floats samples = synthesizeTapeFloats(image, rate);
    // 30 ms of silence from the middle of byte 100's data: three bytes are lost.
    const double from = startOfByte(100, rate) + 5.0 / 1200;
    for (size_t k = static_cast<size_t>(from * rate); k < static_cast<size_t>((from + 0.03) * rate); ++k)
        samples[k] = 0.0f;

    Decoded d = decode(samples, rate);
    ASSERT_EQ(d.bytes.size(), image.size());
    ASSERT_EQ(d.suspects.size(), 1u);
    const SuspectRange& s = d.suspects[0];
    EXPECT_EQ(s.reason, SuspectReason::SignalLost);
    EXPECT_EQ(s.firstByte, 100u);
    EXPECT_GE(s.lastByte, 102u);
    EXPECT_LE(s.lastByte, 103u);
    EXPECT_NEAR(s.seconds, startOfByte(100, rate), 0.002);
    for (size_t k = 0; k < image.size(); ++k) {
        if (k < s.firstByte || k > s.lastByte) {
            EXPECT_EQ(d.bytes[k], image[k]) << k;
        }
    }
}

TEST_F(RobustDecoderTest, AHighStartCellIsAFramingSuspectAndItsByteKept)
{
    const int rate = 44100;
    Bytes image = randomImage(200, 5);
    image[120] = 0x0F;
    Floats samples = synthesizeTapeFloats(image, rate);
    // The start cell of byte 120 sounds as a high cell.
    const double from = startOfByte(120, rate);
    soundCell(samples, rate, from, 2400, -1 / 1.32);

    Decoded d = decode(samples, rate);
    EXPECT_EQ(d.bytes, image);
    ASSERT_EQ(d.suspects.size(), 1u);
    EXPECT_EQ(d.suspects[0].firstByte, 120u);
    EXPECT_EQ(d.suspects[0].lastByte, 120u);
    EXPECT_EQ(d.suspects[0].reason, SuspectReason::Framing);
}

TEST_F(RobustDecoderTest, ALoneFrameInTheLeaderIsAFramingSuspect)
{
    const int rate = 44100;
    const Bytes image = randomImage(100, 6);
    Floats samples = synthesizeTapeFloats(image, rate);
    // A cell in the middle of the leader sounds low, as hiss can make it: with the high
    // cells after it, a frame of 0xFF that no block holds.
    const double from = startOfByte(0, rate) - 2400.0 / 1200;
    soundCell(samples, rate, from, 1200, 1);

    Decoded d = decode(samples, rate);
    ASSERT_EQ(d.bytes.size(), image.size() + 1);
    EXPECT_EQ(d.bytes[0], 0xFF);
    EXPECT_EQ(Bytes(d.bytes.begin() + 1, d.bytes.end()), image);
    ASSERT_EQ(d.suspects.size(), 1u);
    EXPECT_EQ(d.suspects[0].firstByte, 0u);
    EXPECT_EQ(d.suspects[0].lastByte, 0u);
    EXPECT_EQ(d.suspects[0].reason, SuspectReason::Framing);
}

TEST_F(RobustDecoderTest, ALoneFrameOfHissTeachesNothing)
{
    // Hiss at 4 dB that sounds as a start cell in the leader, 0.9 s before its end: the
    // lone frame's levels must not stand, or the hiss it took for the low tone sets the
    // ratio by which every later frame is sought, and the tape is never found.
    const int rate = 11025;
    const Bytes image = randomImage(600, 1195);
    Bytes samples = synthesizeTapeSignal(image, rate);
    addWhiteNoise(samples, 4.0, 2195);

    Decoded d = decode(fromUnsigned8(samples), rate);
    ASSERT_EQ(d.bytes.size(), image.size() + 1);
    ASSERT_FALSE(d.suspects.empty());
    EXPECT_EQ(d.suspects[0].firstByte, 0u);
    size_t same = 0;
    for (size_t k = 0; k < image.size(); ++k) same += d.bytes[k + 1] == image[k];
    EXPECT_GT(same, image.size() * 95 / 100);
}

// The suspect ranges hold exactly the bytes whose confidence lies below the line.
void expectSuspectsBelowTheLine(const RobustDecoder& decoder, const std::string& what)
{
    const std::vector<float>& confidence = decoder.confidences();
    ASSERT_EQ(confidence.size(), decoder.bytes().size()) << what;
    std::vector<bool> inRange(confidence.size(), false);
    for (const SuspectRange& s : decoder.suspects())
        for (uint32_t k = s.firstByte; k <= s.lastByte; ++k) inRange.at(k) = true;
    for (size_t k = 0; k < confidence.size(); ++k)
        EXPECT_EQ(inRange[k], confidence[k] < suspectConfidence) << what << " byte " << k;
}

TEST_F(RobustDecoderTest, ConfidenceFallsBelowTheLineOnWrongBytesAndOnlyWhereDoubtful)
{
    // A dull head blurs every cell into the next, but under moderate hiss no byte is in
    // doubt; under hiss as loud as the tones the wrong bytes all are, and fewer than one
    // byte in twenty in all.
    for (int rate : {11025, 44100}) {
        const Bytes image = randomImage(600, 7);
        Bytes samples = synthesizeTapeSignal(image, rate);
        secondOrderLowPass(samples, rate, 2200.0, 2);
        addWhiteNoise(samples, 20.0, 8);
        RobustDecoder decoder(rate);
        Floats floats = fromUnsigned8(samples);
        decoder.feed(floats.data(), floats.size());
        decoder.finish();
        ASSERT_EQ(decoder.bytes(), image) << rate;
        for (float c : decoder.confidences()) ASSERT_GE(c, suspectConfidence) << rate;
        expectSuspectsBelowTheLine(decoder, "dull head");
    }
    size_t wrong = 0, doubtful = 0, total = 0;
    for (unsigned seed = 0; seed < 3; ++seed) {
        const Bytes image = randomImage(600, 10 + seed);
        Bytes samples = synthesizeTapeSignal(image, 44100);
        addWhiteNoise(samples, 0.0, 20 + seed);
        RobustDecoder decoder(44100);
        Floats floats = fromUnsigned8(samples);
        decoder.feed(floats.data(), floats.size());
        decoder.finish();
        expectSuspectsBelowTheLine(decoder, "hiss at 0 dB");
        ASSERT_EQ(decoder.bytes().size(), image.size()) << seed;
        for (size_t k = 0; k < image.size(); ++k) {
            bool below = decoder.confidences()[k] < suspectConfidence;
            doubtful += below;
            if (decoder.bytes()[k] == image[k]) continue;
            ++wrong;
            EXPECT_TRUE(below) << seed << " byte " << k;
        }
        total += image.size();
    }
    EXPECT_GT(wrong, 0u);
    EXPECT_LT(doubtful * 20, total);
}

TEST_F(RobustDecoderTest, BlocksOfAnySizeGiveTheSameResult)
{
    const int rate = 11025;
    Floats noisy = synthesizeTapeFloats(randomImage(150, 6), rate);
    addWhiteNoise(noisy, 5.0, 8);
    // A head far out of line: the channel is measured on frames read ahead of the first.
    Bytes dull = synthesizeTapeSignal(randomImage(150, 6), rate);
    secondOrderLowPass(dull, rate, 1300.0, 2);
    addWhiteNoise(dull, 20.0, 8);
    for (const Floats& samples : {noisy, fromUnsigned8(dull)}) {
        Decoded whole = decode(samples, rate);
        ASSERT_FALSE(whole.suspects.empty());
        for (std::vector<size_t> blocks : {std::vector<size_t>{1}, {3, 4093, 17}, {65536}}) {
            Decoded parts = decode(samples, rate, blocks);
            EXPECT_EQ(parts.bytes, whole.bytes);
            ASSERT_EQ(parts.suspects.size(), whole.suspects.size());
            for (size_t k = 0; k < whole.suspects.size(); ++k) {
                EXPECT_EQ(parts.suspects[k].firstByte, whole.suspects[k].firstByte);
                EXPECT_EQ(parts.suspects[k].lastByte, whole.suspects[k].lastByte);
                EXPECT_EQ(parts.suspects[k].seconds, whole.suspects[k].seconds);
                EXPECT_EQ(parts.suspects[k].reason, whole.suspects[k].reason);
            }
        }
    }
}

TEST_F(RobustDecoderTest, ALongLossIsCountedAsMissingBytesAtTheSpeedBeforeIt)
{
    const int rate = 22050;
    const Bytes image = randomImage(400, 9);
    // The last case comes back in the gap after the opening 16 bytes, which it hides.
    const struct {
        double speed, seconds;
        size_t byte;
    } cases[] = {{1.0, 0.4, 200}, {1.0, 1.0, 200}, {0.985, 0.15, 200}, {1.03, 0.15, 200},
                 {0.97, 0.15, 200}, {1.0, 0.4, 4}};
    for (const auto& c : cases) {
        Floats samples = synthesizeTapeFloats(image, rate, speedOf, &c.speed);
        // From inside the byte's data.
        const double from = startOfByte(c.byte, rate, c.speed) + 5.5 / 1200 / c.speed;
        silenceFrom(samples, rate, from, c.seconds);

        Decoded d = decode(samples, rate);
        ASSERT_EQ(d.losses.size(), 1u) << c.speed << " " << c.seconds;
        const SignalLoss& loss = d.losses[0];
        EXPECT_EQ(d.bytes.size() + loss.missingBytes, image.size()) << c.speed << " " << c.seconds;
        EXPECT_LE(loss.missingBytes, c.seconds * 100 * c.speed + 2);
        EXPECT_NEAR(loss.seconds, from, 0.012);
        EXPECT_NEAR(loss.duration, c.seconds, 0.012);
        // Every byte wrong before the loss is suspect, and after it the bytes are right.
        for (size_t k = 0; k < loss.bytesBefore; ++k)
            EXPECT_TRUE(d.bytes[k] == image[k] || inSuspectRange(d, k)) << k;
        EXPECT_TRUE(endsAsImage(d, loss.bytesBefore, image)) << c.speed << " " << c.seconds;
    }
}

TEST_F(RobustDecoderTest, AfterASpliceTheFramesAreFoundAgainWithinAFewBytes)
{
    const int rate = 44100;
    const Bytes image = randomImage(300, 10);
    for (double cut : {0.0537, 0.1012, 0.0066}) {
        Floats samples = synthesizeTapeFloats(image, rate);
        // Cut out from inside byte 150's data.
        const double from = startOfByte(150, rate) + 6.3 / 1200;
        cutOut(samples, rate, from, cut);

        Decoded d = decode(samples, rate);
        EXPECT_TRUE(d.losses.empty()) << cut;
        ASSERT_EQ(d.suspects.size(), 1u) << cut;
        const SuspectRange& s = d.suspects[0];
        EXPECT_GE(s.firstByte, 148u) << cut;
        EXPECT_LE(s.lastByte, 150u + 8u) << cut;
        EXPECT_EQ(Bytes(d.bytes.begin(), d.bytes.begin() + s.firstByte),
                  Bytes(image.begin(), image.begin() + s.firstByte)) << cut;
        EXPECT_TRUE(endsAsImage(d, s.lastByte + 1, image)) << cut;
    }
}

TEST_F(RobustDecoderTest, ARecordingCutInsideTheDataSaysSoAtEitherEnd)
{
    // Random bytes, and bytes that step by three: data that repeats holds frames that
    // seem to follow one another at other places too.
    Bytes steps(300);
    for (size_t k = 0; k < steps.size(); ++k) steps[k] = static_cast<uint8_t>(3 * k);
    const struct {
        Bytes image;
        int rate;
        Floats whole;
        size_t cutByte;
    } cases[] = {{randomImage(300, 11), 22050, synthesizeTapeFloats(randomImage(300, 11), 22050), 100},
                 {steps, 8000, fromUnsigned8(synthesizeTapeSignal(steps, 8000)), 36}};
    for (const auto& c : cases) {
        Decoded all = decode(c.whole, c.rate);
        EXPECT_FALSE(all.startsInside || all.endsInside);

        const long into = static_cast<long>((startOfByte(c.cutByte, c.rate) + 4.4 / 1200) * c.rate);
        Decoded late = decode(Floats(c.whole.begin() + into, c.whole.end()), c.rate);
        EXPECT_TRUE(late.startsInside);
        EXPECT_FALSE(late.endsInside);
        EXPECT_GE(late.bytes.size(), c.image.size() - c.cutByte - 5);
        EXPECT_TRUE(endsAsImage(late, 0, c.image)) << c.rate;

        Decoded early = decode(Floats(c.whole.begin(), c.whole.begin() + into), c.rate);
        EXPECT_FALSE(early.startsInside);
        EXPECT_TRUE(early.endsInside);
        EXPECT_EQ(early.bytes, Bytes(c.image.begin(), c.image.begin() + static_cast<long>(c.cutByte)));
    }
}

}  // namespace
