#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "core/listing.h"
#include "core/loaded_data.h"
#include "core/tables.h"
#include "settings/settings.h"
#include "tests/fake_platform.h"
#include "tests/test_files.h"

namespace {

WindowHandle const MainWindow = reinterpret_cast<WindowHandle>(0x1234);

const char Heading[] = "FILENAME = ";
const char Breaks[] = "\r\n\r\n\r\n";

struct ProgramLine {
    unsigned number;
    Bytes body;
};

// A tape image as the home computer saves a BASIC program: ten header bytes, the name,
// the lines with their links, and three zero bytes at the end when `closed`.
Bytes programImage(const Bytes& name, const std::vector<ProgramLine>& lines, bool closed = true)
{
    Bytes image(10, 0xD3);
    for (uint8_t b : name) image.push_back(b);
    for (const ProgramLine& line : lines) {
        image.push_back(0x10);  // a link; its value is never used
        image.push_back(0xC4);
        image.push_back(static_cast<uint8_t>(line.number & 0xFF));
        image.push_back(static_cast<uint8_t>(line.number >> 8));
        image.insert(image.end(), line.body.begin(), line.body.end());
        image.push_back(0x00);
    }
    if (closed) image.insert(image.end(), {0x00, 0x00, 0x00});
    return image;
}

const Bytes PlainName = {0x41, 0x42, 0x43, 0x20, 0x20, 0x20};
const std::string PlainHeading = std::string(Heading) + "ＡＢＣ　　　" + Breaks;

class ListingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearRecordedPlatform();
        folder = makeScratchFolder();
    }

    void TearDown() override
    {
        releaseLoadedData();
        std::memcpy(CharacterTable, DefaultCharacterTable, sizeof CharacterTable);
    }

    // Puts the bytes into the slot as the tape image loader leaves them.
    void holdImage(const Bytes& image)
    {
        releaseLoadedData();
        loadedDataSlot.data = static_cast<uint8_t*>(std::malloc(image.size() + 1));
        ASSERT_NE(nullptr, loadedDataSlot.data);
        if (!image.empty()) std::memcpy(loadedDataSlot.data, image.data(), image.size());
        loadedDataSlot.held = 1;
        loadedDataSlot.count = static_cast<uint32_t>(image.size());
    }

    // The listing file written for the image, as bytes in a string.
    std::string listingOf(const Bytes& image)
    {
        holdImage(image);
        EXPECT_TRUE(writeBasicListing(MainWindow, (folder + "GAME.P6").c_str()));
        Bytes written = readFileBytes(folder + "GAME.txt");
        return std::string(written.begin(), written.end());
    }

    // The listing of one program line, with the usual name and number 10.
    std::string bodyOf(const Bytes& body)
    {
        std::string listing = listingOf(programImage(PlainName, {{10, body}}));
        std::string head = PlainHeading + "１０　";
        if (listing.compare(0, head.size(), head) != 0 || listing.size() < head.size() + 2 ||
            listing.compare(listing.size() - 2, 2, "\r\n") != 0)
            return "malformed: " + hexOf(listing);
        return listing.substr(head.size(), listing.size() - head.size() - 2);
    }

    std::string folder;
};

}  // namespace

TEST_F(ListingTest, HeadingWritesTheSixNameBytesAsCharacters)
{
    std::string listing = listingOf(programImage(PlainName, {}));
    EXPECT_EQ(PlainHeading, listing);
    EXPECT_EQ("46 49 4C 45 4E 41 4D 45 20 3D 20 82 60 82 61 82 62 81 40 81 40 81 40 "
              "0D 0A 0D 0A 0D 0A",
              hexOf(listing));

    // No control, prefix or end handling in the name: every byte is its character.
    EXPECT_EQ(std::string(Heading) + "月　┣日お”" + Breaks,
              listingOf(programImage({0x01, 0x00, 0x14, 0x07, 0x95, 0x22}, {})));
    EXPECT_EQ(std::string(Heading) + "◆ｅ　　　　" + Breaks,
              listingOf(programImage({0x83, 0x65, 0x60, 0x7F, 0xFE, 0xFF}, {})));
}

TEST_F(ListingTest, LineNumbersAreFullWidthDecimal)
{
    std::string listing =
        listingOf(programImage(PlainName, {{0, {}}, {10, {}}, {65535, {}}, {1, {0x41}}}));
    EXPECT_EQ(PlainHeading + "０　\r\n１０　\r\n６５５３５　\r\n１　Ａ\r\n", listing);
}

TEST_F(ListingTest, LiteralIsFlippedByQuotesAndSetByDataAndRem)
{
    EXPECT_EQ("ＰＲＩＮＴ”お”ＰＲＩＮＴ", bodyOf({0x95, 0x22, 0x95, 0x22, 0x95}));
    EXPECT_EQ("ＲＥＭ　お", bodyOf({0x8E, 0x20, 0x95}));
    EXPECT_EQ("ＤＡＴＡ１：お", bodyOf({0x83, 0x31, 0x3A, 0x95}));
    // Behind a comment a quote turns literal off again.
    EXPECT_EQ("ＲＥＭ”ＰＲＩＮＴ", bodyOf({0x8E, 0x22, 0x95}));
    EXPECT_EQ("ＤＡＴＡ”ＤＡＴＡお", bodyOf({0x83, 0x22, 0x83, 0x95}));
}

