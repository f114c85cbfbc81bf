#pragma once
// The decoder of `hibarion --robust`: recordings as people have them (any level, noise,
// hum, wow, dropouts), fed in blocks so that a recording is never held whole. It reports
// the bytes it found, which of them are suspect, and where bytes are missing.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Why bytes are suspect; each front end puts it in its own words.
enum class SuspectReason : uint8_t {
    Framing,            // the frame's start and stop cells did not hold, or had to be placed
    WeakBit,            // a data cell lay between the tones
    SignalLost,         // the signal fell away under the byte
    Structure,          // the byte breaks a BASIC program's structure
    UnsureInEveryTake,  // merged takes: none reads the byte with confidence
    TakesDisagree,      // merged takes: confident takes read it apart
    LostInEveryTake,    // merged takes: next to a loss that every take shares
};

// Bytes first ... last of the tape image (inclusive) whose framing did not hold or
// whose signal was lost; `seconds` is where the first of them starts in the recording.
struct SuspectRange {
    uint32_t firstByte;
    uint32_t lastByte;
    double seconds;
    SuspectReason reason;
};

// Where the signal was lost for longer than frames can be counted through: about
// `missingBytes` bytes of the tape are not in the image, which holds `bytesBefore`
// bytes before them. The count is the loss's length at the speed measured before it.
struct SignalLoss {
    uint32_t bytesBefore;
    uint32_t missingBytes;
    double seconds;   // where the loss begins in the recording
    double duration;  // until the signal came back
};

// A byte whose confidence lies below this is likely to be wrong.
const float suspectConfidence = 0.5f;

struct DecoderState;

// A decoder for mono samples at `sampleRate` (4000 ... 768000), full scale +-1.0. Only
// the ratio of the tones counts, so any scale decodes alike down to about 1e-9; samples
// beyond +-1e6 are clipped there, and one that is no number is silence. Below 4800
// samples a second the 2400 Hz tone cannot be recorded, and its alias is not sought.
class RobustDecoder {
public:
    explicit RobustDecoder(double sampleRate);
    ~RobustDecoder();
    RobustDecoder(const RobustDecoder&) = delete;
    RobustDecoder& operator=(const RobustDecoder&) = delete;

    // The next `count` samples, in order; blocks of any size.
    void feed(const float* samples, size_t count);
    // The recording has ended: the bytes and the reports are final.
    void finish();

    const std::vector<uint8_t>& bytes() const;
    const std::vector<SuspectRange>& suspects() const;
    // How sure the decoder is of each byte, 0 ... 1; the suspect bytes lie below
    // `suspectConfidence`.
    const std::vector<float>& confidences() const;
    // Where each byte starts in the recording, in seconds.
    const std::vector<double>& byteSeconds() const;
    const std::vector<SignalLoss>& losses() const;
    // Whether no leading tone came before the first byte: the recording starts inside
    // the data, and bytes before it may be missing.
    bool startsInsideData() const;
    // Whether the recording stops inside a byte, whose frame it does not hold whole.
    bool endsInsideData() const;

private:
    std::unique_ptr<DecoderState> state_;
};
