#pragma once
// `hibarion --robust` on one recording file: any file libsndfile reads, streamed in
// blocks through the robust decoder, one channel of it. The command line and the
// robustness table both decode through here.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "signal/robust_decoder.h"

const int lowestRecordingRate = 4000;
const int highestRecordingRate = 768000;

// Why a recording gave no bytes, or why its reading stopped short of its end; each
// front end words it.
struct RecordingProblem {
    enum Kind : uint8_t {
        None,
        CannotRead,     // libsndfile reads no recording in the file
        RateOutside,    // the sample rate lies outside lowestRecordingRate ... highestRecordingRate
        NoSuchChannel,  // the channel asked for is not in the file
        Damaged,        // reading stopped at damage in the file
        EndsEarly,      // the file ends before the end its header promises
    };
    Kind kind;
    std::string detail;  // CannotRead, Damaged: libsndfile's words
    int number;          // RateOutside: the rate; NoSuchChannel: the channel asked for
    double seconds;      // Damaged, EndsEarly: where the reading stopped
    double promised;     // EndsEarly: the length the header promises, in seconds
};

struct RecordingDecoding {
    RecordingProblem error;  // why nothing was decoded; None when decoded
    int channel;        // 1-based: the channel decoded
    int channels;       // in the file
    double peakDecibels;  // the decoded channel's peak, dBFS; -infinity when silent
    std::vector<uint8_t> bytes;
    std::vector<SuspectRange> suspects;
    std::vector<double> byteSeconds;  // where each byte starts in the recording
    std::vector<float> confidences;   // how sure of each byte, 0 ... 1
    std::vector<SignalLoss> losses;
    bool startsInsideData;  // no leading tone before the first byte
    bool endsInsideData;    // the recording stops inside a byte
    double seconds;         // the length read
    // Why reading stopped before the file's end (Damaged) or the end its header promises
    // (EndsEarly); the bytes are those of the recording up to there. None when it was
    // read whole.
    RecordingProblem readError;
};

// A place in a recording as the messages give it: M:SS.ss.
std::string recordingTime(double seconds);

// Told after every block read how many of the frames to read over every pass are done;
// the total comes from the file's header, so `done` is held at most `total`.
typedef std::function<void(uint64_t done, uint64_t total)> ReadingProgress;

// `channel` 1 ... channels forces that channel; 0 lets the tape band choose among
// several (a first pass over the file, which is then read again).
RecordingDecoding decodeRecordingFile(const std::string& path, int channel,
                                      const ReadingProgress& progress = nullptr);
// The same for a file held in memory.
RecordingDecoding decodeRecordingInMemory(const uint8_t* data, size_t size, int channel,
                                          const ReadingProgress& progress = nullptr);
