// Peak memory of `hibarion --robust` on a long recording as people make them: 20 minutes
// at 48000 samples a second, 16 bits, stereo (about 230 MB), with the tape in the right
// channel and hum with hiss in the left, so that the channel choice reads the file a
// first time before the decoding pass. Each step runs in a fresh process of its own
// (this program started again with a task): one writes the file, one decodes it through
// decodeRecordingFile, as the command line does, and its peak resident set is set
// against the goal of 64 MiB. The file goes to a folder of its own under $TMPDIR (or
// /tmp) and is removed at the end.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sndfile.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/child_process.h"
#include "signal/recording_file.h"
#include "tools/files.h"
#include "tools/signal_synthesis.h"

namespace {

const int Rate = 48000;
// 100 bytes a second beside 5.6 s of silence, leader, header block, gap and trailer:
// 119,451 bytes fill 1,200 s.
const size_t ImageBytes = 119451;
const double GoalMiB = 64;

int writeRecording(const std::string& path)
{
    // The 8-bit synthesis holds 58 MB here, in the writing process only.
    std::vector<uint8_t> tape = synthesizeTapeSignal(randomImage(ImageBytes, 12), Rate);
    SF_INFO info = {};
    info.samplerate = Rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return 1;
    std::mt19937 random(13);
    std::uniform_real_distribution<float> hiss(-0.05f, 0.05f);
    std::vector<float> block;
    bool written = true;
    for (size_t start = 0; start < tape.size() && written; start += 65536) {
        size_t end = std::min(tape.size(), start + 65536);
        block.clear();
        for (size_t n = start; n < end; ++n) {
            block.push_back(0.3f * static_cast<float>(std::sin(2 * 3.141592653589793 * 50 * n / Rate)) + hiss(random));
            block.push_back((tape[n] - 128) / 128.0f * 0.7f);
        }
        sf_count_t frames = static_cast<sf_count_t>(end - start);
        written = sf_writef_float(file, block.data(), frames) == frames;
    }
    return sf_close(file) == 0 && written ? 0 : 1;
}

int decodeRecording(const std::string& path)
{
    auto start = std::chrono::steady_clock::now();
    RecordingDecoding d = decodeRecordingFile(path, 0);
    if (d.error.kind != RecordingProblem::None) {
        std::fprintf(stderr, "%s: not decoded%s%s\n", path.c_str(), d.error.detail.empty() ? "" : ": ",
                     d.error.detail.c_str());
        return 1;
    }
    std::printf("  decoded in %.1f s: channel %d of %d, %zu bytes, %s the recorded image, "
                "%zu suspect ranges\n",
                secondsSince(start), d.channel, d.channels, d.bytes.size(),
                d.bytes == randomImage(ImageBytes, 12) ? "equal to" : "DIFFERENT FROM", d.suspects.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string task = argc > 1 ? argv[1] : "";
    if (task == "write" && argc == 3) return writeRecording(argv[2]);
    if (task == "decode" && argc == 3) return decodeRecording(argv[2]);
    if (argc != 1) {
        std::fputs("usage: hibarion_robust_large_input\n", stderr);
        return 2;
    }

    std::string folder = makeTemporaryFolder("hibarion-robust");
    if (folder.empty()) return 1;
    std::string path = folder + "twenty-minutes.wav";
    std::printf("20-minute recording at %d samples a second, 16 bits, stereo\n", Rate);
    bool measured = runTask({"write", path}) >= 0;
    long peak = -1;
    if (measured) {
        std::printf("  written: %lld bytes\n", fileSize(path));
        peak = runTask({"decode", path});
        measured = peak >= 0;
    }
    if (measured)
        std::printf("  peak resident set of the decoding process: %.1f MiB; goal %.0f MiB: %s\n",
                    peak / 1024.0, GoalMiB, peak / 1024.0 <= GoalMiB ? "within" : "ABOVE");
    std::remove(path.c_str());
    rmdir(folder.c_str());
    if (!measured) std::fputs("the measurement failed\n", stderr);
    return measured ? 0 : 1;
}
