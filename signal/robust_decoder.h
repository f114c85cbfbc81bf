#pragma once
// The decoder of `hibarion --robust`: recordings as people have them (any level, noise,
// hum, wow, dropouts), fed in blocks so that a recording is never held whole. It reports
// the bytes it found and which of them are suspect.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Bytes first ... last of the tape image (inclusive) whose framing did not hold or
// whose signal was lost; `seconds` is where the first of them starts in the recording.
struct SuspectRange {
    uint32_t firstByte;
    uint32_t lastByte;
    double seconds;
    std::string reason;
};

struct RobustDecoder;
struct RobustDecoderDeleter {
    void operator()(RobustDecoder* decoder) const;
};
// The decoder's owner: it is destroyed with its handle.
typedef std::unique_ptr<RobustDecoder, RobustDecoderDeleter> RobustDecoderHandle;

// A decoder for mono samples at `sampleRate` (4000 ... 768000), full scale +-1.0. Only
// the ratio of the tones counts, so any scale decodes alike down to about 1e-9; samples
// beyond +-1e6 are clipped there, and one that is no number is silence. Below 4800
// samples a second the 2400 Hz tone cannot be recorded, and its alias is not sought.
RobustDecoderHandle createRobustDecoder(double sampleRate);
// The next `count` samples, in order; blocks of any size.
void feedRobustDecoder(RobustDecoder* decoder, const float* samples, size_t count);
// The recording has ended: the bytes and the suspects are final.
void finishRobustDecoder(RobustDecoder* decoder);
const std::vector<uint8_t>& robustBytes(const RobustDecoder* decoder);
const std::vector<SuspectRange>& robustSuspects(const RobustDecoder* decoder);
// Where each byte starts in the recording, in seconds.
const std::vector<double>& robustByteSeconds(const RobustDecoder* decoder);
