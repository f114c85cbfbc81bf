// Throughput of the two conversions on synthetic tapes, single thread:
//   decoding a 10-minute recording at 44100 and at 11025 samples a second;
//   encoding a 32 KB tape image at slowness 16.0 (about 58 million samples).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/decoder.h"
#include "core/encoder.h"
#include "core/loaded_data.h"
#include "settings/settings.h"
#include "tools/signal_synthesis.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<uint8_t> randomImage(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> image(size);
    for (uint8_t& b : image) b = static_cast<uint8_t>(random());
    return image;
}

void holdInSlot(const std::vector<uint8_t>& bytes, uint32_t rate)
{
    releaseLoadedData();
    loadedDataSlot.data = static_cast<uint8_t*>(std::malloc(bytes.size() + 1));
    std::memcpy(loadedDataSlot.data, bytes.data(), bytes.size());
    loadedDataSlot.held = 1;
    loadedDataSlot.count = static_cast<uint32_t>(bytes.size());
    loadedDataSlot.format = {1, 1, rate, rate, 1, 8, 0};
}

std::string scratchName(const char* leaf)
{
    const char* base = std::getenv("TMPDIR");
    return std::string(base && *base ? base : "/tmp") + "/" + leaf;
}

void benchDecode(int rate, const std::string& folder)
{
    // 100 bytes a second at factor 1.0: 59,900 bytes fill ten minutes with the leader.
    std::vector<uint8_t> samples = synthesizeTapeSignal(randomImage(59900, 7), rate);
    holdInSlot(samples, static_cast<uint32_t>(rate));
    std::string name = folder + "bench.wav";
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        auto start = std::chrono::steady_clock::now();
        decodeRecording(nullptr, name.c_str());
        double seconds = secondsSince(start);
        if (seconds < best) best = seconds;
    }
    double recorded = static_cast<double>(samples.size()) / rate;
    std::printf("decode %5d Hz: %.1f s of recording in %.3f s: %.1f M samples/s, %.0f x real time\n",
                rate, recorded, best, samples.size() / best / 1e6, recorded / best);
}

void benchEncode(const std::string& folder)
{
    holdInSlot(randomImage(32768, 11), 11025);
    loadedDataSlot.format = {1, 1, 11025, 11025, 1, 8, 0};
    conversionSettings.outputSlowness = 16.0;
    std::string name = folder + "bench.p6";
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        auto start = std::chrono::steady_clock::now();
        encodeTapeImage(nullptr, name.c_str());
        double seconds = secondsSince(start);
        if (seconds < best) best = seconds;
    }
    uint64_t samples = countRecordingSamples(32768, 16.0);
    std::printf("encode 32 KB at 16.0: %llu samples written in %.3f s (%.1f M samples/s)\n",
                static_cast<unsigned long long>(samples), best, samples / best / 1e6);
    conversionSettings.outputSlowness = 1.0;
}

}  // namespace

int main()
{
    std::string folder = scratchName("");
    benchDecode(44100, folder);
    benchDecode(11025, folder);
    benchEncode(folder);
    std::remove((folder + "bench.P6").c_str());
    std::remove((folder + "bench_.wav").c_str());
    releaseLoadedData();
    return 0;
}
