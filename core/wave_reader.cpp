#include "core/wave_reader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/loaded_data.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

enum {
    NoHeader, BadHeader, NoRiffSize, NoFormatId, BadFormatId, NoFormatSize, NoFormat,
    NoDataChunk, NoDataSize, ChunkTooShort, OutOfMemory, DataTruncated, NotMono8Bit
};

const uint32_t formatRecordSize = 18;

bool readExactly(FILE* stream, void* buffer, size_t size)
{
    return std::fread(buffer, 1, size, stream) == size;
}

bool readUint32(FILE* stream, uint32_t* value)
{
    uint8_t b[4];
    if (!readExactly(stream, b, 4)) return false;
    *value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

uint16_t uint16At(const uint8_t* b) { return static_cast<uint16_t>(b[0] | (b[1] << 8)); }
uint32_t uint32At(const uint8_t* b)
{
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

// The block for the samples, released with free. A recording of megabytes is read into
// fresh memory, and a page fault for every 4 KiB of it costs more than the copy; on Linux
// such a block is laid on whole 2 MiB pages and asks for huge pages.
uint8_t* allocateSamples(uint32_t size)
{
#ifdef __linux__
    const uint64_t hugePage = uint64_t(1) << 21;
    uint64_t rounded = (uint64_t(size) + hugePage - 1) & ~(hugePage - 1);
    void* block;
    if (size >= hugePage && rounded <= SIZE_MAX && posix_memalign(&block, hugePage, rounded) == 0) {
        madvise(block, rounded, MADV_HUGEPAGE);
        return static_cast<uint8_t*>(block);
    }
#endif
    return static_cast<uint8_t*>(std::malloc(size ? size : 1));
}

// Reads and drops `size` bytes; false when the file ends first.
bool skipBytes(FILE* stream, uint32_t size)
{
    uint8_t scratch[4096];
    while (size > 0) {
        size_t part = size < sizeof scratch ? size : sizeof scratch;
        if (!readExactly(stream, scratch, part)) return false;
        size -= static_cast<uint32_t>(part);
    }
    return true;
}

}  // namespace

int readWaveFile(FILE* stream)
{
    uint8_t b[formatRecordSize];

    if (!readExactly(stream, b, 4)) return NoHeader;
    if (std::memcmp(b, "RIFF", 4) != 0) return BadHeader;
    uint32_t riffSize;
    if (!readUint32(stream, &riffSize)) return NoRiffSize;
    if (!readExactly(stream, b, 8)) return NoFormatId;
    if (std::memcmp(b, "WAVEfmt ", 8) != 0) return BadFormatId;

    // A format body shorter than the 16 bytes that name the channels and sample size
    // cannot describe the recording. A longer one keeps its first 18 bytes; the surplus
    // is read past, so the chunk walk starts right after the chunk.
    uint32_t formatSize;
    if (!readUint32(stream, &formatSize)) return NoFormatSize;
    if (formatSize < 16) return NoFormat;
    uint32_t kept = formatSize < formatRecordSize ? formatSize : formatRecordSize;
    if (!readExactly(stream, b, kept)) return NoFormat;
    if (!skipBytes(stream, formatSize - kept)) return NoFormat;

    WaveFormat& format = loadedDataSlot.format;
    format.wFormatTag = uint16At(b);
    format.nChannels = uint16At(b + 2);
    format.nSamplesPerSec = uint32At(b + 4);
    format.nAvgBytesPerSec = uint32At(b + 8);
    format.nBlockAlign = uint16At(b + 12);
    format.wBitsPerSample = uint16At(b + 14);
    format.cbSize = 0;

    if (format.nChannels != 1 || format.wBitsPerSample != 8) return NotMono8Bit;
    // The block alignment divides the data length into samples; zero cannot.
    if (format.nBlockAlign == 0) return BadFormatId;

    uint32_t dataSize;
    for (;;) {
        if (!readExactly(stream, b, 4)) return NoDataChunk;
        if (!readUint32(stream, &dataSize)) return NoDataSize;
        if (std::memcmp(b, "data", 4) == 0) break;
        if (!skipBytes(stream, dataSize)) return ChunkTooShort;
    }

    releaseLoadedData();
    uint8_t* block = allocateSamples(dataSize);
    if (!block) return OutOfMemory;
    loadedDataSlot.data = block;
    loadedDataSlot.held = 1;
    if (!readExactly(stream, block, dataSize)) {
        releaseLoadedData();
        return DataTruncated;
    }
    loadedDataSlot.count = dataSize / format.nBlockAlign;
    return -1;
}
