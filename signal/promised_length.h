#pragma once
// How long a WAV or AIFF file's header says its recording is. libsndfile trusts the
// file's own length where the two differ, so a file cut short reads as a whole one;
// only the header tells that frames are missing.
#include <cstddef>
#include <cstdint>

// The file's first bytes that the header is sought in.
const size_t promisedLengthHead = 65536;

// The frames the header of `head` (the first `size` bytes of a file) promises: the data
// chunk's size over the block alignment for WAV, the common chunk's frame count for
// AIFF. 0 when it promises nothing this can read: another format, a size left open
// (0 or all ones, as a recording still being written has), or chunks beyond `size`.
uint64_t promisedFrames(const uint8_t* head, size_t size);
