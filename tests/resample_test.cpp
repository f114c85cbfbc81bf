// The command-line front end's --resample: recordings brought to 11025 samples a second
// before the unchanged decoder runs on them.
#include <cstdlib>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "core/decoder.h"
#include "core/dispatch.h"
#include "core/loaded_data.h"
#include "core/wave_reader.h"
#include "settings/settings.h"
#include "cli/resample.h"
#include "tests/fake_platform.h"
#include "tests/test_files.h"
#include "tools/impairments.h"
#include "tools/signal_synthesis.h"

namespace {

Bytes randomImage(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes image(size);
    for (uint8_t& b : image) b = static_cast<uint8_t>(random());
    return image;
}

// A recording of `image` at `rate` with white noise at `snr` dB (none when 0).
Bytes recordingOf(const Bytes& image, int rate, double snr = 0.0)
{
    Bytes samples = synthesizeTapeSignal(image, rate);
    if (snr != 0.0) addWhiteNoise(samples, snr, 77);
    return makeWaveFile(samples, rate);
}

class Resample : public ScratchTest {
protected:
    // Converts `wave` written as game.wav with or without the option; returns game.P6.
    Bytes decoded(const Bytes& wave, bool resample)
    {
        std::string path = folder + "game.wav";
        writeFileBytes(path, wave);
        std::remove((folder + "game.P6").c_str());
        if (resample)
            dispatchResampledName(path.c_str());
        else
            dispatchDroppedName(nullptr, path.c_str());
        return readFileBytes(folder + "game.P6");
    }

};

TEST_F(Resample, CleanRecordingsAtHighRatesDecodeToTheirImage)
{
    Bytes image = randomImage(300, 1);
    for (int rate : {44100, 48000}) {
        Bytes wave = recordingOf(image, rate);
        EXPECT_EQ(decoded(wave, true), image) << rate;
        // The slot holds the recording at 11025, its length scaled and rounded.
        uint64_t samples = wave.size() - 44;
        EXPECT_EQ(loadedDataSlot.format.nSamplesPerSec, 11025u);
        EXPECT_EQ(loadedDataSlot.format.nAvgBytesPerSec, 11025u);
        EXPECT_EQ(loadedDataSlot.format.nBlockAlign, 1u);
        EXPECT_EQ(loadedDataSlot.count, (samples * 11025 * 2 + rate) / (2 * rate)) << rate;
    }
    EXPECT_TRUE(recordedPlatform.messages.empty());
}

TEST_F(Resample, NoiseAt44100DecodesOnlyWhenResampled)
{
    Bytes image = randomImage(200, 2);
    Bytes wave = recordingOf(image, 44100, 20.0);
    EXPECT_NE(decoded(wave, false), image);
    EXPECT_EQ(decoded(wave, true), image);
    EXPECT_TRUE(recordedPlatform.messages.empty());
}

TEST_F(Resample, RecordingsAt11025AreLeftAsTheyAre)
{
    // Noisy enough that the decoder gets some bytes wrong: both ways, the same ones.
    Bytes image = randomImage(200, 3);
    Bytes wave = recordingOf(image, 11025, 12.0);
    Bytes plain = decoded(wave, false);
    EXPECT_NE(plain, image);
    EXPECT_EQ(decoded(wave, true), plain);

    holdInSlot(Bytes(wave.begin() + 44, wave.end()), 11025);
    const uint8_t* block = loadedDataSlot.data;
    EXPECT_EQ(resampleLoadedRecording(), ResampleNotNeeded);
    EXPECT_EQ(loadedDataSlot.data, block);
    EXPECT_EQ(Bytes(block, block + loadedDataSlot.count), Bytes(wave.begin() + 44, wave.end()));
}

TEST_F(Resample, RatesOutsideTheRangeAreDecodedAsRecorded)
{
    Bytes samples = synthesizeTapeSignal(randomImage(50, 4), 11025);
    for (uint32_t rate : {0u, lowestResampledRate - 1, highestResampledRate + 1, 0x80000000u}) {
        holdInSlot(samples, rate);
        const uint8_t* block = loadedDataSlot.data;
        EXPECT_EQ(resampleLoadedRecording(), ResampleRateOutOfRange) << rate;
        EXPECT_EQ(loadedDataSlot.data, block);
        EXPECT_EQ(loadedDataSlot.count, samples.size());
        EXPECT_EQ(loadedDataSlot.format.nSamplesPerSec, rate);
    }
    for (uint32_t rate : {lowestResampledRate, highestResampledRate}) {
        holdInSlot(Bytes(rate / 10, 200), rate);  // a tenth of a second
        EXPECT_EQ(resampleLoadedRecording(), ResampleDone) << rate;
        EXPECT_EQ(loadedDataSlot.count, 1103u);  // 1102.5 rounded
        EXPECT_EQ(Bytes(loadedDataSlot.data + 100, loadedDataSlot.data + 1000), Bytes(900, 200));
    }

    // Through the front end: a message says why, then the decoder runs all the same.
    Bytes wave = makeWaveFile(samples, 11025);
    wave[24] = wave[25] = wave[26] = wave[27] = 0;  // nSamplesPerSec 0
    clearRecordedPlatform();
    EXPECT_EQ(decoded(wave, true), Bytes());
    ASSERT_EQ(recordedPlatform.messages.size(), 1u);
    EXPECT_EQ(recordedPlatform.messages[0].text,
              folder + "game.wav is not resampled: its sample rate 0 lies outside 4000 to "
                       "768000; it is decoded as recorded.");
    EXPECT_EQ(recordedPlatform.cursors, "WA");
    EXPECT_EQ(recordedPlatform.written, std::vector<std::string>{folder + "game.P6"});
}

TEST_F(Resample, AResultBeyond32BitsIsRefusedBeforeAnySampleIsRead)
{
    // The slot claims more samples than its block holds: a read would be caught.
    holdInSlot(Bytes(16, 128), 8000);
    const uint8_t* block = loadedDataSlot.data;
    loadedDataSlot.count = 0xFFFFFFFFu;
    EXPECT_EQ(resampleLoadedRecording(), ResampleTooLong);
    EXPECT_EQ(loadedDataSlot.data, block);
    EXPECT_EQ(loadedDataSlot.format.nSamplesPerSec, 8000u);

    // Down-sampling keeps the count within 32 bits whatever it was.
    loadedDataSlot.count = 0;
    EXPECT_EQ(resampleLoadedRecording(), ResampleDone);
    EXPECT_EQ(loadedDataSlot.count, 0u);
    EXPECT_EQ(loadedDataSlot.held, 1);
}

TEST_F(Resample, FilesTheReaderRefusesGiveTheMessagesOfThePlainDispatch)
{
    Bytes truncated = recordingOf(randomImage(40, 5), 44100);
    truncated.resize(truncated.size() / 2);
    Bytes stereo = recordingOf(randomImage(40, 5), 44100);
    stereo[22] = 2;
    writeFileBytes(folder + "cut.wav", truncated);
    writeFileBytes(folder + "stereo.WAV", stereo);
    writeFileBytes(folder + "TAPE.p6", randomImage(40, 6));
    const char* names[] = {"cut.wav", "stereo.WAV", "missing.wav", "notes.txt", "TAPE.p6"};

    std::vector<RecordedMessage> plain;
    for (bool resample : {false, true}) {
        clearRecordedPlatform();
        for (const char* name : names) {
            std::string path = folder + name;
            if (resample)
                dispatchResampledName(path.c_str());
            else
                dispatchDroppedName(nullptr, path.c_str());
        }
        EXPECT_TRUE(fileExists(folder + "TAPE_.wav"));
        std::remove((folder + "TAPE_.wav").c_str());
        if (!resample) plain = recordedPlatform.messages;
    }
    ASSERT_EQ(plain.size(), 4u);
    ASSERT_EQ(recordedPlatform.messages.size(), 4u);
    for (size_t k = 0; k < plain.size(); ++k)
        EXPECT_EQ(recordedPlatform.messages[k].text, plain[k].text);
    EXPECT_EQ(plain[0].text, folder + "cut.wav は データが途中で切れています。 ");
}

// The real program, copied into a folder of its own with default settings beside it.
class ResampleFrontEnd : public Resample {
protected:
    void SetUp() override
    {
        Resample::SetUp();
        writeFileBytes(folder + "hibarion", readFileBytes(HIBARION_FRONT_END));
        chmod((folder + "hibarion").c_str(), 0755);
        std::string saved = ProgramDirectory;
        std::snprintf(ProgramDirectory, ProgramDirectorySize, "%s", folder.c_str());
        setDefaultSettings();
        saveSettings();
        std::snprintf(ProgramDirectory, ProgramDirectorySize, "%s", saved.c_str());
    }

