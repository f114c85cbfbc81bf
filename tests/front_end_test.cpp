// The command-line front end as a user runs it: a copy of the executable in a folder of
// its own, with its own Hibarion.ini beside it. Its messages reach the terminal as UTF-8,
// hence the u8 literals (the others are code page 932, as the files hold them).
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/encoder.h"
#include "settings/settings.h"
#include "tests/test_files.h"
#include "tools/signal_synthesis.h"

namespace {

struct RunResult {
    int status;
    std::string out, err;
};

std::string shellQuoted(const std::string& text)
{
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string textOf(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

class FrontEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = makeScratchFolder();
        writeFileBytes(folder + "hibarion", readFileBytes(HIBARION_FRONT_END));
        chmod((folder + "hibarion").c_str(), 0755);
    }

    // Writes Hibarion.ini beside the copy with the defaults changed by `change`.
    template <typename Change> void writeSettings(Change change)
    {
        std::string saved = ProgramDirectory;
        setDefaultSettings();
        change();
        std::snprintf(ProgramDirectory, ProgramDirectorySize, "%s", folder.c_str());
        saveSettings();
        std::snprintf(ProgramDirectory, ProgramDirectorySize, "%s", saved.c_str());
        setDefaultSettings();
    }
    void writeDefaultSettings()
    {
        writeSettings([] {});
    }

    // Runs the copy in `folder` with `arguments`, each quoted for the shell.
    RunResult run(const std::vector<std::string>& arguments)
    {
        std::string command = "cd " + shellQuoted(folder) + " && ./hibarion";
        for (const std::string& a : arguments) command += " " + shellQuoted(a);
        command += " >" + shellQuoted(folder + "stdout.txt") + " 2>" + shellQuoted(folder + "stderr.txt");
        int status = std::system(command.c_str());
        RunResult result;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = textOf(readFileBytes(folder + "stdout.txt"));
        result.err = textOf(readFileBytes(folder + "stderr.txt"));
        return result;
    }

    void writeRecording(const std::string& name, const Bytes& image)
    {
        writeFileBytes(folder + name, makeWaveFile(synthesizeTapeSignal(image, 11025), 11025));
    }

    std::string folder;
};

const Bytes sampleImage = {0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3,
                           'A', 'B', 'C', ' ', ' ', ' ', 0x10, 0x80, 10, 0, 0x95, 0x22,
                           'H', 'I', 0x22, 0, 0, 0, 0};

TEST_F(FrontEnd, UsageWithoutArgumentsTouchesNothing)
{
    RunResult r = run({});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage: hibarion"), std::string::npos);
    EXPECT_FALSE(fileExists(folder + "Hibarion.ini"));
}

TEST_F(FrontEnd, FirstStartWritesTheDefaultSettingsWithItsMessage)
{
    writeFileBytes(folder + "GAME.p6", sampleImage);
    RunResult r = run({"GAME.p6"});
    EXPECT_EQ(r.status, 0);  // the settings message is not one of the drop's
    EXPECT_EQ(r.err, u8"Hibarion: INI ファイルが見つかりません。\nデフォルトで作成します。\n");
    EXPECT_EQ(readFileBytes(folder + "Hibarion.ini").size(), 635u);
}

TEST_F(FrontEnd, ADropOfThreeWithATruncatedRecordingInTheMiddle)
{
    writeDefaultSettings();
    writeRecording("first.wav", sampleImage);
    Bytes truncated = makeWaveFile(synthesizeTapeSignal(sampleImage, 11025), 11025);
    truncated.resize(truncated.size() / 2);
    writeFileBytes(folder + "second.wav", truncated);
    writeFileBytes(folder + "third.p6", sampleImage);

    RunResult r = run({"first.wav", "second.wav", "third.p6"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, u8"Hibarion: second.wav は データが途中で切れています。 \n");
    EXPECT_EQ(readFileBytes(folder + "first.P6"), sampleImage);
    EXPECT_FALSE(fileExists(folder + "second.P6"));
    EXPECT_TRUE(fileExists(folder + "third_.wav"));
    EXPECT_TRUE(fileExists(folder + "third.txt"));
    uint64_t samples = countRecordingSamples(static_cast<uint32_t>(sampleImage.size()), 1.0);
    EXPECT_EQ(r.out, "first.wav -> first.P6 (29 bytes)\n"
                     "third.p6 -> third_.wav (" + std::to_string(samples) + " samples)\n"
                     "third.p6 -> third.txt (" +
                     std::to_string(readFileBytes(folder + "third.txt").size()) + " bytes)\n");
}

TEST_F(FrontEnd, EndingsInEveryMixOfCase)
{
    writeDefaultSettings();
    for (const char* name : {"song.Wav", "SONG.WAV", "song.wAv"}) writeRecording(name, sampleImage);
    for (const char* name : {"GAME.P6", "game.p6", "x.p6"}) writeFileBytes(folder + name, sampleImage);
    mkdir((folder + "tapes").c_str(), 0755);
    writeFileBytes(folder + "README.TXT", bytesOf("hello"));

    RunResult r = run({"song.Wav", "SONG.WAV", "song.wAv", "GAME.P6", "game.p6", "x.p6", "a.b",
                 "GAME.P66", "SONG.WAVE", "README.TXT", "tapes"});
    EXPECT_EQ(r.status, 1);
    for (const char* image : {"song.P6", "SONG.P6"}) EXPECT_EQ(readFileBytes(folder + image), sampleImage);
    for (const char* wav : {"GAME_.wav", "game_.wav", "x_.wav"}) EXPECT_TRUE(fileExists(folder + wav));
    // The 3-byte name is passed over in silence; the others are named.
    EXPECT_EQ(r.err, u8"Hibarion: GAME.P66 は拡張子が不正です。\n"
                     u8"Hibarion: SONG.WAVE は拡張子が不正です。\n"
                     u8"Hibarion: README.TXT は拡張子が不正です。\n"
                     u8"Hibarion: tapes は拡張子が不正です。\n");
}

TEST_F(FrontEnd, ListingsFollowTheSettingEvenAfterAFailedEncoding)
{
    writeSettings([] { conversionSettings.basicListing = 0; });
    writeFileBytes(folder + "GAME.p6", sampleImage);
    EXPECT_EQ(run({"GAME.p6"}).status, 0);
    EXPECT_TRUE(fileExists(folder + "GAME_.wav"));
    EXPECT_FALSE(fileExists(folder + "GAME.txt"));

    // A folder in the recording's place: the encoder cannot create it, the listing
    // is written all the same.
    writeSettings([] { conversionSettings.basicListing = 7; });
    writeFileBytes(folder + "OTHER.p6", sampleImage);
    mkdir((folder + "OTHER_.wav").c_str(), 0755);
    RunResult r = run({"OTHER.p6"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, u8"Hibarion: OTHER_.wav は書き込めません\n");
    EXPECT_TRUE(fileExists(folder + "OTHER.txt"));
}

TEST_F(FrontEnd, TheEncoderUsesTheSlownessOfTheSettingsFile)
{
    writeDefaultSettings();
    Bytes ini = readFileBytes(folder + "Hibarion.ini");
    std::string text = textOf(ini);
    std::string::size_type at = text.find("  1.0\r\n");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 5, "4");
    writeFileBytes(folder + "Hibarion.ini", bytesOf(text));
    writeFileBytes(folder + "GAME.p6", sampleImage);
    EXPECT_EQ(run({"GAME.p6"}).status, 0);
    uint64_t samples = countRecordingSamples(static_cast<uint32_t>(sampleImage.size()), 4.0);
    EXPECT_EQ(readFileBytes(folder + "GAME_.wav").size(), samples + 44);
    // Saved back at exit in the file's own format.
    EXPECT_NE(textOf(readFileBytes(folder + "Hibarion.ini")).find("  4.0\r\n"), std::string::npos);
}

TEST_F(FrontEnd, NamesAreShownAsGivenAndLongOnesCutAsTheDropBufferCuts)
{
    writeDefaultSettings();
    // Not UTF-8 and not code page 932 either: printed byte for byte.
    std::string odd = "\xff\xfe.p6";
    RunResult r = run({odd});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Hibarion: " + odd + u8" を開けません。\n");

    std::string longName = std::string(1196, 'a') + ".p6";  // 1199 bytes: kept whole
    EXPECT_EQ(run({longName}).err, "Hibarion: " + longName + u8" を開けません。\n");
    std::string tooLong = std::string(1197, 'a') + ".p6";   // cut to 1199: "...a.p"
    EXPECT_EQ(run({tooLong}).err, "Hibarion: " + tooLong.substr(0, 1199) + u8" は拡張子が不正です。\n");
}

TEST_F(FrontEnd, TheBundledExampleIsMadeFromItsProgramText)
{
    std::string made = folder + "HELLO.p6";
    std::string command = std::string(HIBARION_MAKE_TAPE_IMAGE) + " HELLO " +
                          shellQuoted(std::string(HIBARION_SOURCE_DIR) + "/examples/hello.bas") + " " +
                          shellQuoted(made) + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readFileBytes(made), readFileBytes(std::string(HIBARION_SOURCE_DIR) + "/examples/HELLO.p6"));

    writeDefaultSettings();
    EXPECT_EQ(run({"HELLO.p6"}).status, 0);
    std::string listing = textOf(readFileBytes(folder + "HELLO.txt"));
    EXPECT_NE(listing.find("ＰＲＩＮＴ　”ＨＥＬＬＯ，　ＴＡＰＥ！”；Ｉ\r\n"), std::string::npos);
    EXPECT_EQ(run({"HELLO_.wav"}).status, 0);
    EXPECT_EQ(readFileBytes(folder + "HELLO_.P6"), readFileBytes(made));
}

}  // namespace

