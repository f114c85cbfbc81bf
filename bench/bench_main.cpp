// The conversions against their yardsticks, each a whole process, side by side in one
// run with the pairs alternated so that a busy machine slows both alike:
//   decoding the recording of a 20,000-byte tape image at 11025 and at 44100 samples a
//   second with `hibarion FILE`, against minimodem receiving the same file (Bell 202
//   tones at 1200 baud) when it is installed;
//   encoding a 32 KB tape image at slowness 16.0, against writing as many bytes from
//   /dev/zero with `head -c N`, the cost of merely writing the recording.
// Each figure is the median of the runs, as elapsed time and as processor time (user
// plus system); a ratio above 1 is the peer's time over hibarion's. The program is
// copied with its settings file into a scratch folder under $TMPDIR (or /tmp).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "settings/settings.h"
#include "tools/files.h"
#include "tools/signal_synthesis.h"

extern char** environ;

namespace {

const int Runs = 5;
const size_t DecodedImageBytes = 20000;
const size_t EncodedImageBytes = 32768;

struct Timing {
    double elapsed;
    double processor;
};

bool copyProgram(const std::string& from, const std::string& to)
{
    std::vector<uint8_t> bytes = readFile(from);
    return !bytes.empty() && writeFile(to, bytes) && chmod(to.c_str(), 0755) == 0;
}

bool onPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// Runs `arguments` (searched on PATH) with standard output into `output`, or into
// /dev/null when it is empty, and waits for it. Elapsed from spawn to exit; processor
// time as the kernel accounts the child. Negative when it could not run or failed.
Timing run(const std::vector<std::string>& arguments, const std::string& output = "")
{
    std::vector<std::string> copies(arguments);
    std::vector<char*> argv;
    for (std::string& argument : copies) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.empty() ? "/dev/null" : output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    auto start = std::chrono::steady_clock::now();
    pid_t child;
    int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return {-1, -1};
    int status;
    struct rusage usage;
    if (wait4(child, &status, 0, &usage) != child) return {-1, -1};
    double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {-1, -1};
    double processor = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 +
                       usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1e-6;
    return {elapsed, processor};
}

Timing median(std::vector<Timing> timings)
{
    auto middle = [&](double Timing::*field) {
        std::vector<double> values;
        for (const Timing& timing : timings) values.push_back(timing.*field);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    return {middle(&Timing::elapsed), middle(&Timing::processor)};
}

// Alternates the two commands Runs times; false when either failed.
bool comparePair(const char* work, const std::vector<std::string>& ours,
                 const std::vector<std::string>& peer, const std::string& peerOutput,
                 const char* peerName, const char* goal)
{
    std::vector<Timing> ourTimes, peerTimes;
    for (int k = 0; k < Runs; ++k) {
        ourTimes.push_back(run(ours));
        if (!peer.empty()) peerTimes.push_back(run(peer, peerOutput));
        if (ourTimes.back().elapsed < 0 || (!peer.empty() && peerTimes.back().elapsed < 0))
            return false;
    }
    Timing our = median(ourTimes);
    std::printf("%-34s hibarion %6.3f s (processor %6.3f s)", work, our.elapsed, our.processor);
    if (peer.empty()) {
        std::printf("   %s not installed\n", peerName);
        return true;
    }
    Timing other = median(peerTimes);
    std::printf("   %s %6.3f s (%6.3f s)   ratio %5.2f (processor %5.2f)   goal %s\n", peerName,
                other.elapsed, other.processor, other.elapsed / our.elapsed,
                other.processor / our.processor, goal);
    return true;
}

bool measure(const std::string& folder)
{
    // The copy finds its settings file beside itself: listings off, slowness 16.0.
    std::string program = folder + "hibarion";
    if (!copyProgram(HIBARION_FRONT_END, program)) return false;
    std::snprintf(ProgramDirectory, sizeof ProgramDirectory, "%s", folder.c_str());
    setDefaultSettings();
    conversionSettings.outputSlowness = 16.0;
    conversionSettings.basicListing = 0;
    if (!saveSettings()) return false;

    bool peer = onPath("minimodem");
    std::vector<uint8_t> image = randomImage(DecodedImageBytes, 7);
    for (int rate : {11025, 44100}) {
        std::string recording = folder + "tape" + std::to_string(rate) + ".wav";
        if (!writeFile(recording, makeWaveFile(synthesizeTapeSignal(image, rate), rate)))
            return false;
        std::vector<std::string> minimodem;
        if (peer)
            minimodem = {"minimodem", "--rx", "-q", "-f", recording, "--mark", "2400",
                         "--space", "1200", "--startbits", "1", "--stopbits", "3", "1200"};
        std::string work = "decode 20,000 bytes at " + std::to_string(rate) + " Hz";
        if (!comparePair(work.c_str(), {program, recording}, minimodem, "", "minimodem",
                         "8 or more"))
            return false;
    }

    std::string tapeImage = folder + "image.p6";
    if (!writeFile(tapeImage, randomImage(EncodedImageBytes, 11))) return false;
    std::string written = folder + "image_.wav";
    if (run({program, tapeImage}).elapsed < 0) return false;
    std::string bytes = std::to_string(fileSize(written));
    return comparePair("encode 32 KB at slowness 16.0", {program, tapeImage},
                       {"head", "-c", bytes, "/dev/zero"}, folder + "zero.wav", "/dev/zero",
                       "0.67 or more");
}

}  // namespace

int main()
{
    std::string folder = makeTemporaryFolder("hibarion-bench");
    if (folder.empty()) return 1;
    std::printf("%d runs of each, medians; ratio = the other's time / hibarion's\n", Runs);
    bool measured = measure(folder);
    for (const char* leaf : {"hibarion", "Hibarion.ini", "tape11025.wav", "tape11025.P6",
                             "tape44100.wav", "tape44100.P6", "image.p6", "image_.wav", "zero.wav"})
        std::remove((folder + leaf).c_str());
    rmdir(folder.c_str());
    if (!measured) std::fputs("a measurement failed\n", stderr);
    return measured ? 0 : 1;
}
