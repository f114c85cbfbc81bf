#pragma once
// The slot that holds the file loaded last: a recording or a tape image. Each load
// releases what the slot held before; exit releases the last block.
#include <cstdint>

// The body of a WAV "fmt " chunk, 18 bytes little-endian in the file. Read and written
// field by field, never by laying the record over file bytes.
struct WaveFormat {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};

struct LoadedDataSlot {
    WaveFormat format;
    uint8_t* data;   // owned heap block, valid while held is 1
    int held;
    uint32_t count;  // samples of a recording, bytes of a tape image
};

extern LoadedDataSlot loadedDataSlot;

// The slot seen as the recording just loaded by readWaveFile.
struct WaveBuffer {
    int32_t sampleRate;  // signed, as the decoder computes with it
    uint32_t sampleCount;
    const uint8_t* samples;
};

// The slot seen as the tape image just loaded by loadTapeImage.
struct TapeImage {
    uint32_t count;
    const uint8_t* bytes;
};

WaveBuffer currentWaveBuffer();
TapeImage currentTapeImage();

// Releases the slot's block, if any, and clears the held flag.
void releaseLoadedData();

// The number of problems the loaders' results tell apart (MessageId::LoadProblem).
enum { LoadProblemCount = 13 };
