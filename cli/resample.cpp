#include "cli/resample.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <soxr.h>
#include <string>

#include "core/decoder.h"
#include "core/dispatch.h"
#include "core/loaded_data.h"
#include "core/platform.h"
#include "core/wave_reader.h"

namespace {

const uint32_t targetRate = 11025;
const size_t chunkLength = 4096;

// Linear phase delays the 1200 Hz and the 2400 Hz tone alike, so the shape of every
// cycle after a crossing stays as recorded. The high-quality recipe's 20 bits of
// precision are already far beyond the 8 bits written back, and its pass band ends near
// 5 kHz, well above both tones; the very-high-quality one only takes longer.
soxr_t createResampler(uint32_t rate)
{
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, SOXR_LINEAR_PHASE);
    soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    soxr_t resampler = soxr_create(rate, targetRate, 1, &error, &io, &quality, &runtime);
    if (error && resampler) {
        soxr_delete(resampler);
        return nullptr;
    }
    return resampler;
}

// Back to unsigned 8 bits about 128, rounded; the filter's overshoot at clipped peaks
// is clipped again.
uint8_t sampleFrom(float value)
{
    double level = value * 128.0 + 128.0;
    if (!(level >= 0.0)) return 0;
    if (level >= 255.0) return 255;
    return static_cast<uint8_t>(level + 0.5);
}

// Runs the slot's samples through `resampler` into `block` of `capacity` samples;
// returns the number written, or -1 when the resampler reports an error.
int64_t runResampler(soxr_t resampler, uint8_t* block, uint64_t capacity)
{
    const uint8_t* x = loadedDataSlot.data;
    const uint64_t count = loadedDataSlot.count;
    static float input[chunkLength];
    static float output[4 * chunkLength];
    uint64_t position = 0, written = 0;
    for (;;) {
        // With the input used up, a null input asks the resampler for the rest of the
        // signal; an empty answer then means it has all come out.
        const float* in = nullptr;
        size_t inputLength = 0;
        if (position < count) {
            uint64_t left = count - position;
            inputLength = left < chunkLength ? static_cast<size_t>(left) : chunkLength;
            for (size_t k = 0; k < inputLength; ++k) input[k] = (x[position + k] - 128) / 128.0f;
            in = input;
        }
        size_t used = 0, produced = 0;
        soxr_error_t error = soxr_process(resampler, in, inputLength, &used, output,
                                          sizeof output / sizeof output[0], &produced);
        // Input refused while the output buffer stayed empty would never end.
        if (error || (in && used == 0 && produced == 0)) return -1;
        for (size_t k = 0; k < produced && written < capacity; ++k)
            block[written++] = sampleFrom(output[k]);
        position += used;
        if (!in && produced == 0) return static_cast<int64_t>(written);
    }
}

void showNotResampled(const char* name, ResampleResult result)
{
    std::string reason;
    switch (result) {
    case ResampleRateOutOfRange:
        reason = "its sample rate " + std::to_string(loadedDataSlot.format.nSamplesPerSec) +
                 " lies outside " + std::to_string(lowestResampledRate) + " to " +
                 std::to_string(highestResampledRate);
        break;
    case ResampleTooLong:
        reason = "at 11025 samples a second it would hold more than 4294967295 samples";
        break;
    case ResampleOutOfMemory: reason = "there is not enough memory"; break;
    default: reason = "the resampler failed"; break;
    }
    std::string text = "%s is not resampled: " + reason + "; it is decoded as recorded.";
    showMessage(nullptr, text.c_str(), name);
}

}  // namespace

ResampleResult resampleLoadedRecording()
{
    const uint32_t rate = loadedDataSlot.format.nSamplesPerSec;
    if (!loadedDataSlot.held || rate == targetRate) return ResampleNotNeeded;
    if (rate < lowestResampledRate || rate > highestResampledRate) return ResampleRateOutOfRange;

    // The resampler writes the rounded length of the signal at the new rate, never more
    // than this; the slot counts samples in 32 bits.
    const uint64_t count = loadedDataSlot.count;
    const uint64_t capacity = (count * targetRate + rate - 1) / rate;
    if (capacity > UINT32_MAX) return ResampleTooLong;

    uint8_t* block = static_cast<uint8_t*>(std::malloc(capacity ? capacity : 1));
    if (!block) return ResampleOutOfMemory;
    soxr_t resampler = createResampler(rate);
    int64_t written = -1;
    if (resampler) {
        written = runResampler(resampler, block, capacity);
        soxr_delete(resampler);
    }
    if (written < 0) {
        std::free(block);
        return ResampleFailed;
    }

    releaseLoadedData();
    loadedDataSlot.data = block;
    loadedDataSlot.held = 1;
    loadedDataSlot.count = static_cast<uint32_t>(written);
    loadedDataSlot.format.nSamplesPerSec = targetRate;
    loadedDataSlot.format.nAvgBytesPerSec = targetRate;
    loadedDataSlot.format.nBlockAlign = 1;
    return ResampleDone;
}

void dispatchResampledName(const char* name)
{
    if (!namesRecording(name)) {
        dispatchDroppedName(nullptr, name);
        return;
    }
    FILE* file = std::fopen(name, "rb");
    int loaded = file ? readWaveFile(file) : 0;
    if (file) std::fclose(file);
    if (loaded != -1) {
        // The dispatch opens and reads the file once more and shows exactly the message
        // it shows without the option.
        dispatchDroppedName(nullptr, name);
        return;
    }
    ResampleResult result = resampleLoadedRecording();
    if (result != ResampleDone && result != ResampleNotNeeded) showNotResampled(name, result);
    decodeRecording(nullptr, name);
}
