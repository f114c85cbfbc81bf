#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unistd.h>

#include "core/tables.h"
#include "settings/settings.h"
#include "tests/fake_platform.h"
#include "tests/test_files.h"

namespace {

// Bytes from hexadecimal digits; blanks between them are ignored.
std::string fromHex(const char* hex)
{
    std::string bytes;
    for (const char* at = hex; *at;) {
        if (*at == ' ') {
            ++at;
            continue;
        }
        bytes += static_cast<char>(std::stoi(std::string(at, 2), nullptr, 16));
        at += 2;
    }
    return bytes;
}

// The five keys as code page 932 bytes.
const std::string FirstToneKey = fromHex("83 73 81 5B 82 CC 8E 9E 8A D4 20 3D");
const std::string InputRatioKey = fromHex("93 FC 97 CD 94 E4 20 3D");
const std::string OutputRatioKey = fromHex("8F 6F 97 CD 94 E4 20 3D");
const std::string SlownessKey = fromHex("8F 6F 97 CD 82 CC 92 78 82 B3 20 3D");
const std::string ListingKey = "BASIC LIST =";

// The default character table, row by row, as Shift-JIS codes.
const char* const DefaultRows[16] = {
    "8140 8C8E 89CE 9085 96D8 8BE0 9379 93FA 944E 897E 8E9E 95AA 9562 9553 90E7 969C",
    "83CE 84B3 84B1 84B2 84B0 84B4 84AB 84AA 84AC 84AD 84AF 84AE 817E 91E5 9286 8FAC",
    "8140 8149 8168 8194 8190 8193 8195 8166 8169 816A 8196 817B 8143 817C 8144 815E",
    "824F 8250 8251 8252 8253 8254 8255 8256 8257 8258 8146 8147 8183 8181 8184 8148",
    "8197 8260 8261 8262 8263 8264 8265 8266 8267 8268 8269 826A 826B 826C 826D 826E",
    "826F 8270 8271 8272 8273 8274 8275 8276 8277 8278 8279 816D 818F 816E 814F 8151",
    "8140 8281 8282 8283 8284 8285 8286 8287 8288 8289 828A 828B 828C 828D 828E 828F",
    "8290 8291 8292 8293 8294 8295 8296 8297 8298 8299 829A 816F 8162 8170 8150 8140",
    "81A3 81A5 819A 819F 819B 819C 82F0 829F 82A1 82A3 82A5 82A7 82E1 82E3 82E5 82C1",
    "8140 82A0 82A2 82A4 82A6 82A8 82A9 82AB 82AD 82AF 82B1 82B3 82B5 82B7 82B9 82BB",
    "8140 8142 8175 8176 8141 8145 8392 8340 8342 8344 8346 8348 8383 8385 8387 8362",
    "815B 8341 8343 8345 8347 8349 834A 834C 834E 8350 8352 8354 8356 8358 835A 835C",
    "835E 8360 8363 8365 8367 8369 836A 836B 836C 836D 836E 8371 8374 8377 837A 837D",
    "837E 8380 8381 8382 8384 8386 8388 8389 838A 838B 838C 838D 838F 8393 814A 814B",
    "82BD 82BF 82C2 82C4 82C6 82C8 82C9 82CA 82CB 82CC 82CD 82D0 82D3 82D6 82D9 82DC",
    "82DD 82DE 82DF 82E0 82E2 82E4 82E6 82E7 82E8 82E9 82EA 82EB 82ED 82F1 8140 8140",
};

// The 22 lines of a file with the default settings, without their line ends.
std::vector<std::string> defaultLines()
{
    std::vector<std::string> lines = {
        "[HIBARION]",          FirstToneKey + "2.0",    InputRatioKey + "1.32",
        OutputRatioKey + "1.32", SlownessKey + "  1.0", ListingKey + "1",
    };
    for (const char* row : DefaultRows) lines.push_back(fromHex(row));
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines, const char* end = "\r\n")
{
    std::string text;
    for (const std::string& line : lines) text += line + end;
    return text;
}

std::string row(int r) { return std::string(CharacterTable + 32 * r, 32); }

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedDirectory = ProgramDirectory;
        folder = makeScratchFolder();
        useDirectory(folder);
        setDefaultSettings();
        clearRecordedPlatform();
    }
    void TearDown() override
    {
        useDirectory(savedDirectory);
        setDefaultSettings();
        clearRecordedPlatform();
    }

    static void useDirectory(const std::string& directory)
    {
        ASSERT_LT(directory.size(), sizeof ProgramDirectory);
        std::strcpy(ProgramDirectory, directory.c_str());
    }
    std::string iniPath() const { return folder + "Hibarion.ini"; }
    void writeIni(const std::string& text) const { writeFileBytes(iniPath(), bytesOf(text)); }
    std::string readIni() const
    {
        Bytes bytes = readFileBytes(iniPath());
        return std::string(bytes.begin(), bytes.end());
    }

    // The one message shown, which must have no owner window.
    std::string onlyMessage() const
    {
        EXPECT_EQ(recordedPlatform.messages.size(), 1u);
        if (recordedPlatform.messages.empty()) return "";
        EXPECT_EQ(recordedPlatform.messages[0].owner, nullptr);
        return recordedPlatform.messages[0].text;
    }

    std::string savedDirectory;
    std::string folder;
};

