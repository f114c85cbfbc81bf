#include <cstdio>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/loaded_data.h"
#include "core/tape_loader.h"
#include "tests/test_files.h"

namespace {

class TapeLoader : public ScratchTest {
protected:
    int load(const Bytes& content)
    {
        std::string path = folder + "image.p6";
        writeFileBytes(path, content);
        FILE* file = std::fopen(path.c_str(), "rb");
        int result = loadTapeImage(file);
        std::fclose(file);
        return result;
    }

};

TEST_F(TapeLoader, AnyBytesOfAnyLengthWithTheEncodersFormat)
{
    for (const Bytes& content : {Bytes(), Bytes(16, 0xD3), bytesOf("10 PRINT \"HI\"\r\n")}) {
        loadedDataSlot.format = {9, 9, 9, 9, 9, 9, 9};
        ASSERT_EQ(load(content), -1);
        TapeImage image = currentTapeImage();
        EXPECT_EQ(image.count, content.size());
        EXPECT_EQ(Bytes(image.bytes, image.bytes + image.count), content);
        const WaveFormat& f = loadedDataSlot.format;
        EXPECT_EQ(f.wFormatTag, 1);
        EXPECT_EQ(f.nChannels, 1);
        EXPECT_EQ(f.nSamplesPerSec, 11025u);
        EXPECT_EQ(f.nAvgBytesPerSec, 11025u);
        EXPECT_EQ(f.nBlockAlign, 1);
        EXPECT_EQ(f.wBitsPerSample, 8);
    }
}

TEST_F(TapeLoader, ReplacesWhatTheSlotHeld)
{
    holdInSlot(Bytes(5000, 128), 44100);
    ASSERT_EQ(load(Bytes(3, 1)), -1);
    EXPECT_EQ(currentTapeImage().count, 3u);
    ASSERT_EQ(load(Bytes(7, 2)), -1);
    EXPECT_EQ(currentTapeImage().count, 7u);
    EXPECT_EQ(currentTapeImage().bytes[6], 2);
}

TEST_F(TapeLoader, AFileThatCannotBeReadWholeLeavesTheSlotEmpty)
{
    holdInSlot(Bytes(10, 1), 11025);
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], "abc", 3), 3);
    close(ends[1]);
    FILE* stream = fdopen(ends[0], "rb");
    EXPECT_EQ(loadTapeImage(stream), 11);
    std::fclose(stream);
    EXPECT_EQ(loadedDataSlot.held, 0);
}

}  // namespace
