#include "signal/promised_length.h"

#include <cstring>

namespace {

uint32_t little32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint32_t big32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

// A size a writer leaves open until it knows the length.
bool openSize(uint32_t size) { return size == 0 || size == 0xFFFFFFFFu; }

// The chunks after the 12-byte form header, each an id, a size and its data padded to
// an even length: calls `chunk` with each that lies within the head, until it says stop.
template <typename Size, typename Chunk>
void walkChunks(const uint8_t* head, size_t size, Size sizeOf, Chunk chunk)
{
    size_t at = 12;
    while (size >= 8 && at <= size - 8) {
        uint64_t length = sizeOf(head + at + 4);
        const uint8_t* data = head + at + 8;
        size_t room = size - at - 8;
        if (!chunk(head + at, data, length, room)) return;
        uint64_t next = at + 8 + length + (length & 1);
        if (next > size) return;
        at = static_cast<size_t>(next);
    }
}

uint64_t waveFrames(const uint8_t* head, size_t size)
{
    uint32_t blockAlign = 0;
    uint64_t frames = 0;
    auto chunk = [&](const uint8_t* id, const uint8_t* data, uint64_t length, size_t room) {
        if (std::memcmp(id, "fmt ", 4) == 0 && length >= 14 && room >= 14)
            blockAlign = static_cast<uint32_t>(data[12]) | static_cast<uint32_t>(data[13]) << 8;
        if (std::memcmp(id, "data", 4) != 0) return true;
        if (blockAlign > 0 && !openSize(static_cast<uint32_t>(length))) frames = length / blockAlign;
        return false;
    };
    walkChunks(head, size, little32, chunk);
    return frames;
}

uint64_t aiffFrames(const uint8_t* head, size_t size)
{
    uint64_t frames = 0;
    auto chunk = [&](const uint8_t* id, const uint8_t* data, uint64_t length, size_t room) {
        if (std::memcmp(id, "COMM", 4) != 0) return true;
        if (length >= 6 && room >= 6 && !openSize(big32(data + 2))) frames = big32(data + 2);
        return false;
    };
    walkChunks(head, size, big32, chunk);
    return frames;
}

}  // namespace

uint64_t promisedFrames(const uint8_t* head, size_t size)
{
    if (size < 12) return 0;
    if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0)
        return waveFrames(head, size);
    if (std::memcmp(head, "FORM", 4) == 0 &&
        (std::memcmp(head + 8, "AIFF", 4) == 0 || std::memcmp(head + 8, "AIFC", 4) == 0))
        return aiffFrames(head, size);
    return 0;
}
