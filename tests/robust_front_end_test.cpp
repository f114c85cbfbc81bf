// `hibarion --robust` as a user runs it: a copy of the executable in a folder of its
// own with default settings beside it, fed recordings in the formats people have.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sndfile.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "settings/settings.h"
#include "tests/sound_files.h"
#include "tools/signal_synthesis.h"

namespace {

struct RunResult {
    int status;
    std::string out, err;
};

std::string textOf(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The peak as the output line gives it.
std::string peakText(double peak)
{
    char text[32];
    std::snprintf(text, sizeof text, "peak %.1f dBFS", 20 * std::log10(peak));
    return text;
}

class RobustFrontEnd : public ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        writeFileBytes(folder + "hibarion", readFileBytes(HIBARION_FRONT_END));
        chmod((folder + "hibarion").c_str(), 0755);
        std::string saved = ProgramDirectory;
        std::snprintf(ProgramDirectory, ProgramDirectorySize, "%s", folder.c_str());
        setDefaultSettings();
        saveSettings();
        std::snprintf(ProgramDirectory, ProgramDirectorySize, "%s", saved.c_str());
    }

    // Runs the copy in `folder` with `arguments`, which need no quoting.
    RunResult run(const std::string& arguments)
    {
        std::string command = "cd '" + folder + "' && ./hibarion " + arguments + " >out.txt 2>err.txt";
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, textOf(readFileBytes(folder + "out.txt")),
                textOf(readFileBytes(folder + "err.txt"))};
    }
};

