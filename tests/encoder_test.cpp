#include <limits>
#include <algorithm>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <utility>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/encoder.h"
#include "core/loaded_data.h"
#include "core/tape_loader.h"
#include "settings/settings.h"
#include "tests/fake_platform.h"
#include "tests/test_files.h"

namespace {

uint32_t uint32At(const Bytes& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

// The lowest and the highest sample in the output's buffer.
std::pair<int, int> rangeOf(const RecordingOutput& output)
{
    const uint8_t* end = output.buffer + output.used;
    return {*std::min_element(output.buffer, end), *std::max_element(output.buffer, end)};
}

// Writes 16 cells of factor 1.0 from phase 0 into the empty buffer.
void writeSixteenCells(RecordingOutput* output, bool high)
{
    output->file = nullptr;
    output->used = 0;
    double phase = 0.0;
    for (int c = 0; c < 16; ++c)
        high ? writeHighCell(phase, output, 1.0) : writeLowCell(phase, output, 1.0);
}

class Encoder : public ScratchTest {
protected:
    // Loads an image of `size` bytes through the loader and encodes it; returns the WAV.
    Bytes encode(size_t size, double slowness, const std::string& name = "GAME.p6")
    {
        Bytes image(size);
        for (size_t k = 0; k < size; ++k) image[k] = static_cast<uint8_t>(k * 37 + 5);
        std::string path = folder + name;
        writeFileBytes(path, image);
        FILE* file = std::fopen(path.c_str(), "rb");
        EXPECT_EQ(loadTapeImage(file), -1);
        std::fclose(file);
        conversionSettings.outputSlowness = slowness;
        EXPECT_EQ(encodeTapeImage(nullptr, path.c_str()), 1);
        return readFileBytes(recordingNameFor(path.c_str()));
    }

};

TEST_F(Encoder, SampleCountsAndSizesOfTheRecording)
{
    struct Case { size_t bytes; double slowness; uint32_t samples; };
    const Case cases[] = {{16, 1.0, 62241},  {16, 16.0, 176212}, {17, 1.0, 62351},
                          {17, 16.0, 177976}, {100, 1.0, 71502}, {100, 16.0, 324388}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bytes << " bytes at " << c.slowness);
        EXPECT_EQ(countRecordingSamples(static_cast<uint32_t>(c.bytes), c.slowness), c.samples);
        Bytes wav = encode(c.bytes, c.slowness);
        ASSERT_EQ(wav.size(), c.samples + 44u);
        EXPECT_EQ(uint32At(wav, 4), c.samples + 36);
        EXPECT_EQ(uint32At(wav, 40), c.samples);
    }
}

// A recording that goes where it cannot be sought back, here a pipe, is counted before
// it is written; its bytes are those of the file.
TEST_F(Encoder, AnOutputThatCannotSeekGetsTheSameBytes)
{
    Bytes expected = encode(100, 3.5);
    std::string pipe = folder + "PIPE_.wav";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    Bytes received;
    std::thread reader([&] { received = readFileBytes(pipe); });
    Bytes image(100);
    for (size_t k = 0; k < image.size(); ++k) image[k] = static_cast<uint8_t>(k * 37 + 5);
    holdInSlot(image, 11025);
    EXPECT_EQ(encodeTapeImage(nullptr, (folder + "PIPE.p6").c_str()), 1);
    reader.join();
    EXPECT_EQ(received, expected);
}

TEST_F(Encoder, HeaderBytesAndTheFirstCells)
{
    Bytes wav = encode(16, 1.0);
    const uint8_t header[44] = {
        'R', 'I', 'F', 'F', 0x45, 0xF3, 0x00, 0x00, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
        16, 0, 0, 0, 1, 0, 1, 0, 0x11, 0x2B, 0, 0, 0x11, 0x2B, 0, 0, 1, 0, 8, 0,
        'd', 'a', 't', 'a', 0x21, 0xF3, 0x00, 0x00};
    EXPECT_EQ(Bytes(wav.begin(), wav.begin() + 44), Bytes(header, header + 44));

    // 5000 samples of silence, then the leader.
    for (size_t k = 44; k < 5044; ++k) ASSERT_EQ(wav[k], 128) << k;
    const Bytes firstLeaderCell = {128, 39, 92, 203, 194, 80, 43, 142, 219, 151};
    EXPECT_EQ(Bytes(wav.begin() + 5044, wav.begin() + 5054), firstLeaderCell);
    // Silence at the end too.
    for (size_t k = wav.size() - 5000; k < wav.size(); ++k) ASSERT_EQ(wav[k], 128) << k;
}

TEST_F(Encoder, CellShapesAndRanges)
{
    static RecordingOutput output;
    output.file = nullptr;
    output.used = 0;
    double phase = 0.0;
    writeLowCell(phase, &output, 1.0);
    EXPECT_EQ(Bytes(output.buffer, output.buffer + output.used),
              Bytes({128, 52, 10, 22, 81, 161, 226, 248, 215, 143}));
    EXPECT_GE(phase, 0.0);
    EXPECT_LT(phase, 1.0 / 11025);

    // Over 16 cells of factor 1.0 the cells take exactly 147 samples.
    writeSixteenCells(&output, true);
    EXPECT_EQ(output.used, 147u);
    EXPECT_EQ(rangeOf(output), std::make_pair(37, 219));
    writeSixteenCells(&output, false);
    EXPECT_EQ(rangeOf(output), std::make_pair(8, 248));

    // With a ratio of 1.0 the high tone has the low tone's amplitude; with a tiny ratio
    // the samples are clipped to what a byte holds, never wrapped.
    conversionSettings.outputRatio = 1.0;
    writeSixteenCells(&output, true);
    EXPECT_EQ(rangeOf(output), std::make_pair(8, 248));
    conversionSettings.outputRatio = 0.01;
    writeSixteenCells(&output, true);
    EXPECT_EQ(rangeOf(output), std::make_pair(0, 255));
}

TEST_F(Encoder, ShortImagesFrameOnlyTheBytesThatExist)
{
    for (size_t size : {0, 1, 15}) {
        Bytes wav = encode(size, 1.0);
        uint32_t n = static_cast<uint32_t>(countRecordingSamples(static_cast<uint32_t>(size), 1.0));
        ASSERT_EQ(wav.size(), n + 44u);
        EXPECT_EQ(uint32At(wav, 40), n);
    }
    // An empty image still has silences, leader, gap and trailer.
    EXPECT_EQ(countRecordingSamples(0, 1.0), 5000 + 44100 + 5835 + 542 + 5000u);
}

TEST_F(Encoder, OutputNamesAndFailures)
{
    EXPECT_EQ(recordingNameFor("C:\\TAPES\\GAME.P6"), "C:\\TAPES\\GAME_.wav");
    EXPECT_EQ(recordingNameFor("x.p6"), "x_.wav");

    holdInSlot(Bytes(20, 0x41), 11025);
    std::string missingFolder = folder + "no-such-folder/GAME.p6";
    clearRecordedPlatform();
    EXPECT_EQ(encodeTapeImage(nullptr, missingFolder.c_str()), 0);
    ASSERT_EQ(recordedPlatform.messages.size(), 1u);
    EXPECT_EQ(recordedPlatform.messages[0].text,
              folder + "no-such-folder/GAME_.wav は書き込めません");
    EXPECT_EQ(recordedPlatform.cursors, "WA");
    EXPECT_EQ(loadedDataSlot.held, 1);  // the image stays for the listing

    // A disk that fills up: reported, never passed off as success; the recording there
    // before stays whole, and no part of the new one is left beside it.
    std::string full = folder + "FULL.p6";
    const Bytes earlier(100000, 0x80);
    writeFileBytes(folder + "FULL_.wav", earlier);
    clearRecordedPlatform();
    {
        FileSizeLimit fullDisk(30000);
        EXPECT_EQ(encodeTapeImage(nullptr, full.c_str()), 0);
    }
    ASSERT_EQ(recordedPlatform.messages.size(), 1u);
    EXPECT_EQ(recordedPlatform.messages[0].text, folder + "FULL_.wav は書き込めません");
    EXPECT_EQ(recordedPlatform.cursors, "WA");
    EXPECT_EQ(readFileBytes(folder + "FULL_.wav"), earlier);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"FULL_.wav"});
}

