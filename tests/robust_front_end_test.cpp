// `hibarion --robust` as a user runs it: a copy of the executable in a folder of its
// own with default settings beside it, fed recordings in the formats people have.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "settings/settings.h"
#include "tests/sound_files.h"

namespace {

struct RunResult {
    int status;
    std::string out, err;
};

std::string textOf(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

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

    // Runs the copy in `folder` with `arguments`, which need no quoting, in `locale`.
    RunResult run(const std::string& arguments, const std::string& locale = "C")
    {
        std::string command =
            "cd '" + folder + "' && LC_ALL=" + locale + " LANGUAGE= ./hibarion " + arguments + " >out.txt 2>err.txt";
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, textOf(readFileBytes(folder + "out.txt")),
                textOf(readFileBytes(folder + "err.txt"))};
    }
};

TEST_F(RobustFrontEnd, EveryRecordingEndingDecodesBesideTapeImages)
{
    const Bytes image = randomImage(150, 11);
    std::vector<float> tape = tapeSignal(image, 44100, 0.5), stereo;
    for (float x : tape) stereo.insert(stereo.end(), {0.0f, x});
    writeSoundFile(folder + "take.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, stereo);
    writeSoundFile(folder + "song.AIFF", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 44100, 1, tape);
    writeSoundFile(folder + "-x.Aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 44100, 1, tape);
    writeFileBytes(folder + "GAME.p6", image);

    // --resample is --robust under its former name. 0.5 of the tones' 120 steps in 128
    // is exact in each format: -6.6 dBFS.
    for (const char* option : {"--robust", "--resample"}) {
        RunResult r = run(std::string(option) + " take.flac song.AIFF GAME.p6 -- -x.Aif");
        EXPECT_EQ(r.status, 0) << option;
        EXPECT_EQ(r.err, "") << option;
        const std::string tail = " (150 bytes, 0 suspect, 0 missing, peak -6.6 dBFS)\n";
        EXPECT_EQ(r.out.rfind("take.flac -> take.P6 (150 bytes, 0 suspect, 0 missing, channel 2 of 2, peak -6.6 dBFS)\n"
                              "song.AIFF -> song.P6" + tail + "GAME.p6 -> GAME_.wav (", 0), 0u) << r.out;
        EXPECT_EQ(r.out.substr(r.out.find("-x.Aif")), "-x.Aif -> -x.P6" + tail) << option;
        for (const char* name : {"take.P6", "song.P6", "-x.P6"}) EXPECT_EQ(readFileBytes(folder + name), image) << name;
    }
    // Into the output folder, as every other output.
    mkdir((folder + "out").c_str(), 0755);
    EXPECT_EQ(run("--robust -o out song.AIFF").out.rfind("song.AIFF -> out/song.P6 (", 0), 0u);
    EXPECT_EQ(readFileBytes(folder + "out/song.P6"), image);
    // Without the option a FLAC file is no recording, as in the Windows program, and a
    // 16-bit WAV file is refused by its reader: both point to the option.
    writeSoundFile(folder + "deep.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, tape);
    RunResult plain = run("take.flac deep.wav");
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(plain.err, u8"hibarion: take.flac: not a recording or a tape image (.wav, .p6)\n"
                         u8"hibarion: take.flac: --robust reads this recording\n"
                         u8"hibarion: deep.wav: not mono 8-bit\n"
                         u8"hibarion: deep.wav: --robust reads this recording\n");
}

// Every container --robust reads is taken by its name, not only as NAME.wav.
TEST_F(RobustFrontEnd, W64AndRf64AreTakenByTheirNames)
{
    const Bytes image = randomImage(40, 14);
    const std::vector<float> tape = tapeSignal(image, 48000, 0.5);
    writeSoundFile(folder + "a.w64", SF_FORMAT_W64 | SF_FORMAT_PCM_24, 48000, 1, tape);
    writeSoundFile(folder + "b.RF64", SF_FORMAT_RF64 | SF_FORMAT_FLOAT, 48000, 1, tape);
    writeFileBytes(folder + "c.mp4", bytesOf("?"));

    RunResult r = run("--robust a.w64 b.RF64 c.mp4");
    EXPECT_EQ(r.status, 1);
    const std::string tail = " (40 bytes, 0 suspect, 0 missing, peak -6.6 dBFS)\n";
    EXPECT_EQ(r.out, "a.w64 -> a.P6" + tail + "b.RF64 -> b.P6" + tail);
    EXPECT_EQ(r.err, "hibarion: c.mp4: not a recording or a tape image "
                     "(.wav, .w64, .rf64, .flac, .aif, .aiff, .p6)\n");
    EXPECT_EQ(readFileBytes(folder + "a.P6"), image);
    EXPECT_EQ(readFileBytes(folder + "b.P6"), image);
}

TEST_F(RobustFrontEnd, EachFileThatCannotBeDecodedSaysWhyAndTheNextFollows)
{
    const Bytes image = randomImage(60, 12);
    writeFileBytes(folder + "notes.wav", bytesOf("not a recording"));
    writeSoundFile(folder + "slow.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2000, 1, std::vector<float>(2000, 0.1f));
    writeSoundFile(folder + "silent.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 1, std::vector<float>(8000, 0.0f));
    writeFileBytes(folder + "silent.P6", bytesOf("kept"));
    // The second channel holds the same at half the level, with hiss.
    std::mt19937 random(3);
    std::uniform_real_distribution<float> hiss(-0.02f, 0.02f);
    std::vector<float> stereo;
    for (float x : tapeSignal(image, 22050)) stereo.insert(stereo.end(), {x, x / 2 + hiss(random)});
    writeSoundFile(folder + "two.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2, stereo);

    RunResult r = run("--robust notes.wav slow.wav silent.flac two.wav");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hibarion: notes.wav: cannot be read: Format not recognised.\n"
                     "hibarion: slow.wav: its sample rate 2000 lies outside 4000 to 768000\n"
                     "hibarion: silent.flac: no tape signal found\n");
    EXPECT_EQ(readFileBytes(folder + "silent.P6"), bytesOf("kept"));
    EXPECT_EQ(r.out.rfind("two.wav -> two.P6 (60 bytes, 0 suspect, 0 missing, channel 1 of 2, ", 0), 0u) << r.out;
    EXPECT_EQ(readFileBytes(folder + "two.P6"), image);

    // A channel chosen by hand; one the file lacks is that file's problem.
    r = run("--robust --channel=2 two.wav");
    EXPECT_EQ(r.out.rfind("two.wav -> two.P6 (60 bytes, 0 suspect, 0 missing, channel 2 of 2, peak -6.", 0), 0u) << r.out;
    EXPECT_EQ(run("--robust --channel 3 two.wav").err, "hibarion: two.wav: it has no channel 3, only 1 to 2\n");
    // Wrong options end the run before any file.
    std::remove((folder + "two.P6").c_str());
    EXPECT_EQ(run("--channel 2 two.wav").err.rfind("hibarion: --channel needs --robust\n", 0), 0u);
    EXPECT_EQ(run("--robust --channel 1.5 two.wav").err, "hibarion: --channel: 1.5 is not a whole number\n"
                                                         "Try 'hibarion --help'.\n");
    EXPECT_EQ(run("--robust --channel 0 two.wav").status, 2);
    EXPECT_FALSE(fileExists(folder + "two.P6"));
}

TEST_F(RobustFrontEnd, LostSignalIsNamedAsSuspectBytesAndTheImageIsStillWritten)
{
    const Bytes image = randomImage(300, 13);
    std::vector<float> tape = tapeSignal(image, 44100);
    // 60 ms of silence where the tape lost contact, 2.5 s into the body: after the
    // silence, the leader, 16 bytes of 12 cells of 1/1200 s, and the gap.
    const double gapStart = 5000.0 / 11025 + 4.0 + 16 * 0.01 + 635 / 1200.0 + 2.5;
    std::fill_n(tape.begin() + static_cast<long>(gapStart * 44100), 44100 * 6 / 100, 0.0f);
    writeSoundFile(folder + "worn.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, tape);

    RunResult r = run("--robust worn.wav");
    EXPECT_EQ(r.status, 1);
    Bytes decoded = readFileBytes(folder + "worn.P6");
    EXPECT_GE(decoded.size(), image.size() - 10);
    unsigned long long suspects = 0;
    bool gapNamed = false;
    for (std::string err = r.err; !err.empty(); err.erase(0, err.find('\n') + 1)) {
        // Each line read back, then written again as it must read.
        std::string line = err.substr(0, err.find('\n'));
        unsigned long first = 0, last = 0;
        unsigned minutes = 0;
        double seconds = 0;
        char written[120];
        if (std::sscanf(line.c_str(), "hibarion: worn.wav: suspect bytes %lu-%lu at %u:%lf", &first, &last, &minutes, &seconds) == 4)
            std::snprintf(written, sizeof written, "hibarion: worn.wav: suspect bytes %lu-%lu at %u:%05.2f (", first, last, minutes, seconds);
        else if (std::sscanf(line.c_str(), "hibarion: worn.wav: suspect byte %lu at %u:%lf", &first, &minutes, &seconds) == 3)
            std::snprintf(written, sizeof written, "hibarion: worn.wav: suspect byte %lu at %u:%05.2f (", last = first, minutes, seconds);
        else
            ADD_FAILURE() << line;
        EXPECT_EQ(line.rfind(written, 0), 0u) << line;
        EXPECT_EQ(line.back(), ')') << line;
        suspects += last - first + 1;
        // The gap takes the place of bytes 266 to 271; the line may name the byte it
        // broke into or those after it.
        gapNamed |= std::fabs(minutes * 60 + seconds - gapStart) < 0.1 && first <= 272 && last >= 264;
    }
    EXPECT_TRUE(gapNamed) << r.err;
    EXPECT_EQ(r.out.rfind("worn.wav -> worn.P6 (" + std::to_string(decoded.size()) + " bytes, " +
                          std::to_string(suspects) + " suspect, ", 0), 0u) << r.out;
}

TEST_F(RobustFrontEnd, ALongLossNamesTheBytesMissingAndCountsThem)
{
    const Bytes image = randomImage(300, 14);
    std::vector<float> tape = tapeSignal(image, 44100);
    // 0.4 s of silence from inside byte 166, the 150th of the body.
    const double from = 5000.0 / 11025 + 4.0 + (16 * 12 + 635 + 150 * 12 + 8) / 1200.0;
    std::fill_n(tape.begin() + static_cast<long>(from * 44100), 44100 * 4 / 10, 0.0f);
    writeSoundFile(folder + "gap.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, tape);

    RunResult r = run("--robust gap.wav");
    EXPECT_EQ(r.status, 1);
    const Bytes decoded = readFileBytes(folder + "gap.P6");
    // The frame the silence cut into is suspect; those under it are missing.
    const std::string suspect = "hibarion: gap.wav: suspect byte 166 at ";
    ASSERT_EQ(r.err.rfind(suspect, 0), 0u) << r.err;
    const std::string loss = r.err.substr(r.err.find('\n') + 1);
    unsigned minutes = 9, after = 0;
    double duration = 0, seconds = 0;
    ASSERT_EQ(std::sscanf(loss.c_str(), "hibarion: gap.wav: signal lost for %lf s at %u:%lf, about 40 bytes missing after byte %u\n",
                          &duration, &minutes, &seconds, &after), 4) << r.err;
    EXPECT_NEAR(duration, 0.4, 0.012);
    EXPECT_NEAR(minutes * 60 + seconds, from, 0.012);
    EXPECT_EQ(after, 166u);
    EXPECT_EQ(loss.substr(loss.find('\n')), "\n");
    EXPECT_EQ(image.size() - decoded.size(), 40u);
    EXPECT_EQ(r.out, "gap.wav -> gap.P6 (" + std::to_string(decoded.size()) + " bytes, 1 suspect, 40 missing, peak -0.6 dBFS)\n");

    // --quiet: the same in one line, still counted.
    RunResult quiet = run("--robust -q gap.wav");
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.err, "hibarion: gap.wav: 0 repaired, 1 suspect, 40 missing bytes\n");
    EXPECT_EQ(quiet.out, r.out);

    // Under a Japanese locale the same lines, their parts in that language's order.
    const std::string catalogue = "locale/ja/LC_MESSAGES/";
    for (const char* part : {"locale", "locale/ja", "locale/ja/LC_MESSAGES"}) mkdir((folder + part).c_str(), 0755);
    writeFileBytes(folder + catalogue + "hibarion.mo", readFileBytes(HIBARION_BINARY_DIR "/" + catalogue + "hibarion.mo"));
    char at[16], lasting[16], lostAt[16];
    ASSERT_EQ(std::sscanf(r.err.c_str(), "hibarion: gap.wav: suspect byte 166 at %15s (signal lost)\n"
                                         "hibarion: gap.wav: signal lost for %15s s at %15[^,]", at, lasting, lostAt), 3) << r.err;
    RunResult ja = run("--robust gap.wav", "ja_JP.UTF-8");
    EXPECT_EQ(ja.err, u8"hibarion: gap.wav: 疑わしいバイト 166、" + std::string(at) + u8"（信号消失）\n"
                      u8"hibarion: gap.wav: " + lostAt + u8" から " + lasting + u8" 秒の信号消失、バイト 166 の後に約 40 バイト欠落\n");
    EXPECT_EQ(ja.out, "gap.wav -> gap.P6 (" + std::to_string(decoded.size()) + u8" バイト、疑わしいもの 1、欠落 40、ピーク -0.6 dBFS)\n");
}

// A take of `image` at `rate`: started `late` seconds into the leader, with 150 ms of
// silence from inside body byte `hole` (none when negative) and hiss `snr` dB below the
// tones (none when 0).
std::vector<float> takeOf(const Bytes& image, int rate, double late, int hole, double snr, unsigned seed)
{
    std::vector<float> tape = tapeSignal(image, rate);
    if (hole >= 0) {
        const double from = 5000.0 / 11025 + (4800 + 16 * 12 + 635 + 12 * hole + 5) / 1200.0;
        std::fill_n(tape.begin() + static_cast<long>(from * rate), rate * 15 / 100, 0.0f);
    }
    if (snr > 0) {
        // The tones' mean power is that of a sine at the low tone's peak, 120/128.
        std::normal_distribution<float> hiss(0.0f, static_cast<float>(120.0 / 128 / std::sqrt(2 * std::pow(10, snr / 10))));
        std::mt19937 random(seed);
        for (float& x : tape) x += hiss(random);
    }
    tape.erase(tape.begin() + rate * 3 / 10, tape.begin() + rate * 3 / 10 + static_cast<long>(late * rate));
    return tape;
}

TEST_F(RobustFrontEnd, TakesMergeIntoTheTapeAndDamageTheyShareIsNamed)
{
    const Bytes image = randomImage(400, 15);
    writeSoundFile(folder + "a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, takeOf(image, 44100, 0, 100, 0, 1));
    writeSoundFile(folder + "b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1, takeOf(image, 48000, 1.5, 250, 0, 2));
    writeSoundFile(folder + "c.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1, takeOf(image, 22050, 2.5, -1, 12, 3));
    writeSoundFile(folder + "d.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, takeOf(image, 44100, 1, 100, 0, 4));
    writeSoundFile(folder + "e.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, tapeSignal(randomImage(400, 16), 44100));

    // Each take lost other bytes: together they hold them all.
    RunResult r = run("--robust --merge a.wav b.flac c.wav");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFileBytes(folder + "a.P6"), image);
    unsigned long a = 0, b = 0, c = 0;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "a.wav + b.flac + c.wav -> a.P6 (400 bytes, 0 suspect, 0 missing; bytes given: "
                                         "a.wav %lu, b.flac %lu, c.wav %lu)\n", &a, &b, &c), 3) << r.out;
    EXPECT_EQ(a + b + c, 400u);
    EXPECT_GT(b + c, 15u) << "the bytes a.wav lost";

    // Two takes that lost the same bytes: the loss is named where the first lost them.
    r = run("--robust --merge a.wav d.wav");
    EXPECT_EQ(r.status, 1);
    const Bytes merged = readFileBytes(folder + "a.P6");
    EXPECT_LT(merged.size(), image.size());
    const double holeAt = 5000.0 / 11025 + (4800 + 16 * 12 + 635 + 12 * 100 + 5) / 1200.0;
    unsigned minutes = 9, missing = 0, after = 0;
    double seconds = 0, duration = 0;
    const size_t loss = r.err.find("hibarion: a.wav: signal lost for ");
    ASSERT_NE(loss, std::string::npos) << r.err;
    ASSERT_EQ(std::sscanf(r.err.c_str() + loss, "hibarion: a.wav: signal lost for %lf s at %u:%lf, about %u bytes missing after byte %u",
                          &duration, &minutes, &seconds, &missing, &after), 5) << r.err;
    EXPECT_NEAR(minutes * 60 + seconds, holeAt, 0.02);
    EXPECT_NEAR(after, 116, 1);
    EXPECT_EQ(merged.size() + missing, image.size());

    // A take of another tape is left out and said so; the others still merge.
    r = run("--robust --merge a.wav e.wav c.wav");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hibarion: e.wav: another tape than a.wav: not merged\n");
    EXPECT_EQ(r.out.rfind("a.wav + c.wav -> a.P6 (400 bytes, 0 suspect, 0 missing; bytes given: ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("e.wav"), std::string::npos) << r.out;
    EXPECT_EQ(readFileBytes(folder + "a.P6"), image);
    EXPECT_EQ(run("--merge a.wav c.wav").err.rfind("hibarion: --merge needs --robust\n", 0), 0u);
}

}  // namespace
