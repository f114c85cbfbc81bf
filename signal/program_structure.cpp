#include "signal/program_structure.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "core/tables.h"

namespace {

typedef long long Offset;  // signed: offsets as saved, and the shift between them

const uint8_t headerMark = 0xD3;
const size_t headerLength = 10;
const size_t firstLine = 16;  // the offset of the line at address 0x8001
const Offset firstLineAddress = 0x8001;
const Offset lastAddress = 0xFFFF;
const size_t lineHead = 4;  // link and line number
const size_t endLength = 3;
// A tape with more than two of its ten marks hit is not taken for a program.
const long leastHeaderMarks = 8;
// One damaged place, and one more for each four lines: beyond that the chain that
// tells the bytes apart is itself in doubt.
const size_t linesPerTrouble = 4;
// A repaired link can make whole a line that an earlier damaged place is measured
// against, so the check runs again on its own repairs; damage that keeps it repairing
// beyond this is no structure to trust.
const int mostPasses = 4;
// Bytes lost or gained in one place: ten seconds of tape. A program whose every link is
// further off was saved from another address, and is none of those this check knows.
const Offset mostShift = 1000;
const size_t none = static_cast<size_t>(-1);

struct Walk {
    const std::vector<uint8_t>& bytes;
    std::vector<size_t> nextZero;  // the first 0x00 at or after each offset; size() for none
    Offset delta;                  // offset as saved = offset decoded + delta
    std::vector<bool> suspect;
    std::vector<size_t> numbered;                     // heads of the lines whose numbers count
    std::vector<std::pair<size_t, uint8_t>> repairs;  // offset, value
    size_t lines;
    size_t troubles;
    bool firstLineInPlace;  // the first line starts at its offset: the header stands before it
};

enum Outcome { GoesOn, Ends, Lost };

bool endAt(const Walk& w, size_t p)
{
    return p != none && p + endLength <= w.bytes.size() && w.bytes[p] == 0 && w.bytes[p + 1] == 0 &&
           w.bytes[p + 2] == 0;
}

// Where the link of the line at p points, as an offset of the program as saved.
Offset linkTarget(const Walk& w, size_t p)
{
    return (w.bytes[p] | w.bytes[p + 1] << 8) - firstLineAddress + static_cast<Offset>(firstLine);
}

// The offset after the line at p by its closing 0x00; none when no line the machine
// takes ends there.
size_t scanNext(const Walk& w, size_t p)
{
    size_t body = p + lineHead;
    if (body >= w.bytes.size()) return none;
    size_t zero = w.nextZero[body];
    if (zero == w.bytes.size() || zero - body > LineBodyLimit) return none;
    return zero + 1;
}

// The line at p is whole when its link points just past its closing 0x00.
bool wholeLine(const Walk& w, size_t p, Offset delta)
{
    size_t next = scanNext(w, p);
    return next != none && linkTarget(w, p) == static_cast<Offset>(next) + delta;
}

// A whole line or the end: the chain goes on at p.
bool goesOnWhole(const Walk& w, size_t p, Offset delta)
{
    return p != none && (wholeLine(w, p, delta) || endAt(w, p));
}

// A line as saved, from its head to past its closing 0x00, as long as the machine takes.
bool lineLengthTaken(Offset length)
{
    return length > static_cast<Offset>(lineHead) &&
           length <= static_cast<Offset>(lineHead + LineBodyLimit + 1);
}

bool likelyShift(Offset from, Offset to) { return to - from <= mostShift && from - to <= mostShift; }

void markSuspect(Walk& w, size_t first, size_t last)
{
    for (size_t k = first; k <= last; ++k) w.suspect[k] = true;
}

// Whether the line at p, ending at `next`, holds the head of another line whose link
// points there too: then its own closing 0x00 was hit, and not its link.
bool holdsLineHead(const Walk& w, size_t p, size_t next, Offset delta)
{
    for (size_t q = p + lineHead + 1; q + lineHead < next; ++q)
        if (linkTarget(w, q) == static_cast<Offset>(next) + delta) return true;
    return false;
}

// A link is repaired to `address` only where one of its bytes was hit and the line it
// would make holds no other: two hits in one line more likely took its closing 0x00 as
// well, and the repair would merge it with the next.
bool linkHit(const Walk& w, size_t p, Offset address, size_t next)
{
    return (w.bytes[p] == (address & 0xFF) || w.bytes[p + 1] == (address >> 8)) &&
           !holdsLineHead(w, p, next, w.delta);
}

// The line at p disagrees with its link. Which reading makes the chain after it whole
// decides: its closing 0x00 (the link is wrong), its link (a 0x00 in its body is), a
// shift of all later links (bytes were lost or gained in it), or the first two whole
// lines after it (a damaged stretch). Only a link, and the end where the chain has led
// to it, are determined and repaired.
Outcome takeDisagreement(Walk& w, size_t& p)
{
    const size_t size = w.bytes.size();
    const size_t scanned = scanNext(w, p);
    const Offset linked = linkTarget(w, p) - w.delta;
    const Offset address = scanned == none ? 0
                                           : static_cast<Offset>(scanned) + w.delta -
                                                 static_cast<Offset>(firstLine) + firstLineAddress;
    // Before the end a lost or gained stretch shows in the next line too; at the end
    // only a link that no line the machine takes could have is surely wrong.
    const bool scanHolds = scanned != none && address >= firstLineAddress && address <= lastAddress &&
                           linkHit(w, p, address, scanned) &&
                           (wholeLine(w, scanned, w.delta) ||
                            (endAt(w, scanned) && !lineLengthTaken(linked - static_cast<Offset>(p))));
    const bool linkHolds = lineLengthTaken(linked - static_cast<Offset>(p)) &&
                           linked != static_cast<Offset>(scanned) && static_cast<size_t>(linked) < size &&
                           goesOnWhole(w, static_cast<size_t>(linked), w.delta);
    if (scanHolds && !linkHolds) {
        const uint8_t link[2] = {static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(address >> 8)};
        for (size_t k = 0; k < 2; ++k)
            if (w.bytes[p + k] != link[k]) w.repairs.push_back({p + k, link[k]});
        w.numbered.push_back(p);
        p = scanned;
        return GoesOn;
    }
    if (linkHolds && !scanHolds) {
        const size_t next = static_cast<size_t>(linked);
        for (size_t k = p + lineHead; k + 1 < next; ++k)
            if (w.bytes[k] == 0) w.suspect[k] = true;
        if (w.bytes[next - 1] != 0) w.suspect[next - 1] = true;
        w.numbered.push_back(p);
        p = next;
        return GoesOn;
    }
    if (scanned != none) {
        const Offset shifted = linkTarget(w, p) - static_cast<Offset>(scanned);
        if (shifted != w.delta && likelyShift(w.delta, shifted) &&
            lineLengthTaken(linked - static_cast<Offset>(p)) && wholeLine(w, scanned, shifted) &&
            goesOnWhole(w, scanNext(w, scanned), shifted)) {
            markSuspect(w, p, scanned - 1);
            w.numbered.push_back(p);
            w.delta = shifted;
            p = scanned;
            return GoesOn;
        }
    }
    for (size_t q = p + 1; q + endLength <= size; ++q) {
        const size_t next = scanNext(w, q);
        if (next == none) continue;
        const Offset shifted = linkTarget(w, q) - static_cast<Offset>(next);
        if (static_cast<Offset>(q) + shifted < static_cast<Offset>(p) + w.delta ||
            !likelyShift(w.delta, shifted))
            continue;
        if (wholeLine(w, next, shifted) || (endAt(w, next) && shifted == w.delta)) {
            markSuspect(w, p, q - 1);
            if (p == firstLine) w.firstLineInPlace = false;
            w.delta = shifted;
            p = q;
            return GoesOn;
        }
    }
    // The last line's link points here: the end, with one of its zeros hit.
    if (p != firstLine && p + endLength <= size &&
        (w.bytes[p] == 0) + (w.bytes[p + 1] == 0) + (w.bytes[p + 2] == 0) >= 2) {
        for (size_t k = p; k < p + endLength; ++k)
            if (w.bytes[k] != 0) w.repairs.push_back({k, 0});
        return Ends;
    }
    // A damaged last line: the end follows its closing 0x00.
    if (endAt(w, scanned)) {
        markSuspect(w, p, scanned - 1);
        if (p == firstLine) w.firstLineInPlace = false;
        return Ends;
    }
    return Lost;
}

// Follows the lines from the first to the end; false when the structure is lost.
bool walkLines(Walk& w)
{
    size_t p = firstLine;
    for (;;) {
        if (p + endLength > w.bytes.size()) return false;
        if (endAt(w, p)) return true;
        ++w.lines;
        if (wholeLine(w, p, w.delta)) {
            w.numbered.push_back(p);
            p = scanNext(w, p);
            continue;
        }
        ++w.troubles;
        Outcome outcome = takeDisagreement(w, p);
        if (outcome != GoesOn) return outcome == Ends;
    }
}

// For each value, the length of the longest strictly ascending run through the values
// before it that ends with it.
std::vector<size_t> ascendingLengths(const std::vector<unsigned>& values)
{
    std::vector<unsigned> tails;
    std::vector<size_t> lengths;
    for (unsigned v : values) {
        std::vector<unsigned>::iterator at = std::lower_bound(tails.begin(), tails.end(), v);
        lengths.push_back(static_cast<size_t>(at - tails.begin()) + 1);
        if (at == tails.end())
            tails.push_back(v);
        else
            *at = v;
    }
    return lengths;
}

// Line numbers ascend. A number that no longest ascending run of them holds is
// suspect, and so is each of two that could take the same place in one.
void checkLineNumbers(Walk& w)
{
    const size_t count = w.numbered.size();
    std::vector<unsigned> forward(count), backward(count);
    for (size_t k = 0; k < count; ++k) {
        size_t p = w.numbered[k];
        forward[k] = static_cast<unsigned>(w.bytes[p + 2] | w.bytes[p + 3] << 8);
        backward[count - 1 - k] = 0xFFFF - forward[k];
    }
    const std::vector<size_t> before = ascendingLengths(forward), after = ascendingLengths(backward);
    std::vector<size_t> through(count);
    size_t longest = 0;
    for (size_t k = 0; k < count; ++k) {
        through[k] = before[k] + after[count - 1 - k] - 1;
        longest = std::max(longest, through[k]);
    }
    std::vector<size_t> takers(longest + 1, 0);
    for (size_t k = 0; k < count; ++k)
        if (through[k] == longest) ++takers[before[k]];
    for (size_t k = 0; k < count; ++k)
        if (through[k] != longest || takers[before[k]] > 1)
            markSuspect(w, w.numbered[k] + 2, w.numbered[k] + 3);
}

// One reading of `image` as a program: the bytes its structure determines that hold
// another value, and the suspect ones. False when it is no program.
bool readStructure(const std::vector<uint8_t>& image, std::vector<std::pair<size_t, uint8_t>>& repairs,
                   std::vector<bool>& suspect)
{
    if (image.size() < firstLine + endLength ||
        std::count(image.begin(), image.begin() + headerLength, headerMark) < leastHeaderMarks)
        return false;
    Walk w = {
        image, std::vector<size_t>(image.size() + 1), 0, std::vector<bool>(image.size(), false), {}, {}, 0, 0,
        true};
    w.nextZero[image.size()] = image.size();
    for (size_t k = image.size(); k-- > 0;) w.nextZero[k] = image[k] == 0 ? k : w.nextZero[k + 1];
    if (!walkLines(w) || w.troubles > 1 + w.lines / linesPerTrouble) return false;
    checkLineNumbers(w);
    // Bytes lost or gained before the first line leave the marks' places unknown.
    for (size_t k = 0; k < headerLength && w.firstLineInPlace; ++k)
        if (image[k] != headerMark) w.repairs.push_back({k, headerMark});
    repairs.swap(w.repairs);
    suspect.swap(w.suspect);
    return true;
}

}  // namespace

