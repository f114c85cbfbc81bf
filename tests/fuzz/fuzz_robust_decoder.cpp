// Fuzzes the robust decoder itself with any samples, at any rate, in blocks of any size.
//
// Input: bytes 0 and 1 choose the rate, 4000 + 11.66 x (0 ... 65535), so up to 768000;
// byte 2 the size of the blocks, 1 ... 256 times 37; the rest are the samples, four
// bytes each as a little-endian float of any bit pattern (NaN, infinities, subnormals,
// values far beyond full scale).
//
// Every input is decoded twice, fed at once and in those blocks: the two must agree in
// every byte, suspect and loss. The bytes must fit the samples (each takes twelve cells,
// and a cell is never shorter than 0.8 of its normal length), and the suspects and
// losses must lie in order within the bytes and within the recording's time.
#include <cmath>
#include <cstring>
#include <vector>

#include "signal/robust_decoder.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Result {
    std::vector<uint8_t> bytes;
    std::vector<SuspectRange> suspects;
    std::vector<SignalLoss> losses;
    bool startsInside, endsInside;
};

Result decode(double rate, const std::vector<float>& samples, size_t block)
{
    RobustDecoder decoder(rate);
    for (size_t at = 0; at < samples.size(); at += block) {
        size_t size = samples.size() - at < block ? samples.size() - at : block;
        decoder.feed(samples.data() + at, size);
    }
    decoder.finish();
    Result result = {decoder.bytes(), decoder.suspects(), decoder.losses(), decoder.startsInsideData(),
                     decoder.endsInsideData()};
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) return 0;
    const double rate = 4000 + 11.66 * (data[0] | data[1] << 8);
    const size_t block = 37 * (static_cast<size_t>(data[2]) + 1);
    std::vector<float> samples((size - 3) / 4);
    if (!samples.empty()) std::memcpy(samples.data(), data + 3, samples.size() * 4);

    Result whole = decode(rate, samples, samples.size() + 1);
    Result parts = decode(rate, samples, block);
    FUZZ_CHECK(whole.bytes == parts.bytes);
    FUZZ_CHECK(whole.suspects.size() == parts.suspects.size());
    FUZZ_CHECK(whole.losses.size() == parts.losses.size());
    FUZZ_CHECK(whole.startsInside == parts.startsInside && whole.endsInside == parts.endsInside);

    const double seconds = samples.size() / rate;
    const double shortestByte = 12 * 0.8 / 1200 * rate;  // in samples
    FUZZ_CHECK(whole.bytes.size() <= samples.size() / shortestByte + 2);
    uint32_t next = 0;
    for (size_t k = 0; k < whole.suspects.size(); ++k) {
        const SuspectRange& s = whole.suspects[k];
        const SuspectRange& p = parts.suspects[k];
        FUZZ_CHECK(s.firstByte == p.firstByte && s.lastByte == p.lastByte);
        FUZZ_CHECK(s.seconds == p.seconds && s.reason == p.reason);
        FUZZ_CHECK(s.firstByte >= next && s.firstByte <= s.lastByte);
        FUZZ_CHECK(s.lastByte < whole.bytes.size());
        FUZZ_CHECK(s.seconds >= 0 && s.seconds <= seconds);
        FUZZ_CHECK(s.reason == SuspectReason::Framing || s.reason == SuspectReason::WeakBit ||
                   s.reason == SuspectReason::SignalLost);
        next = s.lastByte + 2;  // neighbours are merged into one range
    }
    uint32_t after = 1;  // a loss follows at least one byte
    double since = 0;
    for (size_t k = 0; k < whole.losses.size(); ++k) {
        const SignalLoss& l = whole.losses[k];
        const SignalLoss& p = parts.losses[k];
        FUZZ_CHECK(l.bytesBefore == p.bytesBefore && l.missingBytes == p.missingBytes);
        FUZZ_CHECK(l.seconds == p.seconds && l.duration == p.duration);
        FUZZ_CHECK(l.bytesBefore >= after && l.bytesBefore <= whole.bytes.size());
        FUZZ_CHECK(l.missingBytes >= 1 && l.missingBytes <= samples.size() / shortestByte + 2);
        FUZZ_CHECK(l.seconds >= since && l.duration >= 0 && l.seconds + l.duration <= seconds + 0.01);
        after = l.bytesBefore;
        since = l.seconds;
    }
    return 0;
}
