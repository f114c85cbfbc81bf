#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "core/listing.h"
#include "core/tables.h"
#include "settings/settings.h"
#include "tests/test_files.h"
#include "tokenizer/tokenizer.h"

namespace {

// Codes whose character is the full-width space, like 0x20: a listing cannot tell them apart.
bool isBlank(unsigned code)
{
    return code == 0x00 || code == 0x60 || code == 0x7F || code == 0x90 || code == 0xA0 ||
           code >= 0xFE;
}

std::string hexOfBytes(const Bytes& bytes) { return hexOf(std::string(bytes.begin(), bytes.end())); }

unsigned below(std::mt19937& random, unsigned count) { return random() % count; }

// A character of a string, a comment or DATA: any code with a character of its own, a
// control code, or a semigraphic behind GraphicPrefix.
void addLiteralCharacter(std::mt19937& random, Bytes& body)
{
    switch (below(random, 4)) {
    case 0: {
        unsigned code = 1 + below(random, 0x1F);
        body.push_back(code == GraphicPrefix ? 0x07 : code);
        break;
    }
    case 1:
        body.insert(body.end(), {GraphicPrefix, static_cast<uint8_t>(0x31 + below(random, 0x1F))});
        break;
    default: {
        unsigned code = 0x20 + below(random, 0xE0);
        body.push_back(isBlank(code) || code == 0x22 ? 0x20 : code);
    }
    }
}

// Statements as the machine's BASIC keeps them, their parts parted by blanks so that no
// two of them read as one longer keyword: keywords, numbers, variables, strings, and
// semigraphics; the line may end in a comment or DATA.
Bytes makeBody(std::mt19937& random)
{
    static const uint8_t Signs[] = {0x2C, 0x3B, 0x3A, 0x28, 0x29};
    Bytes body;
    for (unsigned part = 0, parts = 1 + below(random, 8); part < parts; ++part) {
        if (part) body.push_back(0x20);
        switch (below(random, 6)) {
        case 0: {
            unsigned token = 0x80 + below(random, 0x80);
            body.push_back(token == 0x83 || token == 0x8E ? 0x95 : token);
            break;
        }
        case 1:
            for (unsigned k = 0, digits = 1 + below(random, 5); k < digits; ++k)
                body.push_back(0x30 + below(random, 10));
            break;
        case 2:
            body.push_back(0x41 + below(random, 26));
            break;
        case 3:
            body.push_back(Signs[below(random, sizeof Signs)]);
            break;
        case 4:
            body.insert(body.end(), {GraphicPrefix, static_cast<uint8_t>(0x31 + below(random, 0x1F))});
            break;
        default:
            body.push_back(0x22);
            for (unsigned k = 0, count = below(random, 12); k < count; ++k) addLiteralCharacter(random, body);
            body.push_back(0x22);
        }
    }
    if (below(random, 3) == 0) {
        body.insert(body.end(), {0x3A, below(random, 2) ? uint8_t(0x8E) : uint8_t(0x83)});
        for (unsigned k = 0, count = below(random, 12); k < count; ++k) {
            addLiteralCharacter(random, body);
            if (body.back() == 0x22) body.back() = 0x20;
        }
    }
    return body;
}

// The image of a program in the layout the home computer saves: links from 0x8001.
Bytes programImage(const Bytes& name, const std::vector<std::pair<unsigned, Bytes>>& lines)
{
    Bytes image(10, 0xD3);
    for (uint8_t b : name) image.push_back(b);
    for (const auto& line : lines) {
        unsigned next = 0x8001 + static_cast<unsigned>(image.size() - 16 + 5 + line.second.size());
        image.insert(image.end(), {uint8_t(next), uint8_t(next >> 8), uint8_t(line.first),
                                   uint8_t(line.first >> 8)});
        image.insert(image.end(), line.second.begin(), line.second.end());
        image.push_back(0x00);
    }
    image.insert(image.end(), 3, 0x00);
    return image;
}

class TokenizerTest : public ScratchTest {
protected:
    void TearDown() override
    {
        setDefaultSettings();
        ScratchTest::TearDown();
    }