TEST_F(ListingTest, LiteralEndsWithItsLine)
{
    std::string listing =
        listingOf(programImage(PlainName, {{10, {0x22, 0x95}}, {20, {0x95}}, {30, {0x8E}},
                                           {40, {0x95}}}));
    EXPECT_EQ(PlainHeading + "１０　”お\r\n２０　ＰＲＩＮＴ\r\n" +
                  "３０　ＲＥＭ\r\n４０　ＰＲＩＮＴ\r\n",
              listing);
}

TEST_F(ListingTest, GraphicPrefixSelectsTheNextCharacter)
{
    EXPECT_EQ("月", bodyOf({0x14, 0x31}));
    EXPECT_EQ("(ブザーを鳴らす)月", bodyOf({0x14, 0x07, 0x31}));
    EXPECT_EQ("月１", bodyOf({0x14, 0x31, 0x31}));
    EXPECT_EQ("小　！", bodyOf({0x14, 0x4F, 0x14, 0x50, 0x14, 0x51}));
    EXPECT_EQ("", bodyOf({0x14}));
    // A token byte behind the prefix is a character, yet still sets literal.
    EXPECT_EQ("ｅＰＲＩＮＴ", bodyOf({0x14, 0x95, 0x95}));
    EXPECT_EQ("Ｓお", bodyOf({0x14, 0x83, 0x95}));
    // The quote reached through the prefix is byte 0x52 and leaves literal alone.
    EXPECT_EQ("”ＰＲＩＮＴ", bodyOf({0x14, 0x52, 0x95}));
}

TEST_F(ListingTest, BytesBelowThirtyAfterThePrefixAreOrdinaryCharacters)
{
    EXPECT_EQ("　！”／", bodyOf({0x14, 0x20, 0x14, 0x21, 0x14, 0x22, 0x14, 0x2F}));
    // Each of them clears the prefix like any other character; the quote also flips literal.
    EXPECT_EQ("”お”ＰＲＩＮＴ", bodyOf({0x14, 0x22, 0x95, 0x22, 0x95}));
    EXPECT_EQ("！１", bodyOf({0x14, 0x21, 0x31}));
}

TEST_F(ListingTest, ControlCodesAreSpelledOutEverywhere)
{
    EXPECT_EQ("”(ブザーを鳴らす)”", bodyOf({0x22, 0x07, 0x22}));
    EXPECT_EQ("(CTRL-A)(キャリッジ・リターン)(ラインフィード)(↓)",
              bodyOf({0x01, 0x0D, 0x0A, 0x1F}));
    EXPECT_EQ("ＲＥＭ(ESC)お", bodyOf({0x8E, 0x1B, 0x95}));
}

TEST_F(ListingTest, TokensWithoutKeywordAreWrittenAsTheirCode)
{
    EXPECT_EQ("ＭＫＳ＄(0xFA)(0xFB)(0xFC)(0xFD)(0xFE)(0xFF)",
              bodyOf({0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF}));
    EXPECT_EQ("ＥＮＤ＋－　", bodyOf({0x80, 0xCA, 0xCB, 0x7F}));
}

TEST_F(ListingTest, ThreeZeroBytesAtALineHeadEndTheProgram)
{
    Bytes image = programImage(PlainName, {});
    image.insert(image.end(), {0x10, 0xC4, 0x0A, 0x00, 0x41, 0x00});  // after the end
    EXPECT_EQ(PlainHeading, listingOf(image));

    // A zero link alone does not end it: the line number's low byte counts too.
    EXPECT_EQ(PlainHeading + "１　Ａ\r\n",
              listingOf({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x41, 0x42, 0x43, 0x20, 0x20, 0x20,
                         0x00, 0x00, 0x01, 0x00, 0x41, 0x00}));
}

TEST_F(ListingTest, TheImageEndEndsTheProgram)
{
    // The last line has lost its 0x00: it is still written with its line break.
    Bytes image = programImage(PlainName, {{10, {0x95}}, {20, {0x41, 0x42}}}, false);
    image.pop_back();
    EXPECT_EQ(PlainHeading + "１０　ＰＲＩＮＴ\r\n２０　ＡＢ\r\n", listingOf(image));

    // An image that ends right after a complete line.
    EXPECT_EQ(PlainHeading + "１０　ＰＲＩＮＴ\r\n",
              listingOf(programImage(PlainName, {{10, {0x95}}}, false)));

    // Nothing but the header.
    EXPECT_EQ(PlainHeading, listingOf(programImage(PlainName, {}, false)));
}