TEST_F(RobustFrontEnd, EveryRecordingEndingDecodesBesideTapeImages)
{
    const Bytes image = randomImage(150, 11);
    std::vector<float> tape = tapeSignal(image, 44100, 0.5);
    std::vector<float> stereo;
    for (float x : tape) {
        stereo.push_back(0.0f);
        stereo.push_back(x);
    }
    writeSoundFile(folder + "take.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, stereo);
    writeSoundFile(folder + "song.AIFF", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 44100, 1, tape);
    writeSoundFile(folder + "old.Aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 44100, 1, tape);
    writeSoundFile(folder + "-x.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, tape);
    writeFileBytes(folder + "GAME.p6", image);

    // --resample is --robust under its former name.
    for (const char* option : {"--robust", "--resample"}) {
        RunResult r = run(std::string(option) + " take.flac song.AIFF old.Aif GAME.p6 -- -x.wav");
        EXPECT_EQ(r.status, 0) << option;
        EXPECT_EQ(r.err, "") << option;
        // 0.5 of the tones' 120 steps in 128 is exact in each format.
        std::string tail = " (150 bytes, 0 suspect, " + peakText(60 / 128.0) + ")\n";
        EXPECT_EQ(r.out.substr(0, r.out.find("GAME.p6")),
                  "take.flac -> take.P6 (150 bytes, 0 suspect, channel 2 of 2, " + peakText(60 / 128.0) + ")\n"
                  "song.AIFF -> song.P6" + tail + "old.Aif -> old.P6" + tail) << option;
        EXPECT_NE(r.out.find("-x.wav -> -x.P6" + tail), std::string::npos) << option;
        for (const char* name : {"take.P6", "song.P6", "old.P6", "-x.P6"})
            EXPECT_EQ(readFileBytes(folder + name), image) << option << " " << name;
        EXPECT_TRUE(fileExists(folder + "GAME_.wav"));
    }

    // Without the option a FLAC file is no recording, as in the Windows program.
    EXPECT_EQ(run("take.flac").err, u8"Hibarion: take.flac は拡張子が不正です。\n");
}

TEST_F(RobustFrontEnd, EachFileThatCannotBeDecodedSaysWhyAndTheNextFollows)
{
    const Bytes image = randomImage(60, 12);
    writeFileBytes(folder + "notes.wav", bytesOf("not a recording"));
    writeSoundFile(folder + "slow.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2000, 1, std::vector<float>(2000, 0.1f));
    writeSoundFile(folder + "silent.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1, std::vector<float>(8000, 0.0f));
    writeFileBytes(folder + "silent.P6", bytesOf("kept"));
    // The second channel holds the same at half the level, with hiss.
    std::vector<float> tape = tapeSignal(image, 22050), stereo;
    std::mt19937 random(3);
    std::uniform_real_distribution<float> hiss(-0.02f, 0.02f);
    for (float x : tape) stereo.insert(stereo.end(), {x, x / 2 + hiss(random)});
    writeSoundFile(folder + "two.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2, stereo);

    RunResult r = run("--robust notes.wav slow.wav silent.flac two.wav");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hibarion: notes.wav: cannot be read: Format not recognised.\n"
                     "hibarion: slow.wav: its sample rate 2000 lies outside 4000 to 768000\n"
                     "hibarion: silent.flac: no tape signal found\n");
    EXPECT_EQ(readFileBytes(folder + "silent.P6"), bytesOf("kept"));
    EXPECT_EQ(r.out.rfind("two.wav -> two.P6 (60 bytes, 0 suspect, channel 1 of 2, ", 0), 0u) << r.out;
    EXPECT_EQ(readFileBytes(folder + "two.P6"), image);

    // A channel chosen by hand; one the file lacks is that file's problem.
    r = run("--robust --channel=2 two.wav");
    EXPECT_EQ(r.out.rfind("two.wav -> two.P6 (60 bytes, 0 suspect, channel 2 of 2, peak -6.", 0), 0u) << r.out;
    EXPECT_EQ(run("--robust --channel 3 two.wav").err, "hibarion: two.wav: it has no channel 3, only 1 to 2\n");

    // Wrong options end the run before any file.
    std::remove((folder + "two.P6").c_str());
    for (const char* arguments : {"--channel 2 two.wav", "--robust --channel 0 two.wav",
                                  "--robust --channel 1.5 two.wav", "--robust"}) {
        r = run(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_FALSE(fileExists(folder + "two.P6")) << arguments;
    }
    EXPECT_EQ(run("--channel 2 two.wav").err.rfind("hibarion: --channel needs --robust\n", 0), 0u);
    EXPECT_EQ(run("--robust --channel 0 two.wav").err.rfind(
                  "hibarion: --channel '0' is not a whole number from 1 to 1024\n", 0), 0u);
}

TEST_F(RobustFrontEnd, LostSignalIsNamedAsSuspectBytesAndTheImageIsStillWritten)
{
    const Bytes image = randomImage(300, 13);
    std::vector<float> tape = tapeSignal(image, 44100);
    // 60 ms of silence where the tape lost contact, 2.5 s into the body.
    const double gapStart = 5000.0 / 11025 + 4.0 + 16 * 0.01 + 635 / 1200.0 + 2.5;
    size_t first = static_cast<size_t>(gapStart * 44100);
    std::fill(tape.begin() + first, tape.begin() + first + 44100 * 6 / 100, 0.0f);
    writeSoundFile(folder + "worn.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, tape);

    RunResult r = run("--robust worn.wav");
    EXPECT_EQ(r.status, 1);
    Bytes decoded = readFileBytes(folder + "worn.P6");
    EXPECT_GE(decoded.size(), image.size() - 10);

    unsigned long long suspects = 0;
    bool gapNamed = false;
    std::string err = r.err;
    for (std::string::size_type end; (end = err.find('\n')) != std::string::npos; err.erase(0, end + 1)) {
        // Read back, then written again the way the line must be, to catch any stray
        // character or digit.
        std::string text = err.substr(0, end);
        const char* prefix = "hibarion: worn.wav: suspect ";
        ASSERT_EQ(text.rfind(prefix, 0), 0u) << text;
        unsigned long firstByte = 0, lastByte = 0;
        unsigned minutes = 0;
        double secondsPart = 0;
        const char* rest = text.c_str() + std::strlen(prefix);
        bool many = std::sscanf(rest, "bytes %lu-%lu at %u:%lf", &firstByte, &lastByte, &minutes, &secondsPart) == 4;
        if (!many) {
            ASSERT_EQ(std::sscanf(rest, "byte %lu at %u:%lf", &firstByte, &minutes, &secondsPart), 3) << text;
            lastByte = firstByte;
        }
        char expected[100];
        if (many)
            std::snprintf(expected, sizeof expected, "bytes %lu-%lu at %u:%05.2f (", firstByte, lastByte, minutes, secondsPart);
        else
            std::snprintf(expected, sizeof expected, "byte %lu at %u:%05.2f (", firstByte, minutes, secondsPart);
        EXPECT_EQ(std::string(rest).rfind(expected, 0), 0u) << text;
        EXPECT_GT(text.size(), std::strlen(prefix) + std::strlen(expected) + 1) << text;
        EXPECT_EQ(text.back(), ')') << text;
        EXPECT_LE(firstByte + (many ? 1 : 0), lastByte) << text;
        suspects += lastByte - firstByte + 1;
        double seconds = minutes * 60 + secondsPart;
        // Each byte takes 12 cells of 1/1200 s: the gap takes the place of bytes 266
        // to 271; the line may name the byte it broke into or those after it.
        if (std::fabs(seconds - gapStart) < 0.1 && firstByte <= 272 && lastByte >= 264) gapNamed = true;
    }
    EXPECT_TRUE(gapNamed) << r.err;
    EXPECT_EQ(r.out.rfind("worn.wav -> worn.P6 (" + std::to_string(decoded.size()) + " bytes, " +
                          std::to_string(suspects) + " suspect, ", 0), 0u) << r.out;
}

}  // namespace