    std::string listingOf(const Bytes& image)
    {
        holdInSlot(image, 11025);
        EXPECT_TRUE(writeBasicListing(nullptr, (folder + "GAME.p6").c_str()));
        Bytes listing = readFileBytes(folder + "GAME.txt");
        return std::string(listing.begin(), listing.end());
    }

    Bytes tokenized(const std::string& text, const char* name = nullptr)
    {
        std::vector<unsigned char> image;
        TokenizeProblem problem;
        EXPECT_TRUE(tokenizeProgram(text, "game", name, CharacterTable, image, problem))
            << "line " << problem.line << ": " << problem.text;
        return Bytes(image.begin(), image.end());
    }

    std::string problemOf(const std::string& text, const char* name = nullptr)
    {
        std::vector<unsigned char> image;
        TokenizeProblem problem;
        EXPECT_FALSE(tokenizeProgram(text, "game", name, CharacterTable, image, problem));
        return "line " + std::to_string(problem.line) + ": " + problem.text;
    }
};

}  // namespace

TEST_F(TokenizerTest, GeneratedProgramsComeBackByteForByte)
{
    std::mt19937 random(14);
    for (int program = 0; program < 200; ++program) {
        Bytes name;
        for (int k = 0; k < 6; ++k) {
            unsigned code = 1 + below(random, 0xFF);
            name.push_back(isBlank(code) ? 0x20 : code);
        }
        std::vector<std::pair<unsigned, Bytes>> lines;
        for (unsigned k = 0, count = below(random, 20); k < count; ++k)
            lines.push_back({below(random, 65536), makeBody(random)});
        Bytes image = programImage(name, lines);
        ASSERT_EQ(hexOfBytes(image), hexOfBytes(tokenized(listingOf(image)))) << "program " << program;
    }
}

TEST_F(TokenizerTest, ALineFeedOfATableEntryReadsBack)
{
    // Entry 0x0F ends in the line feed of a 31-byte table line of the settings file.
    std::string savedDirectory = ProgramDirectory;
    std::snprintf(ProgramDirectory, ProgramDirectorySize, "%s", folder.c_str());
    CharacterTable[2 * 0x0F + 1] = '\n';
    saveSettings();
    setDefaultSettings();
    bool loaded = loadSettings();
    std::snprintf(ProgramDirectory, ProgramDirectorySize, "%s", savedDirectory.c_str());
    ASSERT_TRUE(loaded);

    Bytes image = programImage({0x41, 0x0F, 0x42, 0x20, 0x20, 0x20},
                               {{10, {0x95, 0x22, 0x14, 0x3F, 0x14, 0x3F, 0x22}}, {20, {0x14, 0x3F}}});
    EXPECT_EQ(hexOfBytes(image), hexOfBytes(tokenized(listingOf(image))));
}

// A keyword may be written in either width, also mixed, as its listing reads back alike.
TEST_F(TokenizerTest, PlainTextTakesKeywordsByTheLongestMatch)
{
    Bytes image = tokenized(u8"\uFEFF10 print \"ｶナ月\"\r\n\r\n20 A=TAB(1)+2:REM OK\n0 INPUTINP PＦN$\n");
    Bytes expected = programImage({'G', 'A', 'M', 'E', 0x20, 0x20},
                                  {{10, {0x95, 0x20, 0x22, 0xB6, 0xC5, 0x14, 0x31, 0x22}},
                                   {20, {0x41, 0xD2, 0xC2, 0x31, 0x29, 0xCA, 0x32, 0x3A, 0x8E, 0x20, 0x4F, 0x4B}},
                                   {0, {0x84, 0xD9, 0x20, 0x50, 0xC4, 0x24}}});
    EXPECT_EQ(hexOfBytes(expected), hexOfBytes(image));
    // A name given is taken as written, its first six characters.
    Bytes named = tokenized("1 END", u8"aaｱBCDEF");
    EXPECT_EQ("61 61 B1 42 43 44", hexOfBytes(Bytes(named.begin() + 10, named.begin() + 16)));
}

