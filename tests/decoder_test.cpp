#include <algorithm>
#include <random>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/decoder.h"
#include "core/encoder.h"
#include "core/loaded_data.h"
#include "core/tape_loader.h"
#include "core/wave_reader.h"
#include "settings/settings.h"
#include "tests/fake_platform.h"
#include "tests/test_files.h"
#include "tools/signal_synthesis.h"

namespace {

// Every byte value once, in random order, then random bytes.
Bytes imageWithEveryByte(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes image(256);
    for (int k = 0; k < 256; ++k) image[k] = static_cast<uint8_t>(k);
    std::shuffle(image.begin(), image.end(), random);
    while (image.size() < size) image.push_back(static_cast<uint8_t>(random()));
    return image;
}

class Decoder : public ScratchTest {
protected:
    // Loads a WAV file through the reader and decodes it; returns the tape image.
    Bytes decodeFile(const std::string& path)
    {
        FILE* file = std::fopen(path.c_str(), "rb");
        EXPECT_EQ(readWaveFile(file), -1);
        std::fclose(file);
        EXPECT_EQ(decodeRecording(nullptr, path.c_str()), 1);
        return readFileBytes(tapeImageNameFor(path.c_str()));
    }

    // Decodes `samples` held as a recording at `rate` under the name game.wav.
    int decodeSamples(const Bytes& samples, uint32_t rate)
    {
        holdInSlot(samples, rate);
        return decodeRecording(nullptr, (folder + "game.wav").c_str());
    }

};

TEST_F(Decoder, RecordingsTheEncoderWritesDecodeToTheirImage)
{
    for (unsigned seed : {1u, 2u, 3u}) {
        Bytes image = imageWithEveryByte(300 + 50 * seed, seed);
        std::string p6 = folder + "TAPE.p6";
        writeFileBytes(p6, image);
        FILE* file = std::fopen(p6.c_str(), "rb");
        ASSERT_EQ(loadTapeImage(file), -1);
        std::fclose(file);
        ASSERT_EQ(encodeTapeImage(nullptr, p6.c_str()), 1);
        EXPECT_EQ(decodeFile(folder + "TAPE_.wav"), image) << "seed " << seed;
    }
    EXPECT_TRUE(recordedPlatform.messages.empty());
}

TEST_F(Decoder, TheSameFramingAtOtherSampleRates)
{
    Bytes image = imageWithEveryByte(400, 9);
    for (int rate : {8000, 11025, 22050, 44100, 48000}) {
        std::string path = folder + "rate" + std::to_string(rate) + ".wav";
        writeFileBytes(path, makeWaveFile(synthesizeTapeSignal(image, rate), rate));
        EXPECT_EQ(decodeFile(path), image) << rate << " samples a second";
    }
}

TEST_F(Decoder, LoudnessThresholdsOfTheStartSearch)
{
    std::string p6 = folder + "game.P6";
    for (uint8_t quiet : {117, 137}) {
        Bytes samples(2000, 127);
        samples[10] = quiet;
        writeFileBytes(p6, Bytes({1, 2, 3}));
        clearRecordedPlatform();
        EXPECT_EQ(decodeSamples(samples, 11025), 0);
        ASSERT_EQ(recordedPlatform.messages.size(), 1u);
        EXPECT_EQ(recordedPlatform.messages[0].text, folder + "game.wav は音量が足りません");
        EXPECT_EQ(recordedPlatform.cursors, "WA");
        // A silent recording leaves an existing tape image of its name alone.
        EXPECT_EQ(readFileBytes(p6), Bytes({1, 2, 3}));
    }
    for (uint8_t loud : {116, 138}) {
        Bytes samples(2000, 127);
        samples[10] = loud;
        clearRecordedPlatform();
        EXPECT_EQ(decodeSamples(samples, 11025), 1) << int(loud);
        EXPECT_TRUE(recordedPlatform.messages.empty());
        EXPECT_EQ(readFileBytes(p6), Bytes());
    }
}

TEST_F(Decoder, NothingLoudBeforeTheLastSampleIsRefused)
{
    Bytes lastOnly(500, 127);
    lastOnly.back() = 0;
    EXPECT_EQ(decodeSamples(lastOnly, 11025), 0);
    EXPECT_EQ(decodeSamples(Bytes(), 11025), 0);
    EXPECT_EQ(recordedPlatform.messages.size(), 2u);
    EXPECT_FALSE(fileExists(folder + "game.P6"));
}

TEST_F(Decoder, RunsThatFindNoByteGiveAnEmptyImageWithoutMessage)
{
    Bytes tape = synthesizeTapeSignal(imageWithEveryByte(300, 4), 11025);
    std::string p6 = folder + "game.P6";

    // Below 1200 samples a second a period has no samples.
    EXPECT_EQ(decodeSamples(tape, 1000), 1);
    EXPECT_EQ(readFileBytes(p6), Bytes());

    // An empty measurement window: the centre is 0/0 and no crossing counts.
    for (double seconds : {0.0, -1.0, 0.00005}) {
        conversionSettings.firstToneSeconds = seconds;
        EXPECT_EQ(decodeSamples(tape, 11025), 1);
        EXPECT_EQ(readFileBytes(p6), Bytes()) << seconds;
    }
    conversionSettings.firstToneSeconds = 2.0;

    // A rate that is negative as a signed number measures nothing.
    EXPECT_EQ(decodeSamples(tape, 0x80000000u), 1);
    EXPECT_EQ(readFileBytes(p6), Bytes());
    EXPECT_TRUE(recordedPlatform.messages.empty());
    EXPECT_EQ(recordedPlatform.cursors, "WAWAWAWAWA");
}

TEST_F(Decoder, WindowsThatWouldReachPastTheRecordingAreClipped)
{
    // The recording ends 50 samples after its loud start: skip and window are cut short.
    Bytes samples(60, 127);
    samples[9] = 0;
    for (int k = 10; k < 60; ++k) samples[k] = static_cast<uint8_t>(k % 2 ? 40 : 200);
    conversionSettings.firstToneSeconds = 1e300;
    EXPECT_EQ(decodeSamples(samples, 11025), 1);
    EXPECT_EQ(readFileBytes(folder + "game.P6"), Bytes());
    holdInSlot(samples, 48000);  // a skip longer than the whole recording
    EXPECT_EQ(decodeRecording(nullptr, (folder + "game.wav").c_str()), 1);
}

TEST_F(Decoder, OutputNamesAndFailures)
{
    EXPECT_EQ(tapeImageNameFor("game.wav"), "game.P6");
    EXPECT_EQ(tapeImageNameFor("D:\\T\\GAME.WAV"), "D:\\T\\GAME.P6");

    Bytes image = imageWithEveryByte(256, 5);
    Bytes tape = synthesizeTapeSignal(image, 11025);
    writeFileBytes(folder + "GAME.P6", Bytes(1000, 7));
    holdInSlot(tape, 11025);
    EXPECT_EQ(decodeRecording(nullptr, (folder + "GAME.WAV").c_str()), 1);
    EXPECT_EQ(readFileBytes(folder + "GAME.P6"), image);  // replaced
    ASSERT_EQ(recordedPlatform.written.size(), 1u);
    EXPECT_EQ(recordedPlatform.written[0], folder + "GAME.P6");

    clearRecordedPlatform();
    std::string missing = folder + "no-such-folder/game.wav";
    EXPECT_EQ(decodeRecording(nullptr, missing.c_str()), 0);
    ASSERT_EQ(recordedPlatform.messages.size(), 1u);
    EXPECT_EQ(recordedPlatform.messages[0].text, folder + "no-such-folder/game.P6 は書き込めません");
    EXPECT_EQ(recordedPlatform.cursors, "WA");

    // Writes that fail on a full disk are reported, not passed off, and the image
    // already there stays whole, with nothing left beside it.
    clearRecordedPlatform();
    const Bytes earlier(300, 9);
    writeFileBytes(folder + "full.P6", earlier);
    {
        FileSizeLimit fullDisk(100);
        EXPECT_EQ(decodeRecording(nullptr, (folder + "full.wav").c_str()), 0);
    }
    ASSERT_EQ(recordedPlatform.messages.size(), 1u);
    EXPECT_EQ(recordedPlatform.messages[0].text, folder + "full.P6 は書き込めません");
    EXPECT_EQ(recordedPlatform.cursors, "WA");
    EXPECT_EQ(readFileBytes(folder + "full.P6"), earlier);
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"GAME.P6", "full.P6"}));
}

}  // namespace