TEST_F(SettingsFileTest, DefaultFileIs635BytesOfCrLfLines)
{
    ASSERT_TRUE(saveSettings());
    std::string expected = joinLines(defaultLines());
    ASSERT_EQ(expected.size(), 635u);
    std::string written = readIni();
    EXPECT_EQ(written.size(), 635u);
    EXPECT_EQ(hexOf(written), hexOf(expected));
    EXPECT_TRUE(recordedPlatform.messages.empty());

    for (int r = 0; r < 16; ++r)
        EXPECT_EQ(hexOf(std::string(DefaultCharacterTable + 32 * r, 32)),
                  hexOf(fromHex(DefaultRows[r])));
}

TEST_F(SettingsFileTest, WrittenFileReadsBackToSavedDecimals)
{
    conversionSettings = {12.5, 0.5, 1.23456, 16.0, 0};
    CharacterTable[2 * 0x41] = '\x83';  // "ア" for code 0x41
    CharacterTable[2 * 0x41 + 1] = '\x41';
    std::memcpy(CharacterTable + 32 * 5, "ab\0d\x1A" "fghijklmnopqrstuvwxyz0123\r5", 32);
    std::string table(CharacterTable, 512);
    ASSERT_TRUE(saveSettings());

    std::vector<std::string> lines = defaultLines();
    lines[1] = FirstToneKey + "12.5";
    lines[2] = InputRatioKey + "0.50";
    lines[3] = OutputRatioKey + "1.23";
    lines[4] = SlownessKey + " 16.0";
    lines[5] = ListingKey + "0";
    for (int r = 0; r < 16; ++r) lines[6 + r] = table.substr(32 * r, 32);
    EXPECT_EQ(hexOf(readIni()), hexOf(joinLines(lines)));

    setDefaultSettings();
    ASSERT_TRUE(loadSettings());
    EXPECT_TRUE(recordedPlatform.messages.empty());
    EXPECT_EQ(conversionSettings.firstToneSeconds, 12.5);
    EXPECT_EQ(conversionSettings.inputRatio, 0.5);
    EXPECT_EQ(conversionSettings.outputRatio, 1.23);
    EXPECT_EQ(conversionSettings.outputSlowness, 16.0);
    EXPECT_EQ(conversionSettings.basicListing, 0);
    EXPECT_EQ(hexOf(std::string(CharacterTable, 512)), hexOf(table));
    EXPECT_EQ(CharacterTable[512], '\0');
}

TEST_F(SettingsFileTest, DefaultsPutBackEveryFieldAndRow)
{
    conversionSettings = {9.0, 9.0, 9.0, 9.0, 9};
    std::memset(CharacterTable, 'x', 512);
    setDefaultSettings();
    EXPECT_EQ(conversionSettings.firstToneSeconds, 2.0);
    EXPECT_EQ(conversionSettings.inputRatio, 1.32);
    EXPECT_EQ(conversionSettings.outputRatio, 1.32);
    EXPECT_EQ(conversionSettings.outputSlowness, 1.0);
    EXPECT_EQ(conversionSettings.basicListing, 1);
    EXPECT_EQ(std::memcmp(CharacterTable, DefaultCharacterTable, 513), 0);
}

TEST_F(SettingsFileTest, CrLfAndLineFeedFilesBothRead)
{
    std::vector<std::string> lines = defaultLines();
    lines[1] = FirstToneKey + "3.5";
    for (const char* end : {"\r\n", "\n"}) {
        setDefaultSettings();
        writeIni(joinLines(lines, end));
        EXPECT_TRUE(loadSettings()) << hexOf(end);
        EXPECT_EQ(conversionSettings.firstToneSeconds, 3.5);
        EXPECT_EQ(row(15), fromHex(DefaultRows[15]));
    }
    EXPECT_TRUE(recordedPlatform.messages.empty());
}

TEST_F(SettingsFileTest, MissingFileIsReported)
{
    EXPECT_FALSE(loadSettings());
    EXPECT_EQ(onlyMessage(), "INI ファイルが見つかりません。\nデフォルトで作成します。");
}