// Keywords in either case outside strings, REM and DATA; tabs and blanks that indent a
// line or part statements read as blanks.
TEST_F(TokenizerTest, PlainTextIsReadAsPeopleTypeIt)
{
    Bytes image = tokenized("  10 print \"Hi\":Rem print\n\t20\tA\t:\tdata print\n \t\n \t");
    Bytes expected = programImage({'G', 'A', 'M', 'E', 0x20, 0x20},
                                  {{10, {0x95, 0x20, 0x22, 'H', 'i', 0x22, 0x3A, 0x8E, 0x20, 'p', 'r', 'i', 'n', 't'}},
                                   {20, {'A', 0x20, 0x3A, 0x20, 0x83, 0x20, 'p', 'r', 'i', 'n', 't'}}});
    EXPECT_EQ(hexOfBytes(expected), hexOfBytes(image));
}

// Code page 932 whose bytes happen to be UTF-8 ("ﾃｱ" is "ñ", which has no code) is read
// as code page 932.
TEST_F(TokenizerTest, TheEncodingIsTheOneThatMakesAProgram)
{
    Bytes expected = programImage({'G', 'A', 'M', 'E', 0x20, 0x20}, {{10, {0x95, 0x22, 0xC3, 0xB1, 0x22}}});
    EXPECT_EQ(hexOfBytes(expected), hexOfBytes(tokenized("10 PRINT\"\xC3\xB1\"")));
}

TEST_F(TokenizerTest, WhatTheListingCannotCarryIsReadOneWay)
{
    // 0x60 and 0x90 are shown as the full-width space and come back as 0x20; the links
    // are laid out anew from 0x8001.
    Bytes image = programImage({0x60, 0x20, 0x20, 0x20, 0x20, 0x20}, {{10, {0x22, 0x60, 0x90, 0x22}}});
    Bytes expected = programImage({0x20, 0x20, 0x20, 0x20, 0x20, 0x20}, {{10, {0x22, 0x20, 0x20, 0x22}}});
    image[16] = 0x34;
    EXPECT_EQ(hexOfBytes(expected), hexOfBytes(tokenized(listingOf(image))));
}

TEST_F(TokenizerTest, ProblemsNameTheirLine)
{
    EXPECT_EQ("line 2: no line number", problemOf("10 PRINT\nPRINT\n"));
    EXPECT_EQ("line 3: line number 65536, above 65535", problemOf("10 A\n\n65536 B\n"));
    EXPECT_EQ("line 1: line number of six digits or more, above 65535", problemOf("1000000 A"));
    EXPECT_EQ("line 2: a line of 256 bytes, longer than the 255 the machine takes",
              problemOf("1 A\n2 \"" + std::string(254, 'A') + "\"\n"));
    EXPECT_EQ(255u + 10 + 6 + 5 + 3, tokenized("2 \"" + std::string(253, 'A') + "\"").size());
    const std::string Emoji = "\xF0\x9F\x98\x80";  // no code page 932 character
    EXPECT_EQ("line 1: a character with no code: \"" + Emoji + "\"", problemOf("10 PRINT \"" + Emoji + "\""));
    // Code page 932 that is valid UTF-8 is told its own problem, not its UTF-8 reading's.
    EXPECT_EQ("line 3: no line number", problemOf("10 PRINT \"\xC3\xB1\"\n20 A\nPRINT\n"));
    EXPECT_EQ("line 2: a character with no code: byte 0x0B", problemOf("10 A\n20 \vB\n"));
    // Hiragana from 0xD0 on have no code outside a string: they would be tokens.
    EXPECT_EQ(u8"line 1: a character with no code: \"た\"", problemOf(u8"10 た"));
    EXPECT_EQ("line 1: a name of more than six characters", problemOf("FILENAME = ＡＢＣＤＥＦＧ\r\n"));
    EXPECT_EQ("line 0: the name on tape: a character with no code: \"" + Emoji + "\"",
              problemOf("1 END", ("A" + Emoji).c_str()));
}
