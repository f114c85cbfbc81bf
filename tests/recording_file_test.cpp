// --robust's reading of recording files: every format libsndfile reads, one channel of
// it, streamed through the robust decoder.
#include <cmath>
#include <limits>
#include <random>
#include <sndfile.h>

#include <gtest/gtest.h>

#include "core/dispatch.h"
#include "signal/recording_file.h"
#include "tests/sound_files.h"
#include "tools/signal_synthesis.h"

namespace {

class RecordingFile : public ScratchTest {};

TEST_F(RecordingFile, EveryFormatDecodesToItsImage)
{
    const Bytes image = randomImage(300, 1);
    const struct {
        const char* name;
        int format, rate;
    } files[] = {
        {"u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 22050},
        {"16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100},
        {"24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000},
        {"32.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 44100},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 96000},
        {"double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 44100},
        {"extensible.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 48000},
        {"rf64.wav", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 44100},
        {"w64.wav", SF_FORMAT_W64 | SF_FORMAT_PCM_24, 44100},
        {"tape.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 44100},
        {"tape.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000},
        {"24.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 11025},
    };
    for (const auto& f : files) {
        writeSoundFile(folder + f.name, f.format, f.rate, 1, tapeSignal(image, f.rate));
        RecordingDecoding d = decodeRecordingFile(folder + f.name, 0);
        EXPECT_EQ(d.error.kind + d.readError.kind, RecordingProblem::None) << f.name;
        EXPECT_EQ(d.bytes, image) << f.name;
        EXPECT_TRUE(d.suspects.empty()) << f.name;
        EXPECT_EQ(d.channels * 10 + d.channel, 11) << f.name;
        // The synthesized tones swing 120 of 128 steps about the centre.
        EXPECT_NEAR(d.peakDecibels, 20 * std::log10(120 / 128.0), 0.1) << f.name;
    }
}

TEST_F(RecordingFile, ACleanRecordingGivesTheBytesOfTheDefaultPath)
{
    for (int rate : {11025, 44100}) {
        std::string path = folder + "clean" + std::to_string(rate) + ".wav";
        writeFileBytes(path, makeWaveFile(synthesizeTapeSignal(randomImage(500, rate), rate), rate));
        dispatchDroppedName(nullptr, path.c_str());
        Bytes plain = readFileBytes(folder + "clean" + std::to_string(rate) + ".P6");
        ASSERT_EQ(plain.size(), 500u);
        EXPECT_EQ(decodeRecordingFile(path, 0).bytes, plain) << rate;
    }
}

TEST_F(RecordingFile, FloatSamplesOnTheScaleOfIntegersAndNaN)
{
    // Some programs write float samples on the scale of 16-bit integers, and a float
    // file can hold NaN, which reads as silence.
    const Bytes image = randomImage(200, 2);
    std::vector<float> loud = tapeSignal(image, 44100, 32768.0);
    loud[100] = loud[101] = std::nanf("");
    writeSoundFile(folder + "loud.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, loud);
    RecordingDecoding d = decodeRecordingFile(folder + "loud.wav", 0);
    EXPECT_EQ(d.bytes, image);
    EXPECT_NEAR(d.peakDecibels, 20 * std::log10(120 * 256.0), 0.05);
}

TEST_F(RecordingFile, TheChannelThatCarriesTheTapeIsChosen)
{
    const Bytes image = randomImage(250, 3);
    std::mt19937 random(5);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    // Channel 1 louder than the tape: hiss and hum; channel 3 silent.
    std::vector<float> frames;
    size_t n = 0;
    for (float x : tapeSignal(image, 48000, 0.3))
        frames.insert(frames.end(), {noise(random) + 0.4f * std::sin(2 * 3.14159265f * 50 * n++ / 48000), x, 0.0f});
    writeSoundFile(folder + "three.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 3, frames);
    // From the file and from memory, where reading twice goes through the virtual file.
    Bytes held = readFileBytes(folder + "three.flac");
    for (const RecordingDecoding& d :
         {decodeRecordingFile(folder + "three.flac", 0), decodeRecordingInMemory(held.data(), held.size(), 0)}) {
        EXPECT_EQ(d.channels * 10 + d.channel, 32);
        EXPECT_EQ(d.bytes, image);
        EXPECT_NEAR(d.peakDecibels, 20 * std::log10(0.3 * 120 / 128.0), 0.05);
    }
    // Progress runs over both passes, to their end.
    uint64_t lastDone = 0, lastTotal = 0;
    bool ordered = true;
    decodeRecordingFile(folder + "three.flac", 0, [&](uint64_t done, uint64_t total) {
        ordered = ordered && done >= lastDone;
        lastDone = done;
        lastTotal = total;
    });
    EXPECT_TRUE(ordered);
    EXPECT_EQ(lastTotal, 2 * frames.size() / 3);
    EXPECT_EQ(lastDone, lastTotal);
    // Forced: that channel, whatever it holds.
    EXPECT_NE(decodeRecordingFile(folder + "three.flac", 1).bytes, image);
    EXPECT_EQ(decodeRecordingFile(folder + "three.flac", 3).peakDecibels, -std::numeric_limits<double>::infinity());
    RecordingDecoding none = decodeRecordingFile(folder + "three.flac", 4);
    EXPECT_EQ(none.error.kind, RecordingProblem::NoSuchChannel);
    EXPECT_EQ(none.error.number, 4);
    EXPECT_EQ(none.channels, 3);
    EXPECT_TRUE(none.bytes.empty());
}

TEST_F(RecordingFile, ADamagedFileGivesTheBytesBeforeTheDamageAndSaysWhere)
{
    const Bytes image = randomImage(400, 4);
    writeSoundFile(folder + "whole.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1, tapeSignal(image, 44100));
    Bytes file = readFileBytes(folder + "whole.flac");
    file.resize(file.size() * 4 / 5);
    writeFileBytes(folder + "cut.flac", file);
    RecordingDecoding d = decodeRecordingFile(folder + "cut.flac", 0);
    EXPECT_EQ(d.error.kind, RecordingProblem::None);
    EXPECT_EQ(d.readError.kind, RecordingProblem::Damaged);
    EXPECT_EQ(d.readError.seconds, d.seconds);
    EXPECT_LT(d.seconds, 10.0);
    EXPECT_NE(d.readError.detail.find("flac decoder lost sync"), std::string::npos) << d.readError.detail;
    ASSERT_GT(d.bytes.size(), 100u);
    EXPECT_LT(d.bytes.size(), image.size());
    EXPECT_EQ(Bytes(d.bytes.begin(), d.bytes.begin() + 100), Bytes(image.begin(), image.begin() + 100));
}

TEST_F(RecordingFile, AFileCutShortSaysWhereItEndsAndWhatItsHeaderPromised)
{
    const int rate = 44100;
    const Bytes image = randomImage(300, 5);
    const std::vector<float> tape = tapeSignal(image, rate);
    const double whole = static_cast<double>(tape.size()) / rate;
    const size_t kept = tape.size() * 3 / 4;
    for (int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_AIFF | SF_FORMAT_PCM_24}) {
        writeSoundFile(folder + "whole", format, rate, 1, tape);
        Bytes file = readFileBytes(folder + "whole");
        // The samples come last in both, after headers of fixed size.
        const size_t bytesPerFrame = (format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ? 2 : 3;
        file.resize(file.size() - (tape.size() - kept) * bytesPerFrame);
        writeFileBytes(folder + "cut", file);

        RecordingDecoding d = decodeRecordingFile(folder + "cut", 0);
        EXPECT_EQ(d.error.kind, RecordingProblem::None);
        EXPECT_EQ(d.readError.kind, RecordingProblem::EndsEarly);
        EXPECT_EQ(recordingTime(d.readError.seconds), recordingTime(static_cast<double>(kept) / rate));
        EXPECT_EQ(recordingTime(d.readError.promised), recordingTime(whole));
        ASSERT_GT(d.bytes.size(), 100u);
        EXPECT_EQ(d.bytes, Bytes(image.begin(), image.begin() + static_cast<long>(d.bytes.size())));
    }
    // A size left open, as a recording still being written has, promises nothing.
    writeSoundFile(folder + "open.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, 1, tape);
    Bytes file = readFileBytes(folder + "open.wav");
    std::fill_n(file.begin() + 40, 4, 0xFF);
    writeFileBytes(folder + "open.wav", file);
    RecordingDecoding open = decodeRecordingFile(folder + "open.wav", 0);
    EXPECT_EQ(open.readError.kind, RecordingProblem::None);
    EXPECT_EQ(open.bytes, image);
}

TEST(RecordingTime, MinutesSecondsAndHundredths)
{
    EXPECT_EQ(recordingTime(7.254), "0:07.25");
    EXPECT_EQ(recordingTime(59.996), "1:00.00");
    EXPECT_EQ(recordingTime(3725.5), "62:05.50");
}

}  // namespace