TEST_F(SettingsFileTest, EmptyFileIsReported)
{
    writeIni("");
    EXPECT_FALSE(loadSettings());
    EXPECT_EQ(onlyMessage(), "データが存在しません。\nデフォルトで作成しなおします。");
}

TEST_F(SettingsFileTest, SectionLine)
{
    const char* notOurs =
        "これは「Hibarion」\nの INI データではありません。\nデフォルトで作成しなおします。";
    std::vector<std::string> lines = defaultLines();
    for (const char* section : {"[hibarion]", "[HIBARIO", "", " [HIBARION]"}) {
        clearRecordedPlatform();
        lines[0] = section;
        writeIni(joinLines(lines));
        EXPECT_FALSE(loadSettings()) << section;
        EXPECT_EQ(onlyMessage(), notOurs) << section;
    }

    clearRecordedPlatform();
    lines[0] = "[HIBARION]  ; and whatever follows";
    writeIni(joinLines(lines));
    EXPECT_TRUE(loadSettings());
    EXPECT_TRUE(recordedPlatform.messages.empty());
}

TEST_F(SettingsFileTest, KeyWithoutItsBlankNamesLineAndKey)
{
    std::vector<std::string> lines = defaultLines();
    lines[1] = FirstToneKey + "3.5";
    lines[2] = fromHex("93 FC 97 CD 94 E4 3D") + "1.5";  // no blank before '='
    writeIni(joinLines(lines));
    EXPECT_FALSE(loadSettings());
    EXPECT_EQ(hexOf(onlyMessage()),
              hexOf("3 行目が " + InputRatioKey +
                    " の項目でありません。\nデフォルトで作成しなおします。"));
    // The line read before the refusal has already taken effect.
    EXPECT_EQ(conversionSettings.firstToneSeconds, 3.5);
}

TEST_F(SettingsFileTest, ValueEndsAtCarriageReturn)
{
    // A lone CR in an LF file ends the value, so the 7 after it is not read.
    std::vector<std::string> lines = defaultLines();
    lines[5] = ListingKey + "\r 7";
    writeIni(joinLines(lines, "\n"));
    ASSERT_TRUE(loadSettings());
    EXPECT_EQ(conversionSettings.basicListing, 0);
}

TEST_F(SettingsFileTest, MissingKeyedLineIsReported)
{
    std::vector<std::string> lines = defaultLines();
    lines.resize(4);
    writeIni(joinLines(lines));
    EXPECT_FALSE(loadSettings());
    EXPECT_EQ(onlyMessage(), "5 行目が存在しません。\nデフォルトで作成しなおします。");
}

TEST_F(SettingsFileTest, FileEndingAfterLine6LacksLine7)
{
    std::vector<std::string> lines = defaultLines();
    lines.resize(6);
    writeIni(joinLines(lines));
    EXPECT_FALSE(loadSettings());
    EXPECT_EQ(onlyMessage(), "7 行目がありません。\nデフォルトで作成します。");
}

TEST_F(SettingsFileTest, ShortTableLineIsReportedByRowNumber)
{
    std::vector<std::string> lines = defaultLines();
    lines[6] = std::string(32, 'a');
    lines[8] = std::string(20, 'c');  // line 9, row 3
    writeIni(joinLines(lines));
    EXPECT_FALSE(loadSettings());
    EXPECT_EQ(onlyMessage(), "Kawasemi の 3 行目が不正です。\nデフォルトで作成します。");
    EXPECT_EQ(row(0), std::string(32, 'a'));  // taken before the refusal
}

TEST_F(SettingsFileTest, TableLineCountsItsLineFeed)
{
    std::vector<std::string> lines = defaultLines();
    lines[6] = std::string(31, 'a');  // 31 bytes and the line feed pass
    lines[7] = std::string(35, 'b');  // bytes past the 32nd are ignored
    writeIni(joinLines(lines));
    EXPECT_TRUE(loadSettings());
    EXPECT_EQ(row(0), std::string(31, 'a') + "\n");
    EXPECT_EQ(row(1), std::string(32, 'b'));

    clearRecordedPlatform();
    lines[7] = std::string(30, 'b');  // CR LF counts as one byte
    writeIni(joinLines(lines));
    EXPECT_FALSE(loadSettings());
    EXPECT_EQ(onlyMessage(), "Kawasemi の 2 行目が不正です。\nデフォルトで作成します。");
}

