// Fuzzes the WAV reader and, for every recording it accepts, the decoder.
//
// Input: byte 0 chooses firstToneSeconds and byte 1 inputRatio (chooseReal; 0 is the
// default), the rest is the dropped file. A short measurement window lets a short
// recording reach the bit walk.
//
// The decoder's work is one period of P = rate / 1200 samples at each examined crossing,
// up to count x P steps; the rate comes from the file, so a tiny file can ask for
// billions. Recordings above DecodeBudget steps are read but not decoded: the budget
// keeps every run well under a second and still covers every rate up to a period of
// DecodeBudget / count samples.
//
// A data chunk that declares more than the file holds is refused (11) after the reader
// has allocated the declared size. Under AddressSanitizer a block of gigabytes costs half
// a second to map and poison, so a declaration more than 1 MiB beyond the file's end is
// cut to 1 MiB beyond it before the file is written: the same refusal, at a small cost.
#include <cstdio>
#include <cstring>

#include "core/decoder.h"
#include "core/loaded_data.h"
#include "core/wave_reader.h"
#include "settings/settings.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const uint64_t DecodeBudget = 1u << 24;

// What the file's chunks say: where the "data" chunk's bytes begin and how many it
// declares, found the way the reader walks (format chunk first, others skipped).
bool findDataChunk(const uint8_t* file, size_t size, size_t* start, uint32_t* declared)
{
    if (size < 20) return false;
    size_t at = 20 + static_cast<size_t>(uint32At(file + 16));
    while (at <= size && size - at >= 8) {
        uint32_t chunkSize = uint32At(file + at + 4);
        if (std::memcmp(file + at, "data", 4) == 0) {
            *start = at + 8;
            *declared = chunkSize;
            return true;
        }
        at += 8 + static_cast<size_t>(chunkSize);
    }
    return false;
}

void decodeLoadedRecording(const std::string& path, const uint8_t* file, size_t size)
{
    WaveBuffer wave = currentWaveBuffer();
    FUZZ_CHECK(loadedDataSlot.held == 1);
    FUZZ_CHECK(loadedDataSlot.format.nBlockAlign != 0);
    FUZZ_CHECK(loadedDataSlot.format.cbSize == 0);

    // The slot holds exactly the data chunk's bytes, the count in whole blocks of them.
    size_t start;
    uint32_t declared;
    FUZZ_CHECK(findDataChunk(file, size, &start, &declared));
    FUZZ_CHECK(declared <= size - start);
    FUZZ_CHECK(wave.sampleCount == declared / loadedDataSlot.format.nBlockAlign);
    FUZZ_CHECK(std::memcmp(wave.samples, file + start, wave.sampleCount) == 0);

    uint64_t period = wave.sampleRate > 0 ? static_cast<uint64_t>(wave.sampleRate / 1200.0) : 0;
    if (static_cast<uint64_t>(wave.sampleCount) * (period ? period : 1) > DecodeBudget) return;

    std::string imagePath = tapeImageNameFor(path.c_str());
    std::remove(imagePath.c_str());
    clearQuietPlatform();
    int result = decodeRecording(nullptr, path.c_str());

    FUZZ_CHECK(quietPlatform.waitCursors == 1 && quietPlatform.arrowCursors == 1);
    Bytes image;
    if (result == 1) {
        // Done: no message, and the image holds the bytes it reported.
        FUZZ_CHECK(quietPlatform.messages == 0 && quietPlatform.reports == 1);
        FUZZ_CHECK(readWholeFile(imagePath, image));
        FUZZ_CHECK(image.size() == quietPlatform.reportedCount);
        // Each byte takes nine examined falling crossings, each two samples or more
        // after the one before.
        FUZZ_CHECK(image.size() * 18 <= static_cast<uint64_t>(wave.sampleCount) + 1);
    } else {
        // The only refusal here is a silent recording, which leaves no image behind.
        FUZZ_CHECK(result == 0 && quietPlatform.messages == 1 && quietPlatform.reports == 0);
        FUZZ_CHECK(!fileExists(imagePath));
    }
    // The decoder only reads the slot.
    FUZZ_CHECK(std::memcmp(currentWaveBuffer().samples, file + start, wave.sampleCount) == 0);
}

// Cuts a data chunk's declared size as described above; the reader sees this file.
void boundDeclaredData(uint8_t* file, size_t size)
{
    size_t start;
    uint32_t declared;
    if (!findDataChunk(file, size, &start, &declared)) return;
    const uint32_t slack = 1u << 20;
    size_t available = size - start;
    if (declared > available + slack) {
        uint32_t bounded = static_cast<uint32_t>(available + slack);
        for (int k = 0; k < 4; ++k) file[start - 4 + k] = static_cast<uint8_t>(bounded >> (8 * k));
    }
}

std::string recordingPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    recordingPath = scratchPath("recording.wav");
    scratchPath("recording.P6");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = recordingPath;

    conversionSettings = DefaultConversionSettings;
    if (size > 0) conversionSettings.firstToneSeconds = chooseReal(data[0], 2.0);
    if (size > 1) conversionSettings.inputRatio = chooseReal(data[1], 1.32);
    Bytes copy(data + (size > 2 ? 2 : size), data + size);
    boundDeclaredData(copy.data(), copy.size());
    const uint8_t* file = copy.data();
    size_t fileSize = copy.size();

    writeWholeFile(path, file, fileSize);
    FILE* stream = std::fopen(path.c_str(), "rb");
    FUZZ_CHECK(stream != nullptr);
    clearQuietPlatform();
    int result = readWaveFile(stream);
    std::fclose(stream);

    // A loader shows nothing; the caller shows the message its result names.
    FUZZ_CHECK(quietPlatform.messages == 0);
    FUZZ_CHECK(result == -1 || (result >= 0 && result < LoadProblemCount));
    if (result == -1)
        decodeLoadedRecording(path, file, fileSize);
    else if (result == 10 || result == 11)
        FUZZ_CHECK(loadedDataSlot.held == 0);
    return 0;
}
