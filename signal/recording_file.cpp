#include "signal/recording_file.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <sndfile.h>
#include <sys/stat.h>

#include "signal/memory_file.h"
#include "signal/promised_length.h"
#include "signal/tape_band.h"

namespace {

// Frames are read this many samples at a time, whatever the channel count: 256 KiB of
// floats, so that memory stays flat with the recording's length.
const size_t blockSamples = 65536;
// A float file may hold any value; beyond 120 dBFS no recording reaches, values are
// clipped so that sums of squares stay finite, and NaN reads as silence.
const float largestSample = 1e6f;

typedef std::function<SNDFILE*(SF_INFO*)> Opener;

// How far the reading is, in frames over every pass, for the caller's progress line.
struct Reading {
    uint64_t done;
    uint64_t total;
    const ReadingProgress& progress;
};

void advance(Reading& reading, size_t frames)
{
    reading.done += frames;
    // The length comes from the file's header and may be wrong.
    if (reading.progress)
        reading.progress(reading.done < reading.total ? reading.done : reading.total, reading.total);
}

class SoundFile {
public:
    explicit SoundFile(const Opener& open) : info_(), file_(open(&info_)) {}
    ~SoundFile()
    {
        if (file_) sf_close(file_);
    }
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    SNDFILE* file() const { return file_; }
    const SF_INFO& info() const { return info_; }

private:
    SF_INFO info_;
    SNDFILE* file_;
};

RecordingProblem openError() { return {RecordingProblem::CannotRead, sf_strerror(nullptr), 0, 0.0, 0.0}; }

// Selections rather than branches, so that the loop over a block runs four samples at
// a time.
float cleanSample(float value)
{
    float number = value == value ? value : 0.0f;
    float above = number < -largestSample ? -largestSample : number;
    return above > largestSample ? largestSample : above;
}

// The largest magnitude in `samples`, in four running maxima that run side by side.
float blockPeak(const float* samples, size_t count)
{
    float most[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    size_t k = 0;
    for (; k + 4 <= count; k += 4)
        for (int j = 0; j < 4; ++j) {
            float magnitude = std::fabs(samples[k + j]);
            most[j] = magnitude > most[j] ? magnitude : most[j];
        }
    for (; k < count; ++k) {
        float magnitude = std::fabs(samples[k]);
        most[0] = magnitude > most[0] ? magnitude : most[0];
    }
    float a = most[0] > most[1] ? most[0] : most[1];
    float b = most[2] > most[3] ? most[2] : most[3];
    return a > b ? a : b;
}

size_t blockFrames(int channels)
{
    size_t frames = blockSamples / static_cast<size_t>(channels);
    return frames > 0 ? frames : 1;
}

// Reads up to `frames` frames into `block`, each sample made safe; 0 at the end. A
// damaged file ends where the damage begins, with libsndfile's reason in `damage`. Each
// call clears the error of the one before, so it is looked at after every read, the
// one that returns nothing included.
size_t readFrames(SoundFile& sound, std::vector<float>& block, size_t frames, std::string& damage)
{
    sf_count_t got = sf_readf_float(sound.file(), block.data(), static_cast<sf_count_t>(frames));
    if (sf_error(sound.file()) != SF_ERR_NO_ERROR) damage = sf_strerror(sound.file());
    size_t count = got > 0 ? static_cast<size_t>(got) : 0;
    size_t samples = count * static_cast<size_t>(sound.info().channels);
    for (size_t k = 0; k < samples; ++k) block[k] = cleanSample(block[k]);
    return count;
}

// The first pass: the 0-based channel that carries the tape signal best.
int chooseChannel(SoundFile& sound, Reading& reading)
{
    const int channels = sound.info().channels;
    const size_t framesPerBlock = blockFrames(channels);
    TapeBandMeter meter;
    startTapeBandMeter(meter, channels, sound.info().samplerate);
    std::vector<float> block(framesPerBlock * static_cast<size_t>(channels));
    std::string damage;
    size_t frames;
    while (damage.empty() && (frames = readFrames(sound, block, framesPerBlock, damage)) > 0) {
        measureTapeBand(meter, block.data(), frames);
        advance(reading, frames);
    }
    return bestTapeChannel(meter);
}

// The second pass: channel `channel` (0-based) through the decoder. `promised` is the
// length the file's header gives, 0 when unknown.
void decodeChannel(SoundFile& sound, int channel, uint64_t promised, Reading& reading,
                   RecordingDecoding& result)
{
    const size_t channels = static_cast<size_t>(sound.info().channels);
    const size_t framesPerBlock = blockFrames(sound.info().channels);
    std::vector<float> block(framesPerBlock * channels);
    std::vector<float> mono(channels > 1 ? framesPerBlock : 0);
    float peak = 0.0f;
    RobustDecoder decoder(sound.info().samplerate);
    std::string damage;
    uint64_t framesRead = 0;
    size_t frames;
    while (damage.empty() && (frames = readFrames(sound, block, framesPerBlock, damage)) > 0) {
        // A mono block is the channel itself.
        const float* samples = block.data();
        if (channels > 1) {
            for (size_t f = 0; f < frames; ++f)
                mono[f] = block[f * channels + static_cast<size_t>(channel)];
            samples = mono.data();
        }
        float blockMost = blockPeak(samples, frames);
        if (blockMost > peak) peak = blockMost;
        decoder.feed(samples, frames);
        framesRead += frames;
        advance(reading, frames);
    }
    const double rate = sound.info().samplerate;
    result.seconds = static_cast<double>(framesRead) / rate;
    const sf_count_t known = sound.info().frames;
    if (known > 0 && promised < static_cast<uint64_t>(known)) promised = static_cast<uint64_t>(known);
    if (!damage.empty())
        result.readError = {RecordingProblem::Damaged, damage, 0, result.seconds, 0.0};
    else if (framesRead < promised)
        result.readError = {RecordingProblem::EndsEarly, "", 0, result.seconds, static_cast<double>(promised) / rate};
    decoder.finish();
    result.bytes = decoder.bytes();
    result.suspects = decoder.suspects();
    result.byteSeconds = decoder.byteSeconds();
    result.confidences = decoder.confidences();
    result.losses = decoder.losses();
    result.startsInsideData = decoder.startsInsideData();
    result.endsInsideData = decoder.endsInsideData();
    result.peakDecibels = peak > 0.0f ? 20.0 * std::log10(static_cast<double>(peak))
                                      : -std::numeric_limits<double>::infinity();
}

RecordingDecoding decodeOpened(const Opener& open, uint64_t promised, int channel,
                               const ReadingProgress& progress)
{
    RecordingDecoding result = RecordingDecoding();
    result.peakDecibels = -std::numeric_limits<double>::infinity();
    SoundFile first(open);
    if (!first.file()) {
        result.error = openError();
        return result;
    }
    const SF_INFO& info = first.info();
    result.channels = info.channels;
    if (info.samplerate < lowestRecordingRate || info.samplerate > highestRecordingRate) {
        result.error = {RecordingProblem::RateOutside, "", info.samplerate, 0.0, 0.0};
        return result;
    }
    if (channel < 0 || channel > info.channels) {
        result.error = {RecordingProblem::NoSuchChannel, "", channel, 0.0, 0.0};
        return result;
    }
    const bool choosing = channel == 0 && info.channels > 1;
    const uint64_t frames = info.frames > 0 ? static_cast<uint64_t>(info.frames) : 0;
    Reading reading = {0, choosing ? 2 * frames : frames, progress};
    if (!choosing) {
        result.channel = channel > 0 ? channel : 1;
        decodeChannel(first, result.channel - 1, promised, reading, result);
        return result;
    }
    result.channel = chooseChannel(first, reading) + 1;
    // Read again from the start: opening anew works for every format and source, where
    // seeking back depends on both.
    SoundFile second(open);
    if (!second.file()) {
        result.error = openError();
        return result;
    }
    decodeChannel(second, result.channel - 1, promised, reading, result);
    return result;
}

}  // namespace

std::string recordingTime(double seconds)
{
    // Rounded to hundredths first, so that 59.999 s is 1:00.00 and never 0:60.00.
    double hundredths = std::floor(seconds * 100.0 + 0.5);
    if (!(hundredths >= 0.0)) hundredths = 0.0;
    if (hundredths > 1e15) hundredths = 1e15;
    uint64_t total = static_cast<uint64_t>(hundredths);
    char text[40];
    std::snprintf(text, sizeof text, "%llu:%02u.%02u",
                  static_cast<unsigned long long>(total / 6000),
                  static_cast<unsigned>(total % 6000 / 100), static_cast<unsigned>(total % 100));
    return text;
}

RecordingDecoding decodeRecordingFile(const std::string& path, int channel,
                                      const ReadingProgress& progress)
{
    // Only a regular file is read twice: from a pipe the header would be gone.
    std::vector<uint8_t> head(promisedLengthHead);
    size_t got = 0;
    struct stat status;
    if (stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        if (FILE* file = std::fopen(path.c_str(), "rb")) {
            got = std::fread(head.data(), 1, head.size(), file);
            std::fclose(file);
        }
    }
    return decodeOpened([&path](SF_INFO* info) { return sf_open(path.c_str(), SFM_READ, info); },
                        promisedFrames(head.data(), got), channel, progress);
}

RecordingDecoding decodeRecordingInMemory(const uint8_t* data, size_t size, int channel,
                                          const ReadingProgress& progress)
{
    MemoryFile memory;
    return decodeOpened([&](SF_INFO* info) { return openMemoryFile(memory, data, size, info); },
                        promisedFrames(data, size < promisedLengthHead ? size : promisedLengthHead), channel,
                        progress);
}
