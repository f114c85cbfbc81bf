// Throughput of --robust beside minimodem's on the same recording: a tape of two minutes
// at 44100 samples a second, 16-bit mono WAV, decoded through the very path of
// `hibarion --robust` (libsndfile, in blocks) and by `minimodem --rx` when installed.
// Best of three runs each; the goal is at least three times minimodem's throughput.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "signal/recording_file.h"
#include "tools/files.h"
#include "tools/signal_synthesis.h"

namespace {

template <typename Run>
double bestOfThree(Run run)
{
    double best = 1e300;
    for (int k = 0; k < 3; ++k) {
        auto start = std::chrono::steady_clock::now();
        if (!run()) return -1;
        double seconds = secondsSince(start);
        if (seconds < best) best = seconds;
    }
    return best;
}

}  // namespace

int main()
{
    const int rate = 44100;
    std::vector<uint8_t> image = randomImage(11000, 9);  // with the leader about two minutes
    std::vector<float> samples = synthesizeTapeFloats(image, rate);
    std::vector<uint8_t> file = makeWideWaveFile(samples, nullptr, rate, 16);

    const char* base = std::getenv("TMPDIR");
    std::string wav = std::string(base && *base ? base : "/tmp") + "/hibarion-throughput.wav";
    std::string out = wav + ".out";
    if (!writeFile(wav, file)) {
        std::fprintf(stderr, "robust_throughput: cannot write %s\n", wav.c_str());
        return 1;
    }
    const double audio = static_cast<double>(samples.size()) / rate;

    double robust = bestOfThree([&] { return decodeRecordingFile(wav, 0).bytes == image; });
    if (robust < 0) {
        std::fprintf(stderr, "robust_throughput: --robust gave other bytes than the image\n");
        std::remove(wav.c_str());
        return 1;
    }
    std::printf("--robust:  %.3f s for %.0f s of recording (%.0f times real time)\n", robust,
                audio, audio / robust);

    std::string command = "minimodem --rx -q -f '" + wav +
                          "' --mark 2400 --space 1200 --startbits 1 --stopbits 3 1200 > '" + out +
                          "' 2>/dev/null";
    bool peer = std::system("command -v minimodem > /dev/null 2>&1") == 0;
    if (peer) {
        double minimodem = bestOfThree([&] { return std::system(command.c_str()) == 0; });
        std::printf("minimodem: %.3f s (%.0f times real time)\n", minimodem, audio / minimodem);
        std::printf("--robust is %.1f times as fast (goal: 3)\n", minimodem / robust);
    } else {
        std::printf("minimodem is not installed\n");
    }
    std::remove(wav.c_str());
    std::remove(out.c_str());
    return 0;
}
