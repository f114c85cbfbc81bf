// A BASIC program's own structure as a check on the bytes `--robust` decodes.
#include <cstdio>
#include <cstdlib>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "core/tables.h"
#include "settings/settings.h"
#include "signal/program_structure.h"
#include "tests/sound_files.h"
#include "tokenizer/tokenizer.h"

namespace {

const char programText[] =
    "10 CLS\n"
    "20 PRINT \"HELLO, WORLD\"\n"
    "30 FOR I=1 TO 10:PRINT I;:NEXT\n"
    "40 A$=\"TAPE\":PRINT A$\n"
    "50 GOTO 20\n";

Bytes program(const char* text = programText)
{
    Bytes image;
    TokenizeProblem problem;
    EXPECT_TRUE(tokenizeProgram(text, "game", nullptr, DefaultCharacterTable, image, problem)) << problem.text;
    return image;
}

// The offset of line `index` (0 for the first), found through the links of a whole image.
size_t lineAt(const Bytes& image, int index)
{
    size_t at = 16;
    for (int k = 0; k < index; ++k) at = (image[at] | image[at + 1] << 8) - 0x8001 + 16;
    return at;
}

std::string shown(const std::vector<StructureFinding>& findings)
{
    std::string text;
    for (const StructureFinding& f : findings)
        text += std::to_string(f.byte) +
                (f.repaired ? " repaired from " + std::to_string(f.was) : " suspect") + "\n";
    return text;
}

std::string suspects(const std::vector<size_t>& bytes)
{
    std::string text;
    for (size_t byte : bytes) text += std::to_string(byte) + " suspect\n";
    return text;
}

TEST(ProgramStructure, DeterminedBytesComeBackExact)
{
    const Bytes image = program();
    const size_t third = lineAt(image, 2), last = lineAt(image, 4), end = lineAt(image, 5);
    ASSERT_EQ(end + 3, image.size());
    // Each alone, then together: a header mark, the low byte of a link, one of the
    // end's zeros, the high byte of the last link (not with the end: each of the two
    // tells where the other stands).
    struct Damage {
        size_t byte;
        uint8_t value;
    };
    const Damage damages[] = {
        {3, 0x53}, {third, static_cast<uint8_t>(image[third] ^ 0x10)}, {end + 1, 0x20}, {last + 1, 0x00}};
    Bytes all = image;
    std::string allExpected;
    for (const Damage& damage : damages) {
        Bytes damaged = image;
        damaged[damage.byte] = damage.value;
        const std::string expected =
            std::to_string(damage.byte) + " repaired from " + std::to_string(damage.value) + "\n";
        EXPECT_EQ(shown(checkProgramStructure(damaged)), expected);
        EXPECT_EQ(damaged, image) << expected;
        if (damage.byte == last + 1) continue;
        all[damage.byte] = damage.value;
        allExpected += expected;
    }
    EXPECT_EQ(shown(checkProgramStructure(all)), allExpected);
    EXPECT_EQ(all, image);
    // What follows the end is no part of the program.
    Bytes padded = image;
    padded.insert(padded.end(), {0x3E, 0x01, 0x00, 0xC9});
    const Bytes paddedImage = padded;
    EXPECT_EQ(shown(checkProgramStructure(padded)), "");
    EXPECT_EQ(padded, paddedImage);
}

TEST(ProgramStructure, DamageTheStructureCannotUndoIsFlaggedOnly)
{
    const Bytes image = program();
    const size_t second = lineAt(image, 1), third = lineAt(image, 2), fourth = lineAt(image, 3),
                 last = lineAt(image, 4), end = lineAt(image, 5);
    struct Case {
        const char* what;
        Bytes damaged;
        std::vector<size_t> flagged;
    };
    std::vector<Case> cases;
    Bytes lost = image;  // three bytes of the third line's body: every later link is 3 off
    lost.erase(lost.begin() + static_cast<long>(third) + 8, lost.begin() + static_cast<long>(third) + 11);
    std::vector<size_t> thirdLine;
    for (size_t k = third; k < fourth - 3; ++k) thirdLine.push_back(k);
    cases.push_back({"lost", lost, thirdLine});
    Bytes gained = image;
    gained.insert(gained.begin() + static_cast<long>(third) + 8, {0x41, 0x42});
    thirdLine.clear();
    for (size_t k = third; k < fourth + 2; ++k) thirdLine.push_back(k);
    cases.push_back({"gained", gained, thirdLine});
    Bytes lostAtEnd = image;  // the last line: a wrong link looks the same
    lostAtEnd.erase(lostAtEnd.begin() + static_cast<long>(last) + 5);
    std::vector<size_t> lastLine;
    for (size_t k = last; k < end - 1; ++k) lastLine.push_back(k);
    cases.push_back({"lost in the last line", lostAtEnd, lastLine});
    Bytes number = image;  // 30 -> 286, after 40 and 50 no more
    number[third + 3] = 0x01;
    cases.push_back({"line number", number, {third + 2, third + 3}});
    Bytes strayZero = image;
    strayZero[second + 7] = 0x00;
    cases.push_back({"a 0x00 in a body", strayZero, {second + 7}});
    Bytes noZero = image;
    noZero[fourth - 1] = 0x3A;
    cases.push_back({"a line without its 0x00", noZero, {fourth - 1}});
    Bytes headerLost = image;  // the name moves into the marks' places, which stay as they are
    headerLost.erase(headerLost.begin() + 4);
    std::vector<size_t> firstLine;
    for (size_t k = 16; k < second - 1; ++k) firstLine.push_back(k);
    cases.push_back({"lost in the header", headerLost, firstLine});
    Bytes noise = image;
    noise.insert(noise.begin(), 0x55);
    cases.push_back({"before the header", noise, {16}});
    // A link and the closing 0x00 of the same line: a repair would merge it with the
    // next, whose link points where the scan ends (line numbers without a 0x00 byte).
    const Bytes numbered = program("1000 CLS\n1010 PRINT 1\n1020 PRINT 2\n1030 PRINT 3\n1040 END\n");
    const size_t one = lineAt(numbered, 1), two = lineAt(numbered, 2);
    std::vector<size_t> firstOfTwo;
    for (size_t k = one; k < two; ++k) firstOfTwo.push_back(k);
    for (size_t hit : {one, one + 1}) {
        Bytes twoHits = numbered;
        twoHits[hit] ^= 0x01;
        twoHits[two - 1] = 0x3A;
        cases.push_back({"a link and its line's 0x00", twoHits, firstOfTwo});
    }
    for (Case& c : cases) {
        const Bytes damaged = c.damaged;
        EXPECT_EQ(shown(checkProgramStructure(c.damaged)), suspects(c.flagged)) << c.what;
        EXPECT_EQ(c.damaged, damaged) << c.what;
    }
}

TEST(ProgramStructure, WhatIsNoProgramIsLeftAlone)
{
    const Bytes basic = program();
    Bytes machineCode = basic;  // the same chain behind another header
    for (size_t k = 0; k < 10; ++k) machineCode[k] = static_cast<uint8_t>(0x9C + k);
    machineCode[1] = 0xD3;
    Bytes elsewhere = basic;  // a chain from another address
    for (int line = 0; line < 5; ++line) elsewhere[lineAt(basic, line) + 1] += 0x44;
    elsewhere[3] = 0x00;
    Bytes randomBody = randomImage(400, 5);  // the header alone
    std::fill_n(randomBody.begin(), 10, 0xD3);
    Bytes threeLinks = basic;  // three wrong links in five lines: the chain itself is in doubt
    for (int line : {0, 2, 4}) threeLinks[lineAt(basic, line) + 1] = 0x00;
    for (const Bytes& image : {randomImage(400, 4), machineCode, elsewhere, randomBody,
                               Bytes(basic.begin(), basic.end() - 1), threeLinks, Bytes(18, 0xD3)}) {
        Bytes checked = image;
        EXPECT_EQ(shown(checkProgramStructure(checked)), "");
        EXPECT_EQ(checked, image);
    }
}

TEST(ProgramStructure, SuspectsJoinTheDecodersInOrder)
{
    std::vector<SuspectRange> ranges = {{5, 7, 0.5, SuspectReason::Framing}, {20, 20, 2.0, SuspectReason::WeakBit}};
    const std::vector<StructureFinding> findings = {{3, false, 0}, {4, false, 0}, {6, false, 0},
                                                    {8, false, 0}, {9, true, 7},  {10, false, 0},
                                                    {21, false, 0}};
    std::vector<double> seconds;
    for (int k = 0; k < 22; ++k) seconds.push_back(k / 10.0);
    addStructureSuspects(findings, seconds, ranges);
    std::string text;
    for (const SuspectRange& r : ranges) {
        const char* reason = r.reason == SuspectReason::Structure ? "structure"
                             : r.reason == SuspectReason::Framing ? "framing"
                                                                  : "weak bit";
        text += std::to_string(r.firstByte) + "-" + std::to_string(r.lastByte) + " " + reason + " " +
                std::to_string(r.seconds).substr(0, 3) + "\n";
    }
    EXPECT_EQ(text,
              "3-4 structure 0.3\n5-7 framing 0.5\n8-8 structure 0.8\n10-10 structure 1.0\n"
              "20-20 weak bit 2.0\n21-21 structure 2.1\n");
}

class ProgramStructureFrontEnd : public ScratchTest {};

TEST_F(ProgramStructureFrontEnd, RobustDecodingWritesTheProgramAsSaved)
{
    writeFileBytes(folder + "hibarion", readFileBytes(HIBARION_FRONT_END));
    chmod((folder + "hibarion").c_str(), 0755);
    const std::string saved = ProgramDirectory;
    std::snprintf(ProgramDirectory, ProgramDirectorySize, "%s", folder.c_str());
    setDefaultSettings();
    saveSettings();
    std::snprintf(ProgramDirectory, ProgramDirectorySize, "%s", saved.c_str());

    const Bytes image = program();
    Bytes damaged = image;
    const size_t link = lineAt(image, 3), number = lineAt(image, 2) + 3;
    damaged[link] ^= 0x04;
    damaged[6] = 0x13;
    damaged[number] = 0x01;  // 30 becomes 286: flagged where the signal was clean
    writeSoundFile(folder + "game.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1,
                   tapeSignal(damaged, 44100, 0.5));
    const std::string command = "cd '" + folder + "' && ./hibarion --robust game.wav >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
    Bytes expected = image;
    expected[number] = 0x01;
    EXPECT_EQ(readFileBytes(folder + "game.P6"), expected);

    const Bytes errBytes = readFileBytes(folder + "err.txt");
    const std::string err(errBytes.begin(), errBytes.end());
    const std::string repaired =
        "hibarion: game.wav: repaired byte 6 (structure)\n"
        "hibarion: game.wav: repaired byte " +
        std::to_string(link) + " (structure)\n";
    ASSERT_EQ(err.substr(0, repaired.size()), repaired);
    const std::string suspect = "hibarion: game.wav: suspect bytes " + std::to_string(number - 1) + "-" +
                                std::to_string(number) + " at 0:";
    ASSERT_EQ(err.substr(repaired.size(), suspect.size()), suspect) << err;
    EXPECT_EQ(err.substr(err.size() - 13), " (structure)\n");
    // Where the byte starts: after the silence, the leader, 16 bytes of 12 cells of
    // 1/1200 s and the gap, the bytes before it.
    const double seconds = std::atof(err.c_str() + repaired.size() + suspect.size());
    EXPECT_NEAR(seconds, 5000.0 / 11025 + 4.0 + 16 * 0.01 + 635 / 1200.0 + (number - 1 - 16) * 0.01, 0.01);
}

}  // namespace
