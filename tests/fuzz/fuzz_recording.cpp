// Fuzzes --robust's reading of recordings and the signal path after it: any bytes as a
// file libsndfile may read (WAV, AIFF, FLAC, W64, RF64, CAF, Ogg, ... whatever it
// recognises), then the channel choice and the robust decoder.
//
// Input: byte 0 chooses the channel, byte % 4 (0: chosen by the tape band, as without
// --channel); the rest is the file.
//
// Compressed formats make a few bytes into millions of samples (a FLAC frame of one
// constant value holds 65535 of them in a handful of bytes), and every sample costs the
// decoder its work, so the file is first read through once to count its samples: above
// SampleBudget it is not decoded. The budget keeps every run short and still covers
// several seconds of tape signal at every rate.
#include <cmath>
#include <vector>

#include "signal/memory_file.h"
#include "signal/recording_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const sf_count_t SampleBudget = 1 << 21;

// The samples of every channel libsndfile gives for the file, counted up to just past
// the budget; -1 when it refuses the file.
sf_count_t countSamples(const uint8_t* file, size_t size)
{
    MemoryFile memory;
    SF_INFO info = {};
    SNDFILE* sound = openMemoryFile(memory, file, size, &info);
    if (!sound) return -1;
    FUZZ_CHECK(info.channels > 0);
    static std::vector<float> block(1 << 16);
    const sf_count_t frames = static_cast<sf_count_t>(block.size()) / info.channels;
    sf_count_t samples = 0, got;
    while (samples <= SampleBudget && frames > 0 &&
           (got = sf_readf_float(sound, block.data(), frames)) > 0)
        samples += got * info.channels;
    sf_close(sound);
    return samples;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const int channel = data[0] % 4;
    const uint8_t* file = data + 1;
    const size_t fileSize = size - 1;

    sf_count_t samples = countSamples(file, fileSize);
    if (samples > SampleBudget) return 0;

    RecordingDecoding d = decodeRecordingInMemory(file, fileSize, channel);
    if (samples < 0) FUZZ_CHECK(d.error.kind != RecordingProblem::None);
    if (d.error.kind != RecordingProblem::None) {
        // Nothing decoded, and nothing said about bytes.
        FUZZ_CHECK(d.bytes.empty() && d.suspects.empty() && d.readError.kind == RecordingProblem::None);
        return 0;
    }
    FUZZ_CHECK(d.channels > 0 && d.channel >= 1 && d.channel <= d.channels);
    FUZZ_CHECK(channel == 0 || d.channel == channel);
    // Float samples are clipped at 120 dBFS.
    FUZZ_CHECK(d.peakDecibels <= 120.0 + 1e-9 && !std::isnan(d.peakDecibels));
    uint32_t previousEnd = 0;
    for (const SuspectRange& range : d.suspects) {
        // Suspect ranges name bytes of the image, in order, each once.
        FUZZ_CHECK(range.firstByte <= range.lastByte && range.lastByte < d.bytes.size());
        FUZZ_CHECK(&range == &d.suspects[0] || range.firstByte > previousEnd);
        previousEnd = range.lastByte;
        FUZZ_CHECK(std::isfinite(range.seconds) && range.seconds >= 0.0);
        FUZZ_CHECK(range.reason == SuspectReason::Framing || range.reason == SuspectReason::WeakBit ||
                   range.reason == SuspectReason::SignalLost);
        recordingTime(range.seconds);
    }
    return 0;
}
