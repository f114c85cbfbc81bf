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

struct RecordingDecoding {
    std::string error;  // why nothing was decoded; empty when decoded
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
    // Why reading stopped before the file's end (a damaged file) or the end its header
    // promises (a file cut short), with where; the bytes are those of the recording up
    // to there. Empty when it was read whole.
    std::string readError;
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
