#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "core/loaded_data.h"
#include "core/wave_reader.h"
#include "tests/fake_platform.h"
#include "tests/test_files.h"

namespace {

void put32(Bytes& b, uint32_t v)
{
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(v >> (8 * k)));
}
void put16(Bytes& b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void putText(Bytes& b, const char* text)
{
    while (*text) b.push_back(static_cast<uint8_t>(*text++));
}

struct FormatBody {
    uint16_t tag = 1, channels = 1;
    uint32_t rate = 11025;
    uint16_t blockAlign = 1, bits = 8;
    uint32_t size = 16;  // the chunk size written; bytes beyond 16 are filled with 0xEE
};

Bytes riffWith(const FormatBody& format)
{
    Bytes b;
    putText(b, "RIFF");
    put32(b, 1234);  // never used
    putText(b, "WAVEfmt ");
    put32(b, format.size);
    Bytes body;
    put16(body, format.tag);
    put16(body, format.channels);
    put32(body, format.rate);
    put32(body, format.rate * format.blockAlign);
    put16(body, format.blockAlign);
    put16(body, format.bits);
    body.resize(format.size, 0xEE);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

void appendChunk(Bytes& b, const char* id, const Bytes& content)
{
    putText(b, id);
    put32(b, static_cast<uint32_t>(content.size()));
    b.insert(b.end(), content.begin(), content.end());
}

Bytes samples(size_t count, uint8_t first = 0)
{
    Bytes s(count);
    for (size_t k = 0; k < count; ++k) s[k] = static_cast<uint8_t>(first + k);
    return s;
}

class WaveReader : public ScratchTest {
protected:
    int read(const Bytes& file)
    {
        std::string path = folder + "input.wav";
        writeFileBytes(path, file);
        FILE* stream = std::fopen(path.c_str(), "rb");
        int result = readWaveFile(stream);
        std::fclose(stream);
        return result;
    }

};

TEST_F(WaveReader, LoadsTheCommonHeaderWithEverySample)
{
    Bytes file = riffWith(FormatBody());
    appendChunk(file, "data", samples(300));
    ASSERT_EQ(read(file), -1);
    WaveBuffer wave = currentWaveBuffer();
    EXPECT_EQ(wave.sampleCount, 300u);
    EXPECT_EQ(wave.sampleRate, 11025);
    EXPECT_EQ(Bytes(wave.samples, wave.samples + 300), samples(300));
    EXPECT_EQ(loadedDataSlot.format.nAvgBytesPerSec, 11025u);
}

TEST_F(WaveReader, FormatChunksOfEighteenAndMoreBytes)
{
    FormatBody format;
    format.size = 18;
    Bytes file = riffWith(format);
    appendChunk(file, "data", samples(5));
    ASSERT_EQ(read(file), -1);
    EXPECT_EQ(loadedDataSlot.format.cbSize, 0);  // 0xEEEE in the file
    EXPECT_EQ(loadedDataSlot.count, 5u);

    // A longer chunk is passed whole: the next id is read right after it.
    format.size = 23;
    file = riffWith(format);
    appendChunk(file, "data", samples(7));
    ASSERT_EQ(read(file), -1);
    EXPECT_EQ(loadedDataSlot.count, 7u);
}

TEST_F(WaveReader, SkipsOtherChunksByExactlyTheirSize)
{
    Bytes file = riffWith(FormatBody());
    appendChunk(file, "LIST", samples(3));  // odd size, no pad byte
    appendChunk(file, "fact", samples(4));
    appendChunk(file, "data", samples(6, 100));
    appendChunk(file, "data", samples(9));  // only the first data chunk counts
    ASSERT_EQ(read(file), -1);
    EXPECT_EQ(loadedDataSlot.count, 6u);
    EXPECT_EQ(loadedDataSlot.data[0], 100);
}

TEST_F(WaveReader, WhatIsAcceptedBeyondTheNarrowLayout)
{
    // An empty data chunk, a non-PCM tag, any rate.
    FormatBody format;
    format.tag = 3;
    format.rate = 7;
    Bytes file = riffWith(format);
    appendChunk(file, "data", Bytes());
    ASSERT_EQ(read(file), -1);
    EXPECT_EQ(loadedDataSlot.count, 0u);
    EXPECT_EQ(loadedDataSlot.held, 1);
    EXPECT_EQ(currentWaveBuffer().sampleRate, 7);

    // A block alignment of 2 halves the count, dropping the remainder.
    format = FormatBody();
    format.blockAlign = 2;
    file = riffWith(format);
    appendChunk(file, "data", samples(11));
    ASSERT_EQ(read(file), -1);
    EXPECT_EQ(loadedDataSlot.count, 5u);
}

TEST_F(WaveReader, RefusalIndexOfEachMalformedFile)
{
    Bytes good = riffWith(FormatBody());
    appendChunk(good, "data", samples(4));
    auto cut = [&](size_t length) { return Bytes(good.begin(), good.begin() + length); };
    auto changed = [&](size_t at, const char* text) {
        Bytes b = good;
        for (size_t k = 0; text[k]; ++k) b[at + k] = static_cast<uint8_t>(text[k]);
        return b;
    };

    EXPECT_EQ(read(Bytes()), 0);
    EXPECT_EQ(read(cut(3)), 0);
    EXPECT_EQ(read(changed(0, "RIFX")), 1);
    EXPECT_EQ(read(changed(0, "riff")), 1);
    EXPECT_EQ(read(cut(6)), 2);
    EXPECT_EQ(read(cut(12)), 3);
    EXPECT_EQ(read(changed(8, "WAVEfmt_")), 4);
    EXPECT_EQ(read(changed(8, "WAVELIST")), 4);  // "fmt " must come first
    EXPECT_EQ(read(cut(18)), 5);
    EXPECT_EQ(read(cut(30)), 6);  // the format body breaks off

    FormatBody format;
    format.size = 0;
    EXPECT_EQ(read(riffWith(format)), 6);
    format.size = 15;  // too short to name channels and sample size
    EXPECT_EQ(read(riffWith(format)), 6);

    EXPECT_EQ(read(cut(36)), 7);  // the chunks end at a chunk boundary
    Bytes noData = riffWith(FormatBody());
    appendChunk(noData, "LIST", samples(8));
    EXPECT_EQ(read(noData), 7);
    EXPECT_EQ(read(cut(42)), 8);  // inside a size field
    noData.resize(noData.size() - 3);
    EXPECT_EQ(read(noData), 9);   // inside a skipped chunk

    format = FormatBody();
    format.channels = 2;
    EXPECT_EQ(read(riffWith(format)), 12);  // tested before any chunk is sought
    format = FormatBody();
    format.bits = 16;
    EXPECT_EQ(read(riffWith(format)), 12);
    format = FormatBody();
    format.blockAlign = 0;
    EXPECT_EQ(read(riffWith(format)), 4);   // no divisor for the sample count
}

TEST_F(WaveReader, RefusalsBeforeTheDataKeepThePreviousRecording)
{
    Bytes good = riffWith(FormatBody());
    appendChunk(good, "data", samples(10, 50));
    ASSERT_EQ(read(good), -1);
    const uint8_t* block = loadedDataSlot.data;

    Bytes stereo = good;
    stereo[22] = 2;
    Bytes noData = riffWith(FormatBody());
    for (const Bytes& refused : {Bytes(), Bytes(good.begin(), good.begin() + 30), stereo, noData}) {
        EXPECT_NE(read(refused), -1);
        EXPECT_EQ(loadedDataSlot.held, 1);
        EXPECT_EQ(loadedDataSlot.data, block);
        EXPECT_EQ(loadedDataSlot.count, 10u);
    }

    // Data that breaks off releases the block: afterwards nothing is loaded at all.
    Bytes truncated = riffWith(FormatBody());
    appendChunk(truncated, "data", samples(10));
    truncated.resize(truncated.size() - 1);
    EXPECT_EQ(read(truncated), 11);
    EXPECT_EQ(loadedDataSlot.held, 0);

    // A data size far beyond the file: the same, however large the size claims to be.
    ASSERT_EQ(read(good), -1);
    Bytes huge = riffWith(FormatBody());
    putText(huge, "data");
    put32(huge, 0xFFFFFFF0u);
    huge.push_back(1);
    int result = read(huge);
    EXPECT_TRUE(result == 11 || result == 10) << result;
    EXPECT_EQ(loadedDataSlot.held, 0);
}

}  // namespace
