#include "core/tape_loader.h"

#include <cstdint>
#include <cstdlib>

#include "core/loaded_data.h"

namespace {
enum { OutOfMemory = 10, DataTruncated = 11 };
}

int loadTapeImage(FILE* file)
{
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    bool measured = length >= 0 && std::fseek(file, 0, SEEK_SET) == 0;

    releaseLoadedData();
    // A file whose length cannot be told cannot be read whole.
    if (!measured) return DataTruncated;
    // The count is 32 bits; a larger image could never be held.
    if (static_cast<unsigned long>(length) > UINT32_MAX) return OutOfMemory;

    uint32_t size = static_cast<uint32_t>(length);
    uint8_t* block = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (!block) return OutOfMemory;
    loadedDataSlot.data = block;
    loadedDataSlot.held = 1;
    if (std::fread(block, 1, size, file) != size) {
        releaseLoadedData();
        return DataTruncated;
    }

    loadedDataSlot.count = size;
    WaveFormat& format = loadedDataSlot.format;
    format.wFormatTag = 1;
    format.nChannels = 1;
    format.nSamplesPerSec = 11025;
    format.wBitsPerSample = 8;
    format.nBlockAlign = static_cast<uint16_t>(format.nChannels * format.wBitsPerSample / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    format.cbSize = 0;
    return -1;
}