TEST_F(ListingTest, ShortImagesAreNeverReadBeyondTheirEnd)
{
    Bytes image = programImage(PlainName, {}, false);
    image.resize(12);
    EXPECT_EQ(std::string(Heading) + "ＡＢ" + Breaks, listingOf(image));
    EXPECT_EQ(std::string(Heading) + Breaks, listingOf({}));

    // A line head needs four bytes; with three left the listing ends.
    image = programImage(PlainName, {{10, {0x41}}}, false);
    image.insert(image.end(), {0x10, 0xC4, 0x14});
    EXPECT_EQ(PlainHeading + "１０　Ａ\r\n", listingOf(image));
    // With four left the line is there, its body empty.
    image.push_back(0x00);
    EXPECT_EQ(PlainHeading + "１０　Ａ\r\n２０　\r\n", listingOf(image));
}

TEST_F(ListingTest, ListingReadsTheWorkingCharacterTable)
{
    CharacterTable[2 * 0x41] = '\x83';
    CharacterTable[2 * 0x41 + 1] = '\x41';
    std::string listing =
        listingOf(programImage({0x41, 0x41, 0x20, 0x20, 0x20, 0x20}, {{10, {0x41, 0x14, 0x71}}}));
    EXPECT_EQ(std::string(Heading) + "アア　　　　" + Breaks + "１０　アア\r\n", listing);

    std::memcpy(CharacterTable, DefaultCharacterTable, sizeof CharacterTable);
    EXPECT_EQ("Ａ", bodyOf({0x41}));
}

TEST_F(ListingTest, LineFeedOfATableEntryIsWrittenAsCrLf)
{
    // A settings file whose first table row was read from a 31-byte line: entry 0x0F
    // ends in that line's line feed.
    std::string savedDirectory = ProgramDirectory;
    std::snprintf(ProgramDirectory, ProgramDirectorySize, "%s", folder.c_str());
    CharacterTable[2 * 0x0F + 1] = '\n';
    saveSettings();
    std::memcpy(CharacterTable, DefaultCharacterTable, sizeof CharacterTable);
    bool loaded = loadSettings();
    std::snprintf(ProgramDirectory, ProgramDirectorySize, "%s", savedDirectory.c_str());
    ASSERT_TRUE(loaded);
    ASSERT_EQ('\n', CharacterTable[2 * 0x0F + 1]);

    std::string listing =
        listingOf(programImage({0x0F, 0x41, 0x20, 0x20, 0x20, 0x20}, {{10, {0x14, 0x3F, 0x41}}}));
    EXPECT_EQ(std::string(Heading) + "\x96\r\nＡ　　　　" + Breaks + "１０　\x96\r\nＡ\r\n",
              listing);
}

TEST_F(ListingTest, ListingNameAndReport)
{
    holdImage(programImage(PlainName, {}));
    std::string image = folder + "game.p6";
    EXPECT_TRUE(writeBasicListing(MainWindow, image.c_str()));
    EXPECT_TRUE(fileExists(folder + "game.txt"));
    EXPECT_FALSE(fileExists(image));
    EXPECT_EQ("WA", recordedPlatform.cursors);
    EXPECT_TRUE(recordedPlatform.messages.empty());
    ASSERT_EQ(1u, recordedPlatform.written.size());
    EXPECT_EQ(folder + "game.txt", recordedPlatform.written[0]);
}

TEST_F(ListingTest, AnExistingListingIsReplaced)
{
    writeFileBytes(folder + "GAME.txt", Bytes(4096, 'x'));
    EXPECT_EQ(PlainHeading, listingOf(programImage(PlainName, {})));
}

TEST_F(ListingTest, ListingThatCannotBeCreatedIsReported)
{
    holdImage(programImage(PlainName, {{10, {0x95}}}));
    std::string listing = folder + "missing/GAME.txt";
    EXPECT_FALSE(writeBasicListing(MainWindow, (folder + "missing/GAME.P6").c_str()));
    EXPECT_EQ("WA", recordedPlatform.cursors);
    ASSERT_EQ(1u, recordedPlatform.messages.size());
    EXPECT_EQ(MainWindow, recordedPlatform.messages[0].owner);
    // "は書き込めません"
    EXPECT_EQ(listing + " \x82\xCD\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1",
              recordedPlatform.messages[0].text);
    EXPECT_TRUE(recordedPlatform.written.empty());
}

TEST_F(ListingTest, ListingThatCannotBeWrittenIsReportedAndTheOldOneKept)
{
    std::string listing = folder + "GAME.txt";
    const Bytes edited = bytesOf("10 PRINT \"EDITED\"\r\n");
    writeFileBytes(listing, edited);
    holdImage(programImage(PlainName, {{10, {0x95}}}));
    {
        FileSizeLimit fullDisk(10);
        EXPECT_FALSE(writeBasicListing(MainWindow, (folder + "GAME.P6").c_str()));
    }
    EXPECT_EQ("WA", recordedPlatform.cursors);
    ASSERT_EQ(1u, recordedPlatform.messages.size());
    EXPECT_EQ(listing + " は書き込めません", recordedPlatform.messages[0].text);
    EXPECT_TRUE(recordedPlatform.written.empty());
    EXPECT_EQ(readFileBytes(listing), edited);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"GAME.txt"});
}
