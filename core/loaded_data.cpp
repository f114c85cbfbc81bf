#include "core/loaded_data.h"

#include <cstdlib>

LoadedDataSlot loadedDataSlot;

WaveBuffer currentWaveBuffer()
{
    WaveBuffer buffer;
    buffer.sampleRate = static_cast<int32_t>(loadedDataSlot.format.nSamplesPerSec);
    buffer.sampleCount = loadedDataSlot.held ? loadedDataSlot.count : 0;
    buffer.samples = loadedDataSlot.data;
    return buffer;
}

TapeImage currentTapeImage()
{
    TapeImage image;
    image.count = loadedDataSlot.held ? loadedDataSlot.count : 0;
    image.bytes = loadedDataSlot.data;
    return image;
}

void releaseLoadedData()
{
    if (loadedDataSlot.held) {
        std::free(loadedDataSlot.data);
        loadedDataSlot.data = nullptr;
        loadedDataSlot.held = 0;
    }
}