TEST_F(FrontEnd, TokenizeTurnsTextsIntoImagesAndRefusesABadOneByItsLine)
{
    writeDefaultSettings();
    const std::string examples = std::string(HIBARION_SOURCE_DIR) + "/examples/";
    Bytes example = readFileBytes(examples + "HELLO.p6");
    writeFileBytes(folder + "HELLO.p6", example);
    ASSERT_EQ(run({"HELLO.p6"}).status, 0);
    ASSERT_EQ(run({"--tokenize", "HELLO.txt"}).status, 0);
    EXPECT_EQ(readFileBytes(folder + "HELLO.p6"), example);

    // The listing edited, line 20 gone, gives what the text without that line gives.
    std::string listing = textOf(readFileBytes(folder + "HELLO.txt"));
    std::string::size_type line20 = listing.find("２０　ＣＬＳ\r\n");
    ASSERT_NE(line20, std::string::npos);
    writeFileBytes(folder + "HELLO.txt", bytesOf(listing.erase(line20, std::string("２０　ＣＬＳ\r\n").size())));
    std::string text = textOf(readFileBytes(examples + "hello.bas"));
    writeFileBytes(folder + "hello.bas", bytesOf(text.erase(text.find("20 CLS\n"), 7)));
    writeFileBytes(folder + "bad.txt", bytesOf("10 END\n\n70000 END\n"));
    mkdir((folder + "out").c_str(), 0755);

    RunResult r = run({"--tokenize", "bad.txt", "HELLO.txt", "--output-dir=out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hibarion: bad.txt: line 3: line number 70000, above 65535\n");
    EXPECT_FALSE(fileExists(folder + "out/bad.p6"));
    ASSERT_EQ(run({"--tokenize", "--name", "HELLO", "hello.bas"}).status, 0);
    EXPECT_EQ(readFileBytes(folder + "out/HELLO.p6"), readFileBytes(folder + "hello.p6"));
    EXPECT_EQ(readFileBytes(folder + "out/HELLO.p6").size(), example.size() - 6);
}
