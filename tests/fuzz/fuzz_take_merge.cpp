// Fuzzes the merge of several takes of one tape.
//
// Input: byte 0 holds the number of takes less one in its low two bits. The rest is
// split at each pair of bytes 0xFF 0xFE into pieces, one a take. Bit 2 of byte 0 clear:
// each piece is a take of its own, pairs of a byte and its confidence (the low seven
// bits over 127; the high bit: the signal was lost before it, over as many bytes as its
// value's low five bits). Set: the first piece is the tape, read sure of every byte,
// and each later piece edits it into a take, pairs of an edit and its argument: keep so
// many bytes, lose so many, misread the next byte as the argument, or read a stray byte.
//
// Every merge must hold one confidence and one place a byte, count every byte as given
// by one take and none by another tape or an empty take, name every byte it is unsure
// of within its suspect ranges, in order, and give its losses in order within the
// image. One take merges into itself, and so does a take merged with itself.
#include <algorithm>
#include <vector>

#include "signal/take_merge.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const size_t mostTakes = 4;

std::vector<Bytes> pieces(const uint8_t* data, size_t size)
{
    std::vector<Bytes> split(1);
    for (size_t k = 0; k < size; ++k) {
        if (k + 1 < size && data[k] == 0xFF && data[k + 1] == 0xFE) {
            split.emplace_back();
            ++k;
        } else {
            split.back().push_back(data[k]);
        }
    }
    return split;
}

void addByte(Take& take, uint8_t value, float confidence)
{
    take.byteSeconds.push_back(0.01 * static_cast<double>(take.bytes.size()));
    take.bytes.push_back(value);
    take.confidences.push_back(confidence);
}

void addLoss(Take& take, uint32_t missing)
{
    const double at = 0.01 * static_cast<double>(take.bytes.size());
    take.losses.push_back({static_cast<uint32_t>(take.bytes.size()), missing, at, 0.01 * missing});
}

Take ownTake(const Bytes& piece)
{
    Take take = Take();
    for (size_t k = 0; k + 1 < piece.size(); k += 2) {
        if (piece[k + 1] & 0x80) addLoss(take, 1 + (piece[k] & 0x1F));
        addByte(take, piece[k], static_cast<float>(piece[k + 1] & 0x7F) / 127);
    }
    return take;
}

Take editedTake(const Bytes& tape, const Bytes& edits)
{
    Take take = Take();
    size_t at = 0;
    for (size_t k = 0; k + 1 < edits.size() && at < tape.size(); k += 2) {
        const uint8_t argument = edits[k + 1];
        switch (edits[k] % 4) {
        case 0:
            for (size_t n = 0; n <= argument && at < tape.size(); ++n) addByte(take, tape[at++], 0.9f);
            break;
        case 1: {
            const size_t lost = std::min<size_t>(1 + argument % 32, tape.size() - at);
            addLoss(take, static_cast<uint32_t>(lost));
            at += lost;
            break;
        }
        case 2:
            addByte(take, argument, 0.1f);
            ++at;
            break;
        default:
            addByte(take, argument, 0.2f);
        }
    }
    while (at < tape.size()) addByte(take, tape[at++], 0.9f);
    return take;
}

void checkMerge(const std::vector<Take>& takes, const MergedTape& merged)
{
    const size_t size = merged.bytes.size();
    FUZZ_CHECK(merged.confidences.size() == size && merged.byteSeconds.size() == size);
    FUZZ_CHECK(merged.given.size() == takes.size() && merged.anotherTape.size() == takes.size());
    size_t given = 0;
    for (size_t t = 0; t < takes.size(); ++t) {
        FUZZ_CHECK(merged.given[t] <= takes[t].bytes.size());
        FUZZ_CHECK(!merged.anotherTape[t] || merged.given[t] == 0);
        given += merged.given[t];
    }
    FUZZ_CHECK(given == size);
    std::vector<bool> named(size, false);
    for (size_t s = 0; s < merged.suspects.size(); ++s) {
        const SuspectRange& range = merged.suspects[s];
        FUZZ_CHECK(range.firstByte <= range.lastByte && range.lastByte < size);
        FUZZ_CHECK(s == 0 || merged.suspects[s - 1].lastByte < range.firstByte);
        for (uint32_t b = range.firstByte; b <= range.lastByte; ++b) named[b] = true;
    }
    for (size_t b = 0; b < size; ++b) FUZZ_CHECK(named[b] || merged.confidences[b] >= suspectConfidence);
    for (size_t l = 0; l < merged.losses.size(); ++l) {
        FUZZ_CHECK(merged.losses[l].bytesBefore <= size && merged.losses[l].missingBytes > 0);
        FUZZ_CHECK(l == 0 || merged.losses[l - 1].bytesBefore < merged.losses[l].bytesBefore);
    }
    FUZZ_CHECK(merged.startsInsideData < static_cast<int>(takes.size()));
    FUZZ_CHECK(merged.endsInsideData < static_cast<int>(takes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const size_t count = 1 + (data[0] & 3);
    const bool edited = data[0] & 4;
    const std::vector<Bytes> split = pieces(data + 1, size - 1);
    std::vector<Take> takes;
    for (size_t k = 0; k < split.size() && takes.size() < count && takes.size() < mostTakes; ++k) {
        if (edited && k == 0) continue;
        takes.push_back(edited ? editedTake(split[0], split[k]) : ownTake(split[k]));
        takes.back().startsInsideData = split[k].size() % 3 == 1;
        takes.back().endsInsideData = split[k].size() % 5 == 2;
    }
    if (takes.empty()) return 0;

    const MergedTape merged = mergeTakes(takes);
    checkMerge(takes, merged);
    for (size_t t = 0; t < takes.size(); ++t) FUZZ_CHECK(!takes[t].bytes.empty() || merged.given[t] == 0);

    const MergedTape alone = mergeTakes({takes[0]});
    checkMerge({takes[0]}, alone);
    FUZZ_CHECK(alone.bytes == takes[0].bytes);
    const MergedTape twice = mergeTakes({takes[0], takes[0]});
    checkMerge({takes[0], takes[0]}, twice);
    FUZZ_CHECK(twice.bytes == takes[0].bytes);
    return 0;
}
