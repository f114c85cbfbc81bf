#pragma once
// A recording held in memory, read by libsndfile through its virtual I/O.
#include <cstddef>
#include <cstdint>
#include <sndfile.h>

struct MemoryFile {
    const uint8_t* data;
    sf_count_t size;
    sf_count_t position;
};

// Opens `size` bytes at `data` for reading from their start, as sf_open opens a file:
// null when libsndfile refuses them (sf_strerror(nullptr) says why). `file` must outlive
// the SNDFILE.
SNDFILE* openMemoryFile(MemoryFile& file, const uint8_t* data, size_t size, SF_INFO* info);
