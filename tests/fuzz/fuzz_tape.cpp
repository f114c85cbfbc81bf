// Fuzzes the tape image loader, the encoder and the BASIC listing writer, one drop of a
// tape image with listings on; with the default settings also the way back through the
// WAV reader and the decoder, which must give the image again.
//
// Input: bytes 0 to 3 choose outputSlowness, outputRatio, firstToneSeconds and
// inputRatio (chooseReal; 0 is the default), the rest is the tape image.
//
// Keeping each run small: the image is at most 4096 bytes (-max_len=4100), and a finite
// positive outputSlowness whose recording would exceed MaxSamples samples is replaced by
// 1e12. A slowness that large is refused by the counting pass's lower bound before any
// cell is stepped through, so the refusal stays covered while no run writes, or counts
// through, a recording of more than 600 kB. The cap admits every image at 1.0 and images
// up to 254 bytes at 16.0; a larger one at 16.0 (4096 bytes are 7.2 million samples) is
// refused here, though the program itself writes it.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/decoder.h"
#include "core/encoder.h"
#include "core/listing.h"
#include "core/loaded_data.h"
#include "core/tape_loader.h"
#include "core/wave_reader.h"
#include "settings/settings.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const double MaxSamples = 600000;
const size_t RoundTripLimit = 256;  // image bytes decoded back

std::string imagePath, recordingPath, listingPath, decodedPath;

// The encoder's recording takes about 9.19 samples a cell (11025 / 1200) plus one for
// the rounding, 12 cells a byte and 635 for the gap, beside the fixed 54642 samples of
// silence, leader and trailer.
double boundedSlowness(double slowness, size_t imageBytes)
{
    if (!(slowness > 0) || std::isinf(slowness)) return slowness;
    double cells = 12.0 * static_cast<double>(imageBytes) + 635;
    double estimate = 54642 + cells * (slowness * 11025 / 1200 + 1);
    return estimate > MaxSamples ? 1e12 : slowness;
}

bool cursorsBalanced() { return quietPlatform.waitCursors == quietPlatform.arrowCursors; }

// The recording must be the 44-byte header that names exactly the samples that follow
// it, framed by the two silences.
void checkRecording(uint64_t samples)
{
    Bytes wav;
    FUZZ_CHECK(readWholeFile(recordingPath, wav));
    FUZZ_CHECK(wav.size() == samples + 44);
    FUZZ_CHECK(std::memcmp(wav.data(), "RIFF", 4) == 0);
    FUZZ_CHECK(uint32At(&wav[4]) == samples + 36);
    static const uint8_t format[24] = {'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                                       1, 0, 1, 0, 0x11, 0x2B, 0, 0, 0x11, 0x2B, 0, 0};
    FUZZ_CHECK(std::memcmp(&wav[8], format, sizeof format) == 0);
    FUZZ_CHECK(std::memcmp(&wav[32], "\x01\x00\x08\x00" "data", 8) == 0);
    FUZZ_CHECK(uint32At(&wav[40]) == samples);
    for (size_t k = 0; k < 5000; ++k) {
        FUZZ_CHECK(wav[44 + k] == 128);
        FUZZ_CHECK(wav[wav.size() - 1 - k] == 128);
    }
}

void encode(const Bytes& image, double slowness)
{
    std::remove(recordingPath.c_str());
    clearQuietPlatform();
    int result = encodeTapeImage(nullptr, imagePath.c_str());
    FUZZ_CHECK(cursorsBalanced());

    uint64_t samples = countRecordingSamples(static_cast<uint32_t>(image.size()), slowness);
    if (samples > largestSampleCount) {
        // Too large for a WAV header: refused with one message before the file is made.
        FUZZ_CHECK(result == 0 && quietPlatform.messages == 1 && quietPlatform.reports == 0);
        FUZZ_CHECK(!fileExists(recordingPath));
    } else {
        FUZZ_CHECK(result == 1 && quietPlatform.messages == 0);
        FUZZ_CHECK(quietPlatform.reports == 1 && quietPlatform.reportedCount == samples);
        checkRecording(samples);
    }
    // The encoder only reads the slot.
    TapeImage held = currentTapeImage();
    FUZZ_CHECK(held.count == image.size());
    FUZZ_CHECK(image.empty() || std::memcmp(held.bytes, image.data(), image.size()) == 0);
}

void list()
{
    std::remove(listingPath.c_str());
    clearQuietPlatform();
    bool listed = writeBasicListing(nullptr, imagePath.c_str());
    FUZZ_CHECK(cursorsBalanced());
    FUZZ_CHECK(listed && quietPlatform.messages == 0 && quietPlatform.reports == 1);
    Bytes text;
    FUZZ_CHECK(readWholeFile(listingPath, text));
    FUZZ_CHECK(text.size() == quietPlatform.reportedCount);
    FUZZ_CHECK(text.size() >= 17 && std::memcmp(text.data(), "FILENAME = ", 11) == 0);
    FUZZ_CHECK(std::memcmp(&text[text.size() - 2], "\r\n", 2) == 0);
}

// The recording at the default settings decodes to exactly the image.
void decodeBack(const Bytes& image)
{
    FILE* stream = std::fopen(recordingPath.c_str(), "rb");
    FUZZ_CHECK(stream != nullptr);
    int result = readWaveFile(stream);
    std::fclose(stream);
    FUZZ_CHECK(result == -1);
    clearQuietPlatform();
    FUZZ_CHECK(decodeRecording(nullptr, recordingPath.c_str()) == 1);
    FUZZ_CHECK(cursorsBalanced() && quietPlatform.messages == 0);
    Bytes decoded;
    FUZZ_CHECK(readWholeFile(decodedPath, decoded));
    FUZZ_CHECK(decoded == image);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    imagePath = scratchPath("tape.p6");
    recordingPath = scratchPath("tape_.wav");
    listingPath = scratchPath("tape.txt");
    decodedPath = scratchPath("tape_.P6");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t settingBytes = 4;
    uint8_t choice[settingBytes] = {};
    std::memcpy(choice, data, size < settingBytes ? size : settingBytes);
    Bytes image(data + (size < settingBytes ? size : settingBytes), data + size);

    conversionSettings.outputSlowness = boundedSlowness(chooseReal(choice[0], 1.0), image.size());
    conversionSettings.outputRatio = chooseReal(choice[1], 1.32);
    conversionSettings.firstToneSeconds = chooseReal(choice[2], 2.0);
    conversionSettings.inputRatio = chooseReal(choice[3], 1.32);
    conversionSettings.basicListing = 1;
    bool defaults = choice[0] == 0 && choice[1] == 0 && choice[2] == 0 && choice[3] == 0;

    writeWholeFile(imagePath, image.data(), image.size());
    FILE* file = std::fopen(imagePath.c_str(), "rb");
    FUZZ_CHECK(file != nullptr);
    int result = loadTapeImage(file);
    std::fclose(file);
    // Any bytes of any length load, unchanged, with the format the encoder writes.
    FUZZ_CHECK(result == -1);
    TapeImage held = currentTapeImage();
    FUZZ_CHECK(held.count == image.size());
    FUZZ_CHECK(image.empty() || std::memcmp(held.bytes, image.data(), image.size()) == 0);

    encode(image, conversionSettings.outputSlowness);
    list();
    if (defaults && image.size() <= RoundTripLimit) decodeBack(image);
    return 0;
}
