// Every character table the program reads must read back from the file it writes at
// exit; otherwise the next start throws the user's table away for the defaults. These
// cases were found by the settings file fuzz target.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/tables.h"
#include "settings/settings.h"
#include "tests/fake_platform.h"
#include "tests/test_files.h"

namespace {

class SettingsRoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedDirectory = ProgramDirectory;
        folder = makeScratchFolder();
        ASSERT_LT(folder.size(), sizeof ProgramDirectory);
        std::strcpy(ProgramDirectory, folder.c_str());
        setDefaultSettings();
        ASSERT_TRUE(saveSettings());
        lines = linesOf(readFileBytes(folder + "Hibarion.ini"));
        ASSERT_EQ(lines.size(), 22u);
        clearRecordedPlatform();
    }
    void TearDown() override
    {
        std::strcpy(ProgramDirectory, savedDirectory.c_str());
        setDefaultSettings();
        clearRecordedPlatform();
    }

    // The default file's lines without their CR LF.
    static std::vector<std::string> linesOf(const Bytes& file)
    {
        std::vector<std::string> result;
        std::string text(file.begin(), file.end());
        for (size_t at = 0; at < text.size();) {
            size_t end = text.find("\r\n", at);
            if (end == std::string::npos) end = text.size();
            result.push_back(text.substr(at, end - at));
            at = end + 2;
        }
        return result;
    }
    // Key line `n` (2 to 6) of the default file up to and including its '='.
    std::string keyOfLine(int n) const
    {
        const std::string& line = lines[n - 1];
        return line.substr(0, line.rfind('=') + 1);
    }
    void writeIni(const std::string& text) const
    {
        writeFileBytes(folder + "Hibarion.ini", bytesOf(text));
    }
    // Loads what is in the file, saves it, and loads what was saved.
    void loadSaveLoad()
    {
        ASSERT_TRUE(loadSettings());
        loadedTable.assign(CharacterTable, CharacterTableSize);
        loaded = conversionSettings;
        ASSERT_TRUE(saveSettings());
        setDefaultSettings();
        reloaded = loadSettings();
    }

    std::string savedDirectory, folder;
    std::vector<std::string> lines;
    std::string loadedTable;
    ConversionSettings loaded = {};
    bool reloaded = false;
};

std::string rowOf(const char* table, int r) { return std::string(table + 32 * r, 32); }

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

TEST_F(SettingsRoundTrip, RowEndingInItsLineFeedReadsBackAfterSaving)
{
    // A table line of 31 bytes passes with its line feed as the row's last byte.
    for (int r : {0, 7, 14}) {
        SCOPED_TRACE(r);
        std::vector<std::string> edited = lines;
        std::string text;
        for (int n = 0; n < 22; ++n)
            text += n == 6 + r ? edited[n].substr(0, 31) + "\n" : edited[n] + "\r\n";
        writeIni(text);
        loadSaveLoad();
        ASSERT_EQ(loadedTable[32 * r + 31], '\n');
        EXPECT_TRUE(reloaded);
        EXPECT_TRUE(recordedPlatform.messages.empty());
        EXPECT_EQ(hexOf(rowOf(CharacterTable, r)), hexOf(rowOf(loadedTable.data(), r)));
    }
}

TEST_F(SettingsRoundTrip, RowEndingInCarriageReturnAndLineFeedReadsBackAfterSaving)
{
    // 30 bytes, a CR that no LF follows, then CR LF: the row ends in CR and LF.
    std::vector<std::string> edited = lines;
    edited[9] = edited[9].substr(0, 30) + "\r";
    writeIni(joined(edited));
    loadSaveLoad();
    ASSERT_EQ(loadedTable.substr(32 * 3 + 30, 2), "\r\n");
    EXPECT_TRUE(reloaded);
    EXPECT_TRUE(recordedPlatform.messages.empty());
    EXPECT_EQ(hexOf(rowOf(CharacterTable, 3)), hexOf(rowOf(loadedTable.data(), 3)));
}

}  // namespace