    // Runs the copy with `arguments` (quoted for the shell by the caller); its exit status.
    int run(const std::string& arguments)
    {
        std::string command =
            "cd '" + folder + "' && ./hibarion " + arguments + " >out.txt 2>err.txt";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string errorText()
    {
        Bytes err = readFileBytes(folder + "err.txt");
        return std::string(err.begin(), err.end());
    }
};

TEST_F(ResampleFrontEnd, TheOptionDecodesANoisyRecordingAt44100)
{
    Bytes image = randomImage(200, 2);
    writeFileBytes(folder + "noisy.wav", recordingOf(image, 44100, 20.0));
    EXPECT_EQ(run("noisy.wav"), 0);
    EXPECT_NE(readFileBytes(folder + "noisy.P6"), image);
    EXPECT_EQ(run("--resample noisy.wav"), 0);
    EXPECT_EQ(readFileBytes(folder + "noisy.P6"), image);
    EXPECT_EQ(errorText(), "");
    Bytes out = readFileBytes(folder + "out.txt");
    EXPECT_EQ(std::string(out.begin(), out.end()), "noisy.wav -> noisy.P6 (200 bytes)\n");

    // After "--" a name that looks like an option is a name.
    writeFileBytes(folder + "-x.wav", recordingOf(image, 48000));
    EXPECT_EQ(run("--resample -- -x.wav"), 0);
    EXPECT_EQ(readFileBytes(folder + "-x.P6"), image);
}

TEST_F(ResampleFrontEnd, OptionsWithoutNamesOrUnknownOnesGetTheUsage)
{
    writeFileBytes(folder + "noisy.wav", recordingOf(randomImage(20, 7), 44100));
    const char* const usage = "usage: hibarion [OPTION]... [--] FILE...\n";
    for (const char* arguments :
         {"--resample", "--resample --", "--resampel noisy.wav", "-r noisy.wav"}) {
        EXPECT_EQ(run(arguments), 2) << arguments;
        EXPECT_NE(errorText().find(usage), std::string::npos) << arguments;
    }
    EXPECT_FALSE(fileExists(folder + "noisy.P6"));

    // A message that the recording stayed as it was counts like any other.
    Bytes wave = recordingOf(randomImage(20, 7), 44100);
    wave[24] = wave[25] = wave[26] = wave[27] = 0xFF;
    writeFileBytes(folder + "odd.wav", wave);
    EXPECT_EQ(run("--resample odd.wav"), 1);
    EXPECT_EQ(errorText(), "Hibarion: odd.wav is not resampled: its sample rate 4294967295 lies "
                           "outside 4000 to 768000; it is decoded as recorded.\n");
    EXPECT_TRUE(fileExists(folder + "odd.P6"));
}

}  // namespace
