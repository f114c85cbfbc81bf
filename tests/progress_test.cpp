// The progress line, driven with a clock of the test's own.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "cli/progress.h"

namespace {

class ProgressLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        progress = Progress();
        progress.terminal = std::tmpfile();
    }
    void TearDown() override
    {
        std::fclose(progress.terminal);
        progress = Progress();
    }

    // What reached the terminal since the last call.
    std::string shown()
    {
        std::string text;
        long end = std::ftell(progress.terminal);
        std::fseek(progress.terminal, read, SEEK_SET);
        for (long k = read; k < end; ++k) text += static_cast<char>(std::fgetc(progress.terminal));
        read = end;
        return text;
    }

    long read = 0;
};

TEST_F(ProgressLine, ShownAfterASecondRewrittenAtMostFourTimesASecondAndErased)
{
    startProgress("tapes/GAME.p6", 100.0);
    updateProgress(10, 200, 100.9);
    EXPECT_EQ(shown(), "");
    updateProgress(30, 200, 101.0);
    EXPECT_EQ(shown(), "\rGAME.p6  15 %\x1b[K");
    updateProgress(40, 200, 101.2);
    EXPECT_EQ(shown(), "");
    updateProgress(199, 200, 101.25);
    EXPECT_EQ(shown(), "\rGAME.p6  99 %\x1b[K");
    eraseProgress();
    EXPECT_EQ(shown(), "\r\x1b[K");
    eraseProgress();
    EXPECT_EQ(shown(), "");

    // The next file starts its own second of quiet.
    startProgress("SONG.wav", 102.0);
    updateProgress(1, 2, 102.5);
    EXPECT_EQ(shown(), "");
}

TEST_F(ProgressLine, ALongNameKeepsItsEndCutAtACharacterBoundary)
{
    // 20 three-byte characters, then 10 more bytes: 70 bytes, the cut falls inside one.
    std::string name;
    for (int k = 0; k < 20; ++k) name += "\xe3\x81\x82";
    name += "_long_.wav";
    startProgress(("/media/card/" + name).c_str(), 0.0);
    updateProgress(1, 4, 2.0);
    EXPECT_EQ(shown(), "\r..." + name.substr(12) + "  25 %\x1b[K");
}

}  // namespace
