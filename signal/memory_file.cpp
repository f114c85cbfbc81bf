#include "signal/memory_file.h"

#include <algorithm>
#include <cstdio>

namespace {

sf_count_t memoryLength(void* user) { return static_cast<MemoryFile*>(user)->size; }

sf_count_t memorySeek(sf_count_t offset, int whence, void* user)
{
    MemoryFile* m = static_cast<MemoryFile*>(user);
    sf_count_t base = whence == SEEK_CUR ? m->position : whence == SEEK_END ? m->size : 0;
    // Offsets come from the file and may be anything: beyond either end is refused.
    if (offset < -base || offset > m->size - base) return -1;
    m->position = base + offset;
    return m->position;
}

sf_count_t memoryRead(void* to, sf_count_t count, void* user)
{
    MemoryFile* m = static_cast<MemoryFile*>(user);
    sf_count_t left = m->size - m->position;
    if (count > left) count = left;
    if (count <= 0) return 0;
    std::copy(m->data + m->position, m->data + m->position + count, static_cast<uint8_t*>(to));
    m->position += count;
    return count;
}

sf_count_t memoryWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t memoryTell(void* user) { return static_cast<MemoryFile*>(user)->position; }

SF_VIRTUAL_IO memoryIo = {memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};

}  // namespace

SNDFILE* openMemoryFile(MemoryFile& file, const uint8_t* data, size_t size, SF_INFO* info)
{
    file = {data, static_cast<sf_count_t>(size), 0};
    return sf_open_virtual(&memoryIo, SFM_READ, info, &file);
}