TEST_F(SettingsFileTest, ZeroBytesInTableLineAreData)
{
    std::vector<std::string> lines = defaultLines();
    lines[6] = std::string(32, '\0');
    lines[7] = std::string("\0\0", 2) + std::string(29, 'z');  // 31 bytes and LF: passes
    writeIni(joinLines(lines));
    ASSERT_TRUE(loadSettings());
    EXPECT_EQ(row(0), std::string(32, '\0'));
    EXPECT_EQ(row(1), lines[7] + "\n");
    EXPECT_EQ(CharacterTable[512], '\0');

    clearRecordedPlatform();
    lines[7] = std::string("\0", 1) + std::string(29, 'z');  // 30 bytes and LF
    writeIni(joinLines(lines));
    EXPECT_FALSE(loadSettings());
    EXPECT_EQ(onlyMessage(), "Kawasemi の 2 行目が不正です。\nデフォルトで作成します。");
}

TEST_F(SettingsFileTest, LinesAfterTheTableAreIgnoredAndDropped)
{
    std::string text = joinLines(defaultLines());
    writeIni(text + "extra line\r\nanother\r\n");
    ASSERT_TRUE(loadSettings());
    EXPECT_TRUE(recordedPlatform.messages.empty());
    ASSERT_TRUE(saveSettings());
    EXPECT_EQ(hexOf(readIni()), hexOf(text));
}

TEST_F(SettingsFileTest, ValuesParseLeniently)
{
    std::vector<std::string> lines = defaultLines();
    lines[1] = FirstToneKey + "   2.5";
    lines[2] = InputRatioKey + "abc";
    lines[3] = OutputRatioKey + "";
    lines[4] = SlownessKey + "4";
    lines[5] = ListingKey + " -7 and more";
    writeIni(joinLines(lines));
    ASSERT_TRUE(loadSettings());
    EXPECT_TRUE(recordedPlatform.messages.empty());
    EXPECT_EQ(conversionSettings.firstToneSeconds, 2.5);
    EXPECT_EQ(conversionSettings.inputRatio, 0.0);
    EXPECT_EQ(conversionSettings.outputRatio, 0.0);
    EXPECT_EQ(conversionSettings.outputSlowness, 4.0);
    EXPECT_EQ(conversionSettings.basicListing, -7);

    lines[5] = ListingKey + "0";
    writeIni(joinLines(lines));
    ASSERT_TRUE(loadSettings());
    EXPECT_EQ(conversionSettings.basicListing, 0);
}

TEST_F(SettingsFileTest, LongLineIsCutAt254Bytes)
{
    std::vector<std::string> lines = defaultLines();
    // 253 bytes and the line feed still make one line...
    lines[1] = FirstToneKey + "2.5";
    lines[1] += std::string(253 - lines[1].size(), ' ');
    writeIni(joinLines(lines));
    ASSERT_TRUE(loadSettings());
    EXPECT_EQ(conversionSettings.firstToneSeconds, 2.5);

    // ...one more byte, and the line feed is read as line 3.
    lines[1] += ' ';
    writeIni(joinLines(lines));
    EXPECT_FALSE(loadSettings());
    EXPECT_EQ(hexOf(onlyMessage()),
              hexOf("3 行目が " + InputRatioKey +
                    " の項目でありません。\nデフォルトで作成しなおします。"));
}

TEST_F(SettingsFileTest, LongTableLineGivesTwoRows)
{
    std::vector<std::string> lines = defaultLines();
    std::string first(254, 'a');
    first[31] = 'A';
    std::string second = std::string(30, 'b') + "B";
    lines[6] = first + second;  // rows 0 and 1; the last default row is then left over
    writeIni(joinLines(lines));
    ASSERT_TRUE(loadSettings());
    EXPECT_EQ(row(0), first.substr(0, 32));
    EXPECT_EQ(row(1), second + "\n");
    EXPECT_EQ(row(2), fromHex(DefaultRows[1]));
    EXPECT_EQ(row(15), fromHex(DefaultRows[14]));
}

TEST_F(SettingsFileTest, FailureToOpenForWritingIsReported)
{
    useDirectory(folder + "missing/");
    EXPECT_FALSE(saveSettings());
    EXPECT_EQ(onlyMessage(), "INI ファイルを書き込めません。\nファイルの属性を確認してください。");
}

TEST_F(SettingsFileTest, FailureToWriteAfterOpeningIsReportedAndTheFileKept)
{
    const Bytes earlier = bytesOf("[HIBARION]\r\n");
    writeFileBytes(iniPath(), earlier);
    {
        FileSizeLimit fullDisk(100);
        EXPECT_FALSE(saveSettings());
    }
    EXPECT_EQ(onlyMessage(), "INI ファイルを書き込めません。\nファイルの属性を確認してください。");
    EXPECT_EQ(readFileBytes(iniPath()), earlier);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"Hibarion.ini"});
}

}  // namespace