TEST_F(Encoder, RefusesARecordingTooLargeForItsHeader)
{
    // 3 MB at 16.0 needs about 5.3e9 samples, more than 32 bits of header hold.
    EXPECT_GT(countRecordingSamples(3000000, 16.0), largestSampleCount);
    EXPECT_GT(countRecordingSamples(16, 1e300), largestSampleCount);
    EXPECT_GT(countRecordingSamples(1, 4.2e7), largestSampleCount);  // the gap alone is too long
    EXPECT_GT(countRecordingSamples(16, std::numeric_limits<double>::infinity()), largestSampleCount);
    // A size well inside the limit is still counted exactly.
    EXPECT_EQ(countRecordingSamples(100, 16.0), 324388u);

    holdInSlot(Bytes(16, 1), 11025);
    conversionSettings.outputSlowness = 1e300;
    std::string path = folder + "HUGE.p6";
    EXPECT_EQ(encodeTapeImage(nullptr, path.c_str()), 0);
    ASSERT_EQ(recordedPlatform.messages.size(), 1u);
    EXPECT_EQ(recordedPlatform.messages[0].text, path + " は大きすぎます。");
    EXPECT_EQ(recordedPlatform.cursors, "WA");
    EXPECT_FALSE(fileExists(folder + "HUGE_.wav"));
}

}  // namespace