std::vector<StructureFinding> checkProgramStructure(std::vector<uint8_t>& image)
{
    std::vector<StructureFinding> findings;
    const std::vector<uint8_t> decoded = image;
    std::vector<bool> suspect;
    for (int pass = 0;; ++pass) {
        std::vector<std::pair<size_t, uint8_t>> repairs;
        if (!readStructure(image, repairs, suspect) || (!repairs.empty() && pass == mostPasses)) {
            image = decoded;
            return findings;
        }
        if (repairs.empty()) break;
        for (const std::pair<size_t, uint8_t>& repair : repairs) image[repair.first] = repair.second;
    }
    for (size_t k = 0; k < image.size(); ++k)
        if (image[k] != decoded[k])
            findings.push_back({static_cast<uint32_t>(k), true, decoded[k]});
        else if (suspect[k])
            findings.push_back({static_cast<uint32_t>(k), false, 0});
    return findings;
}

void addStructureSuspects(const std::vector<StructureFinding>& findings,
                          const std::vector<double>& byteSeconds, std::vector<SuspectRange>& suspects)
{
    const SuspectReason reason = SuspectReason::Structure;
    std::vector<SuspectRange> merged;
    size_t next = 0;
    for (const StructureFinding& finding : findings) {
        if (finding.repaired) continue;
        while (next < suspects.size() && suspects[next].lastByte < finding.byte)
            merged.push_back(suspects[next++]);
        if (next < suspects.size() && suspects[next].firstByte <= finding.byte) continue;
        if (!merged.empty() && merged.back().reason == reason && merged.back().lastByte + 1 == finding.byte)
            merged.back().lastByte = finding.byte;
        else
            merged.push_back(SuspectRange{finding.byte, finding.byte, byteSeconds[finding.byte], reason});
    }
    merged.insert(merged.end(), suspects.begin() + static_cast<std::ptrdiff_t>(next), suspects.end());
    suspects.swap(merged);
}
