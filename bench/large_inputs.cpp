// Memory of the conversions on large inputs, each conversion measured in a fresh process
// of its own (this program started again with a task), so that nothing the measurement
// did not need is resident in it:
//   a 60-minute recording at 48000 samples a second (about 173 MB), written as a WAV file
//   by one process, then read with readWaveFile and decoded by another, whose peak
//   resident set is set against the recording plus 16 MiB;
//   a 1 MB tape image encoded at outputSlowness 1.0 and 16.0, each in its own process:
//   the samples are streamed to the file through a 64 KiB buffer, so the peak resident
//   set must not grow with the output.
// Files go to a folder of their own under $TMPDIR (or /tmp), removed at the end; the
// recording at 16.0 takes 1.9 GB of it for a while.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/child_process.h"
#include "core/conversion_settings.h"
#include "core/decoder.h"
#include "core/encoder.h"
#include "core/loaded_data.h"
#include "core/tape_loader.h"
#include "core/wave_reader.h"
#include "tools/files.h"
#include "tools/signal_synthesis.h"

namespace {

const int RecordingRate = 48000;
// 100 bytes a second beside 5.6 s of silence, leader, header block, gap and trailer:
// 359,451 bytes fill 3,600 s.
const size_t RecordingImageBytes = 359451;
const size_t EncodedImageBytes = 1 << 20;

// ---- Tasks, each run in a process of its own --------------------------------------

// The recording of the image: the header of makeWaveFile, then the samples as they are.
int writeRecording(const std::string& path)
{
    std::vector<uint8_t> samples =
        synthesizeTapeSignal(randomImage(RecordingImageBytes, 3), RecordingRate);
    std::vector<uint8_t> header = makeWaveFile({}, RecordingRate);
    uint32_t size = static_cast<uint32_t>(samples.size());
    for (int k = 0; k < 4; ++k) {
        header[4 + k] = static_cast<uint8_t>((size + 36) >> (8 * k));
        header[40 + k] = static_cast<uint8_t>(size >> (8 * k));
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 1;
    bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
                   std::fwrite(samples.data(), 1, samples.size(), file) == samples.size();
    return std::fclose(file) == 0 && written ? 0 : 1;
}

int decodeRecordingFile(const std::string& path)
{
    auto start = std::chrono::steady_clock::now();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return 1;
    int result = readWaveFile(file);
    std::fclose(file);
    if (result != -1) return 1;
    double readSeconds = secondsSince(start);
    uint32_t samples = currentWaveBuffer().sampleCount;
    int decoded = decodeRecording(nullptr, path.c_str());
    std::printf("  read %u samples in %.2f s, decoded in %.2f s; peak resident set %ld KiB\n",
                samples, readSeconds, secondsSince(start) - readSeconds, peakResidentKiB());
    return decoded == 1 ? 0 : 1;
}

int encodeImageFile(const std::string& path, double slowness)
{
    auto start = std::chrono::steady_clock::now();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return 1;
    int result = loadTapeImage(file);
    std::fclose(file);
    if (result != -1) return 1;
    conversionSettings.outputSlowness = slowness;
    int encoded = encodeTapeImage(nullptr, path.c_str());
    std::printf("  encoded in %.2f s; peak resident set %ld KiB\n", secondsSince(start),
                peakResidentKiB());
    return encoded == 1 ? 0 : 1;
}

// ---- The measurement ------------------------------------------------------------

double mebibytes(double bytes) { return bytes / (1024.0 * 1024.0); }

bool measureRecording(const std::string& folder)
{
    std::string recording = folder + "hour.wav";
    std::printf("60-minute recording at %d samples a second\n", RecordingRate);
    if (runTask({"write-recording", recording}) < 0) return false;
    long long bytes = fileSize(recording);
    double samples = static_cast<double>(bytes - 44);
    std::printf("  written: %lld bytes, %.0f samples, %.1f minutes\n", bytes, samples,
                samples / RecordingRate / 60);

    long peak = runTask({"decode", recording});
    if (peak < 0) return false;
    double limit = mebibytes(samples) + 16;
    std::printf("  peak resident set of the decoding process: %.1f MiB; the recording is "
                "%.1f MiB, + 16 MiB = %.1f MiB: %s\n",
                peak / 1024.0, mebibytes(samples), limit,
                peak / 1024.0 <= limit ? "within" : "ABOVE");

    FILE* file = std::fopen((folder + "hour.P6").c_str(), "rb");
    std::vector<uint8_t> decoded(RecordingImageBytes + 1);
    size_t got = file ? std::fread(decoded.data(), 1, decoded.size(), file) : 0;
    if (file) std::fclose(file);
    decoded.resize(got);
    std::printf("  decoded tape image: %zu bytes, %s the recorded image\n", got,
                decoded == randomImage(RecordingImageBytes, 3) ? "equal to" : "DIFFERENT FROM");
    std::remove(recording.c_str());
    std::remove((folder + "hour.P6").c_str());
    return true;
}

bool measureEncoding(const std::string& folder)
{
    std::string image = folder + "megabyte.p6";
    std::vector<uint8_t> bytes = randomImage(EncodedImageBytes, 5);
    if (!writeFile(image, bytes.data(), bytes.size())) return false;
    std::printf("1 MiB tape image (%zu bytes)\n", bytes.size());
    for (const char* slowness : {"1.0", "16.0"}) {
        std::printf(" outputSlowness %s\n", slowness);
        long peak = runTask({"encode", image, slowness});
        if (peak < 0) return false;
        std::string recording = recordingNameFor(image.c_str());
        std::printf("  output %lld bytes (%.0f MiB); peak resident set of the encoding "
                    "process: %.1f MiB\n",
                    fileSize(recording), mebibytes(static_cast<double>(fileSize(recording))),
                    peak / 1024.0);
        std::remove(recording.c_str());
    }
    std::remove(image.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string task = argc > 1 ? argv[1] : "";
    if (task == "write-recording" && argc == 3) return writeRecording(argv[2]);
    if (task == "decode" && argc == 3) return decodeRecordingFile(argv[2]);
    if (task == "encode" && argc == 4) return encodeImageFile(argv[2], std::atof(argv[3]));
    if (argc != 1) {
        std::fputs("usage: hibarion_large_inputs\n", stderr);
        return 2;
    }

    std::string folder = makeTemporaryFolder("hibarion-large");
    if (folder.empty()) return 1;
    bool measured = measureRecording(folder) && measureEncoding(folder);
    rmdir(folder.c_str());
    if (!measured) std::fputs("a measurement failed\n", stderr);
    return measured ? 0 : 1;
}
