// The command-line front end as a user runs it: a copy of the executable in a folder of
// its own, with its own Hibarion.ini beside it, in the C locale unless a test says. Its
// messages reach the terminal as UTF-8, hence the u8 literals (the others are code page
// 932, as the files hold them).
#include <cstdlib>
#include <glob.h>
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

    // Runs `program` from `folder` with `arguments`, each quoted for the shell, after
    // the variable settings in `environment`.
    RunResult run(const std::vector<std::string>& arguments)
    {
        std::string command = "cd " + shellQuoted(folder) + " && LC_ALL=C LANGUAGE= " + environment + " " + program;
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
    std::string program = "./hibarion";
    std::string environment;
};

const Bytes sampleImage = {0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3,
                           'A', 'B', 'C', ' ', ' ', ' ', 0x10, 0x80, 10, 0, 0x95, 0x22,
                           'H', 'I', 0x22, 0, 0, 0, 0};

TEST_F(FrontEnd, NoFileIsAWrongCommandLineAndTouchesNothing)
{
    RunResult r = run({"--slow"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "hibarion: no FILE to convert\nTry 'hibarion --help'.\n");
    EXPECT_FALSE(fileExists(folder + "Hibarion.ini"));
}

TEST_F(FrontEnd, FirstStartWritesTheDefaultSettingsWithItsMessage)
{
    writeFileBytes(folder + "GAME.p6", sampleImage);
    RunResult r = run({"GAME.p6"});
    EXPECT_EQ(r.status, 0);  // the settings message is not one of the drop's
    EXPECT_EQ(r.err, "hibarion: " + folder + "Hibarion.ini: not found; written with the defaults\n");
    EXPECT_EQ(readFileBytes(folder + "Hibarion.ini").size(), 635u);
}

// Under a Japanese locale the messages are the Windows program's texts, on one line.
TEST_F(FrontEnd, MessagesInTheUsersLanguage)
{
    const std::string catalogue = "locale/ja/LC_MESSAGES/";
    for (const char* part : {"locale", "locale/ja", "locale/ja/LC_MESSAGES"}) mkdir((folder + part).c_str(), 0755);
    writeFileBytes(folder + catalogue + "hibarion.mo", readFileBytes(HIBARION_BINARY_DIR "/" + catalogue + "hibarion.mo"));
    environment = "LC_ALL=ja_JP.UTF-8";
    RunResult r = run({"GAME.p6"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hibarion: " + folder + u8"Hibarion.ini: INI ファイルが見つかりません。デフォルトで作成します。\n"
                     u8"hibarion: GAME.p6: 開けません。\n");
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
    EXPECT_EQ(r.err, "hibarion: second.wav: the data breaks off\n");
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
    // song.wAv would replace the image that song.Wav gave. Every other name is answered,
    // the 3-byte one too, which the window passes over.
    std::string expected = "hibarion: song.P6: cannot be written: an earlier file of this run wrote it\n";
    for (const char* name : {"a.b", "GAME.P66", "SONG.WAVE", "README.TXT", "tapes"})
        expected += "hibarion: " + std::string(name) + ": not a recording or a tape image (.wav, .p6)\n";
    EXPECT_EQ(r.err, expected);
    RunResult shortName = run({"abc"});
    EXPECT_EQ(shortName.status, 1);
    EXPECT_EQ(shortName.err, "hibarion: abc: not a recording or a tape image (.wav, .p6)\n");
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
    EXPECT_EQ(r.err, "hibarion: OTHER_.wav: cannot be written: Is a directory\n");
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
    // Read, never written back.
    EXPECT_EQ(textOf(readFileBytes(folder + "Hibarion.ini")), text);
}

TEST_F(FrontEnd, NamesAreShownAsGivenAndLongOnesCutAsTheDropBufferCuts)
{
    writeDefaultSettings();
    // Not UTF-8 and not code page 932 either: printed byte for byte.
    std::string odd = "\xff\xfe.p6";
    RunResult r = run({odd});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hibarion: " + odd + ": cannot be opened\n");

    std::string longName = std::string(1196, 'a') + ".p6";  // 1199 bytes: kept whole
    EXPECT_EQ(run({longName}).err, "hibarion: " + longName + ": cannot be opened\n");
    std::string tooLong = std::string(1197, 'a') + ".p6";   // cut to 1199: "...a.p"
    EXPECT_EQ(run({tooLong}).err,
              "hibarion: " + tooLong.substr(0, 1199) + ": not a recording or a tape image (.wav, .p6)\n");
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

// ---- Options ------------------------------------------------------------------------

TEST_F(FrontEnd, HelpAndVersionGoToStandardOutput)
{
    RunResult help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: hibarion [OPTION]... [--] FILE...\n", 0), 0u);
    EXPECT_NE(help.out.find("$XDG_CONFIG_HOME/hibarion/"), std::string::npos);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(run({"-h", "GAME.p6"}).out, help.out);

    RunResult version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "hibarion " HIBARION_VERSION "\n");
    EXPECT_FALSE(fileExists(folder + "Hibarion.ini"));
}

TEST_F(FrontEnd, AWrongOptionIsOneLineThenAPointerToTheHelpAndTouchesNothing)
{
    writeFileBytes(folder + "GAME.p6", sampleImage);
    const struct {
        std::vector<std::string> arguments;
        std::string line;
    } cases[] = {
        {{"--rate=44.1k", "GAME.p6"}, "--rate: 44.1k is not a whole decimal number"},
        {{"--rate=0x2b11", "GAME.p6"}, "--rate: 0x2b11 is not a whole decimal number"},
        {{"--rate=44100.5", "GAME.p6"}, "--rate: 44100.5 is not a whole number"},
        {{"--rate", "192001", "GAME.p6"}, "--rate: 192001 is out of range (8000 to 192000)"},
        {{"--slowness=0", "GAME.p6"}, "--slowness: 0 is out of range (1 to 16)"},
        {{"--slowness=16.5", "GAME.p6"}, "--slowness: 16.5 is out of range (1 to 16)"},
        {{"--first-tone-seconds=-5", "GAME.p6"}, "--first-tone-seconds: -5 is out of range (0.1 to 9.9)"},
        {{"--output-ratio=1e308", "GAME.p6"}, "--output-ratio: 1e308 is out of range (0.01 to 9.99)"},
        {{"--slowness=fast", "GAME.p6"}, "--slowness: fast is not a decimal number"},
        {{"--input-ratio= 1", "GAME.p6"}, "--input-ratio:  1 is not a decimal number"},
        {{"--first-tone-seconds=inf", "GAME.p6"}, "--first-tone-seconds: inf is not a decimal number"},
        {{"--slowness=", "GAME.p6"}, "--slowness: '' is not a decimal number"},
        {{"--robust", "--channel=0", "GAME.p6"}, "--channel: 0 is out of range (1 to 1024)"},
        {{"--output-dir=GAME.p6", "GAME.p6"}, "--output-dir: GAME.p6 is not an existing folder"},
        {{"--slow=2", "GAME.p6"}, "option --slow takes no value"},
        {{"GAME.p6", "--rate"}, "option --rate needs a value"},
        {{"--sl", "GAME.p6"}, "ambiguous option --sl"},
        {{"--bogus=1", "GAME.p6"}, "unknown option --bogus"},
        {{"-x", "GAME.p6"}, "unknown option -x"},
    };
    for (const auto& c : cases) {
        RunResult r = run(c.arguments);
        EXPECT_EQ(r.status, 2) << c.line;
        EXPECT_EQ(r.err, "hibarion: " + c.line + "\nTry 'hibarion --help'.\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(fileExists(folder + "Hibarion.ini"));
    EXPECT_FALSE(fileExists(folder + "GAME_.wav"));
    // The bounds themselves are taken.
    writeDefaultSettings();
    EXPECT_EQ(run({"--slowness=16", "--output-ratio=9.99", "--first-tone-seconds=0.1", "GAME.p6"}).status, 0);
}

// As GNU tools do: what cannot be written on standard output fails the run.
TEST_F(FrontEnd, AWriteErrorOnStandardOutputFailsTheRun)
{
    writeDefaultSettings();
    writeFileBytes(folder + "GAME.p6", sampleImage);
    for (const char* arguments : {"--help", "--version", "GAME.p6"}) {
        std::string command = "cd " + shellQuoted(folder) + " && ./hibarion " + arguments +
                              " >/dev/full 2>" + shellQuoted(folder + "stderr.txt");
        int status = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1) << arguments;
        EXPECT_EQ(textOf(readFileBytes(folder + "stderr.txt")),
                  "hibarion: write error on standard output: No space left on device\n") << arguments;
    }
    EXPECT_TRUE(fileExists(folder + "GAME_.wav"));
}

TEST_F(FrontEnd, SettingsGivenForOneRunActAsTheFileWouldAndAreNeverSaved)
{
    writeDefaultSettings();
    const Bytes ini = readFileBytes(folder + "Hibarion.ini");
    writeFileBytes(folder + "GAME.p6", sampleImage);
    writeRecording("song.wav", sampleImage);

    // Abbreviated, with "=" or a separate value, after the names: all the GNU way.
    RunResult r = run({"GAME.p6", "--slowness", "4", "--output-r=2", "--no-l", "song.wav",
                       "--first-tone-seconds=0.1", "--input-ratio=9.99"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fileExists(folder + "GAME.txt"));
    const Bytes byOptions = readFileBytes(folder + "GAME_.wav");
    const Bytes decodedByOptions = readFileBytes(folder + "song.P6");
    EXPECT_EQ(readFileBytes(folder + "Hibarion.ini"), ini);

    writeSettings([] {
        conversionSettings.outputSlowness = 4;
        conversionSettings.outputRatio = 2;
        conversionSettings.basicListing = 0;
        conversionSettings.firstToneSeconds = 0.1;
        conversionSettings.inputRatio = 9.99;
    });
    EXPECT_EQ(run({"GAME.p6", "song.wav"}).status, 0);
    EXPECT_EQ(readFileBytes(folder + "GAME_.wav"), byOptions);
    EXPECT_EQ(readFileBytes(folder + "song.P6"), decodedByOptions);

    // Options over the file's values: --slow is 16, --listing lists, and the decoder's
    // two settings each act.
    EXPECT_EQ(run({"--slow", "--listing", "GAME.p6"}).status, 0);
    EXPECT_EQ(readFileBytes(folder + "GAME_.wav").size(), countRecordingSamples(sampleImage.size(), 16.0) + 44);
    EXPECT_TRUE(fileExists(folder + "GAME.txt"));
    EXPECT_EQ(run({"--input-ratio=1.32", "--first-tone-seconds=2", "song.wav"}).status, 0);
    EXPECT_EQ(readFileBytes(folder + "song.P6"), sampleImage);
    // Measured over the whole recording, silences and all, the level is no tone's.
    EXPECT_EQ(run({"--input-ratio=1.32", "--first-tone-seconds=9.9", "song.wav"}).status, 0);
    EXPECT_TRUE(readFileBytes(folder + "song.P6").empty());
    // A 1200 Hz wave at half the 2400 Hz level is far below one expected at 9.99 times.
    EXPECT_EQ(run({"--output-ratio=0.5", "--slowness=1", "GAME.p6"}).status, 0);
    EXPECT_EQ(run({"--input-ratio=9.99", "GAME_.wav"}).status, 0);
    EXPECT_TRUE(readFileBytes(folder + "GAME_.P6").empty());
    EXPECT_EQ(run({"--input-ratio=1.32", "GAME_.wav"}).status, 0);
    EXPECT_EQ(readFileBytes(folder + "GAME_.P6"), sampleImage);
}

TEST_F(FrontEnd, EveryOutputGoesIntoTheOutputFolderUnderItsOwnName)
{
    writeDefaultSettings();
    mkdir((folder + "in").c_str(), 0755);
    mkdir((folder + "out").c_str(), 0755);
    writeFileBytes(folder + "in/GAME.p6", sampleImage);
    writeFileBytes(folder + "in/song.wav", makeWaveFile(synthesizeTapeSignal(sampleImage, 11025), 11025));
    chmod((folder + "in").c_str(), 0555);

    RunResult r = run({"-o", "out", "in/GAME.p6", "in/song.wav"});
    EXPECT_EQ(r.status, 0) << r.err;
    uint64_t samples = countRecordingSamples(static_cast<uint32_t>(sampleImage.size()), 1.0);
    EXPECT_EQ(r.out, "in/GAME.p6 -> out/GAME_.wav (" + std::to_string(samples) + " samples)\n"
                     "in/GAME.p6 -> out/GAME.txt (" +
                     std::to_string(readFileBytes(folder + "out/GAME.txt").size()) + " bytes)\n"
                     "in/song.wav -> out/song.P6 (29 bytes)\n");
    EXPECT_EQ(readFileBytes(folder + "out/song.P6"), sampleImage);
    const Bytes recording = readFileBytes(folder + "out/GAME_.wav");
    chmod((folder + "in").c_str(), 0755);
    EXPECT_FALSE(fileExists(folder + "in/GAME_.wav"));
    EXPECT_FALSE(fileExists(folder + "in/song.P6"));

    // The same bytes as beside the input; a trailing '/' and an absolute folder do too.
    EXPECT_EQ(run({"in/GAME.p6"}).status, 0);
    EXPECT_EQ(readFileBytes(folder + "in/GAME_.wav"), recording);
    EXPECT_EQ(run({"--output-dir=" + folder + "out/", "GAME.p6", "in/GAME.p6"}).err,
              "hibarion: GAME.p6: cannot be opened\n");
    EXPECT_EQ(readFileBytes(folder + "out/GAME_.wav"), recording);
}

TEST_F(FrontEnd, RecordingsAtOtherRatesDecodeBackExactly)
{
    writeDefaultSettings();
    const Bytes image = readFileBytes(std::string(HIBARION_SOURCE_DIR) + "/examples/HELLO.p6");
    writeFileBytes(folder + "HELLO.p6", image);
    ASSERT_EQ(run({"HELLO.p6"}).status, 0);
    const size_t samplesAt11025 = readFileBytes(folder + "HELLO_.wav").size() - 44;

    for (uint32_t rate : {44100u, 48000u}) {
        ASSERT_EQ(run({"--rate", std::to_string(rate), "HELLO.p6"}).status, 0);
        const Bytes wave = readFileBytes(folder + "HELLO_.wav");
        ASSERT_GT(wave.size(), 44u);
        EXPECT_EQ(wave[24] | wave[25] << 8 | wave[26] << 16 | wave[27] << 24, int(rate));
        EXPECT_EQ(wave[28] | wave[29] << 8 | wave[30] << 16 | wave[31] << 24, int(rate));
        // As long in time as at 11025, to within a sample per cell.
        EXPECT_NEAR(double(wave.size() - 44) / rate, double(samplesAt11025) / 11025, 0.01) << rate;

        EXPECT_EQ(run({"HELLO_.wav"}).status, 0);
        EXPECT_EQ(readFileBytes(folder + "HELLO_.P6"), image) << rate;
    }
}

TEST_F(FrontEnd, AFolderNamedLikeAnInputCannotBeOpened)
{
    writeDefaultSettings();
    mkdir((folder + "tape.p6").c_str(), 0755);
    mkdir((folder + "TAPE.WAV").c_str(), 0755);
    for (const char* option : {"--listing", "--resample"}) {
        RunResult r = run({option, "tape.p6", "TAPE.WAV"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "hibarion: tape.p6: cannot be opened\nhibarion: TAPE.WAV: cannot be opened\n");
    }
}

// ---- Where the settings live -------------------------------------------------------

TEST_F(FrontEnd, SettingsLiveBesideAPortableCopyOtherwiseInTheUsersConfigFolder)
{
    auto found = [](const std::string& path) { return "hibarion: " + path + ": not found; written with the defaults\n"; };
    mkdir((folder + "bin").c_str(), 0755);
    writeFileBytes(folder + "bin/hibarion", readFileBytes(HIBARION_FRONT_END));
    chmod((folder + "bin/hibarion").c_str(), 0755);
    writeFileBytes(folder + "GAME.p6", sampleImage);
    program = "bin/hibarion";

    // A bin folder is where installed programs live, whoever may write there.
    environment = "HOME=" + shellQuoted(folder + "home") + " XDG_CONFIG_HOME=" + shellQuoted(folder + "config");
    EXPECT_EQ(run({"GAME.p6"}).err, found(folder + "config/hibarion/Hibarion.ini"));
    EXPECT_EQ(readFileBytes(folder + "config/hibarion/Hibarion.ini").size(), 635u);
    EXPECT_EQ(run({"GAME.p6"}).err, "");
    // A relative XDG_CONFIG_HOME is ignored, as is an empty one.
    for (const char* config : {"config", ""}) {
        environment = "HOME=" + shellQuoted(folder + "home") + " XDG_CONFIG_HOME=" + config;
        EXPECT_EQ(run({"--no-listing", "GAME.p6"}).err, config[0] ? found(folder + "home/.config/hibarion/Hibarion.ini") : "");
        EXPECT_TRUE(fileExists(folder + "home/.config/hibarion/Hibarion.ini"));
    }
    EXPECT_FALSE(fileExists(folder + "bin/Hibarion.ini"));

    // One already beside it is used; --settings names any other.
    std::remove((folder + "GAME.txt").c_str());
    writeSettings([] { conversionSettings.basicListing = 0; });
    std::rename((folder + "Hibarion.ini").c_str(), (folder + "bin/Hibarion.ini").c_str());
    EXPECT_EQ(run({"GAME.p6"}).err, "");
    EXPECT_FALSE(fileExists(folder + "GAME.txt"));
    EXPECT_EQ(run({"--settings", "my.ini", "GAME.p6"}).err, found("my.ini"));
    EXPECT_EQ(readFileBytes(folder + "my.ini").size(), 635u);
    EXPECT_TRUE(fileExists(folder + "GAME.txt"));
}

// ---- Files written whole, never clobbered -------------------------------------------

// Writes of the program fail as on a full disk: a file size limit of 0 with SIGXFSZ
// ignored. Its standard error and status go through a pipe, which the limit spares.
RunResult runOnAFullDisk(const std::string& folder, const std::string& arguments)
{
    std::string command = "cd " + shellQuoted(folder) + " && (trap '' XFSZ; ulimit -f 0; ./hibarion " +
                          arguments + " 2>&1; echo \"status $?\") | cat >" + shellQuoted(folder + "log.txt");
    RunResult result{-1, "", ""};
    if (std::system(command.c_str()) != 0) return result;
    std::string log = textOf(readFileBytes(folder + "log.txt"));
    std::string::size_type at = log.rfind("status ");
    if (at == std::string::npos) return result;
    result.status = std::atoi(log.c_str() + at + 7);
    result.err = log.substr(0, at);
    return result;
}

TEST_F(FrontEnd, AFullDiskKeepsEveryEarlierOutputWholeAndSaysWhy)
{
    writeDefaultSettings();
    writeFileBytes(folder + "GAME.p6", sampleImage);
    writeRecording("song.wav", sampleImage);
    const Bytes earlier(5000, 0x55);
    for (const char* output : {"GAME_.wav", "GAME.txt", "song.P6"}) writeFileBytes(folder + output, earlier);
    writeFileBytes(folder + "log.txt", Bytes());
    const std::vector<std::string> before = namesIn(folder);

    RunResult r = runOnAFullDisk(folder, "GAME.p6 song.wav");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hibarion: GAME_.wav: cannot be written: File too large\n"
                     "hibarion: GAME.txt: cannot be written: File too large\n"
                     "hibarion: song.P6: cannot be written: File too large\n");
    for (const char* output : {"GAME_.wav", "GAME.txt", "song.P6"})
        EXPECT_EQ(readFileBytes(folder + output), earlier) << output;
    EXPECT_EQ(namesIn(folder), before);

    // The settings file cannot be made either: named once, with its path; the
    // conversions go on.
    std::remove((folder + "Hibarion.ini").c_str());
    r = runOnAFullDisk(folder, "--settings=my.ini xy.b");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hibarion: my.ini: not found; written with the defaults\n"
                     "hibarion: my.ini: cannot be written; check the file's attributes: File too large\n"
                     "hibarion: xy.b: not a recording or a tape image (.wav, .p6)\n");
    EXPECT_FALSE(fileExists(folder + "my.ini"));
}

// As a user who may not write them, even when the tests run as root.
TEST_F(FrontEnd, ReadOnlyOutputsStayAsTheyWere)
{
    writeDefaultSettings();
    writeFileBytes(folder + "GAME.p6", sampleImage);
    const Bytes earlier(5000, 0x55);
    writeFileBytes(folder + "GAME_.wav", earlier);
    chmod((folder + "GAME_.wav").c_str(), 0444);
    chmod(folder.c_str(), 0777);
    if (geteuid() == 0) program = "setpriv --reuid=65534 --regid=65534 --clear-groups ./hibarion";

    RunResult r = run({"GAME.p6"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hibarion: GAME_.wav: cannot be written: Permission denied\n");
    EXPECT_EQ(readFileBytes(folder + "GAME_.wav"), earlier);
    EXPECT_TRUE(fileExists(folder + "GAME.txt"));
}

TEST_F(FrontEnd, NoOutputReplacesOneOfTheSameRunAndNoClobberKeepsEveryExistingOne)
{
    writeDefaultSettings();
    mkdir((folder + "a").c_str(), 0755);
    mkdir((folder + "b").c_str(), 0755);
    mkdir((folder + "out").c_str(), 0755);
    writeFileBytes(folder + "a/GAME_.wav", makeWaveFile(synthesizeTapeSignal(sampleImage, 11025), 11025));
    writeFileBytes(folder + "b/GAME_.wav", makeWaveFile(synthesizeTapeSignal(Bytes(40, 7), 11025), 11025));
    writeFileBytes(folder + "a/GAME.p6", sampleImage);
    writeFileBytes(folder + "b/GAME.p6", Bytes(40, 7));

    RunResult r = run({"-o", "out", "a/GAME_.wav", "b/GAME_.wav", "a/GAME.p6", "b/GAME.p6"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hibarion: out/GAME_.P6: cannot be written: an earlier file of this run wrote it\n"
                     "hibarion: out/GAME_.wav: cannot be written: an earlier file of this run wrote it\n"
                     "hibarion: out/GAME.txt: cannot be written: an earlier file of this run wrote it\n");
    EXPECT_EQ(readFileBytes(folder + "out/GAME_.P6"), sampleImage);
    // The same folder by another spelling is the same folder.
    r = run({"a/GAME.p6", "b/../a/GAME.p6"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hibarion: b/../a/GAME_.wav: cannot be written: an earlier file of this run wrote it\n"
                     "hibarion: b/../a/GAME.txt: cannot be written: an earlier file of this run wrote it\n");

    // The edit round trip: the edited listing survives the last step, and --no-clobber
    // keeps it too, while the recording it did not have yet is written.
    writeFileBytes(folder + "GAME.p6", sampleImage);
    ASSERT_EQ(run({"GAME.p6"}).status, 0);
    std::string listing = textOf(readFileBytes(folder + "GAME.txt"));
    listing.replace(listing.find("ＨＩ"), std::string("ＨＩ").size(), "ＨＯ");
    writeFileBytes(folder + "GAME.txt", bytesOf(listing));
    ASSERT_EQ(run({"--tokenize", "GAME.txt"}).status, 0);
    ASSERT_EQ(run({"--no-listing", "GAME.p6"}).status, 0);
    EXPECT_EQ(textOf(readFileBytes(folder + "GAME.txt")), listing);
    std::remove((folder + "GAME_.wav").c_str());
    r = run({"-n", "GAME.p6"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "hibarion: GAME.txt: cannot be written: it exists, and --no-clobber keeps it\n");
    EXPECT_EQ(textOf(readFileBytes(folder + "GAME.txt")), listing);
    EXPECT_TRUE(fileExists(folder + "GAME_.wav"));
}

// Stopped midway through a long recording: the one there before stays, and no part of
// the new one is left behind.
TEST_F(FrontEnd, ARunStoppedMidwayLeavesNoPartOfAFile)
{
    writeDefaultSettings();
    writeFileBytes(folder + "LONG.p6", Bytes(20000, 0x41));
    const Bytes earlier(5000, 0x55);
    writeFileBytes(folder + "LONG_.wav", earlier);
    const std::vector<std::string> before = namesIn(folder);
    std::string command = "cd " + shellQuoted(folder) +
                          " && { ./hibarion --rate=192000 --slowness=16 LONG.p6 >/dev/null 2>&1 & pid=$!;"
                          " until ls -a | grep -q '^[.]hibarion-' || ! kill -0 $pid; do sleep 0.01; done;"
                          " kill -TERM $pid; wait $pid; echo $? >status; }";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(textOf(readFileBytes(folder + "status")), "143\n");  // 128 + SIGTERM
    std::remove((folder + "status").c_str());
    EXPECT_EQ(readFileBytes(folder + "LONG_.wav"), earlier);
    EXPECT_EQ(namesIn(folder), before);
}

TEST_F(FrontEnd, ASettingsFileNamedThatIsNoSettingsFileIsRefusedAndKept)
{
    writeFileBytes(folder + "GAME.p6", Bytes(3000, 0x41));
    writeFileBytes(folder + "X.p6", sampleImage);
    mkdir((folder + "folder.ini").c_str(), 0755);
    for (const char* named : {"GAME.p6", "folder.ini"}) {
        RunResult r = run({"--settings", named, "X.p6"});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, std::string("hibarion: --settings '") + named +
                             "' is not a Hibarion settings file; it is left as it is\n");
    }
    EXPECT_EQ(readFileBytes(folder + "GAME.p6"), Bytes(3000, 0x41));
    EXPECT_FALSE(fileExists(folder + "X_.wav"));
}

// Runs that share one settings file read it and leave it alone; before, each saved it at
// exit, and a run that read it meanwhile found it half-written and reset it.
TEST_F(FrontEnd, ParallelRunsSharingOneSettingsFileNeverResetIt)
{
    writeSettings([] {
        conversionSettings.basicListing = 0;
        conversionSettings.outputSlowness = 4;
    });
    ASSERT_EQ(std::rename((folder + "Hibarion.ini").c_str(), (folder + "shared.ini").c_str()), 0);
    const Bytes settings = readFileBytes(folder + "shared.ini");
    const int runs = 12;
    std::string command = "cd " + shellQuoted(folder) + " && for k in $(seq " + std::to_string(runs) +
                          "); do ./hibarion --settings shared.ini G$k.p6 >out$k 2>err$k & done; wait";
    for (int k = 1; k <= runs; ++k) writeFileBytes(folder + "G" + std::to_string(k) + ".p6", sampleImage);
    ASSERT_EQ(std::system(command.c_str()), 0);

    const uint64_t samples = countRecordingSamples(static_cast<uint32_t>(sampleImage.size()), 4.0);
    for (int k = 1; k <= runs; ++k) {
        std::string n = std::to_string(k);
        EXPECT_EQ(textOf(readFileBytes(folder + "err" + n)), "") << k;
        EXPECT_EQ(readFileBytes(folder + "G" + n + "_.wav").size(), samples + 44) << k;
        EXPECT_FALSE(fileExists(folder + "G" + n + ".txt")) << k;
    }
    EXPECT_EQ(readFileBytes(folder + "shared.ini"), settings);
}

// ---- The Debian package ------------------------------------------------------------

// The package as a user installs it, unpacked into a scratch root that nobody may
// write; the settings go to the user's config folder, the outputs beside the input.
TEST_F(FrontEnd, TheDebianPackageUnpackedReadOnlyConvertsAFile)
{
    std::string command = std::string(HIBARION_CPACK) + " --config " +
                          shellQuoted(HIBARION_BINARY_DIR "/CPackConfig.cmake") + " -B " +
                          shellQuoted(folder + "package") + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    glob_t found;
    ASSERT_EQ(glob((folder + "package/hibarion_" HIBARION_VERSION "_*.deb").c_str(), 0, nullptr, &found), 0);
    const std::string deb = found.gl_pathv[0];
    globfree(&found);

    const std::string root = folder + "root/";
    command = "dpkg-deb -f " + shellQuoted(deb) + " Depends >" + shellQuoted(folder + "depends") +
              " && dpkg-deb -x " + shellQuoted(deb) + " " + shellQuoted(root) + " && chmod -R a-w " +
              shellQuoted(root);
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_NE(textOf(readFileBytes(folder + "depends")).find("libsndfile1"), std::string::npos);
    command = "gzip -dc " + shellQuoted(root + "usr/share/man/man1/hibarion.1.gz") + " >" +
              shellQuoted(folder + "manual");
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_NE(textOf(readFileBytes(folder + "manual")).find("hibarion " HIBARION_VERSION), std::string::npos);
    // As Debian would take it: no error, no warning.
    command = "lintian --fail-on error,warning " + shellQuoted(deb) + " >" + shellQuoted(folder + "lintian") + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << textOf(readFileBytes(folder + "lintian"));
    EXPECT_TRUE(fileExists(root + "usr/share/doc/hibarion/README.md"));

    writeFileBytes(folder + "GAME.p6", sampleImage);
    program = shellQuoted(root + "usr/bin/hibarion");
    // The installed catalogue speaks the user's language.
    environment = "HOME=" + shellQuoted(folder + "home") + " XDG_CONFIG_HOME= LC_ALL=ja_JP.UTF-8";
    RunResult r = run({"GAME.p6"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "hibarion: " + folder +
                         u8"home/.config/hibarion/Hibarion.ini: INI ファイルが見つかりません。デフォルトで作成します。\n");
    EXPECT_EQ(readFileBytes(folder + "home/.config/hibarion/Hibarion.ini").size(), 635u);
    EXPECT_FALSE(fileExists(root + "usr/bin/Hibarion.ini"));
    const Bytes installed = readFileBytes(folder + "GAME_.wav");
    program = "./hibarion";
    EXPECT_EQ(run({"GAME.p6"}).status, 0);
    EXPECT_EQ(readFileBytes(folder + "GAME_.wav"), installed);

    command = "chmod -R u+w " + shellQuoted(root);
    EXPECT_EQ(std::system(command.c_str()), 0);
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
