#include "signal/take_alignment.h"

#include <algorithm>
#include <unordered_map>

namespace {

// Anchors are runs of this many confident bytes found once in each of two sequences:
// eight bytes pin a place down even in a program that repeats its lines.
const size_t anchorLength = 8;
// The stretch between two anchors is aligned byte by byte up to this many cells (4 MiB
// of moves); a longer one, where the takes share no anchor for thousands of bytes, is
// paired straight on from its anchor.
const size_t largestStretchCells = size_t(1) << 22;
// Alignment costs. A byte left out costs least where the other side lost its signal or
// begins or ends: there the takes' bytes shift, and a byte garbled at a loss's edge is
// set beside the bytes the other take holds rather than paired with one of them.
// Elsewhere two bytes left out cost more than a pair read apart, so that a byte read
// wrong in one take stays paired with the byte it stands for.
const int gapCost = 4;
const int gapAtLossCost = 1;
const int confidentMismatchCost = 5;
const int unsureMismatchCost = 3;

// Where each run of anchorLength confident bytes read without a loss starts, by its
// bytes; -1 for a run found more than once. A run across a loss would pair bytes on
// both sides of it with bytes that follow each other.
std::unordered_map<uint64_t, int64_t> singleRuns(const AlignedBytes& s)
{
    std::unordered_map<uint64_t, int64_t> runs;
    for (size_t i = 0; i + anchorLength <= s.size; ++i) {
        uint64_t key = 0;
        bool sure = true;
        for (size_t k = 0; k < anchorLength; ++k) {
            sure = sure && confidentByte(s.confidences[i + k]) && (k == 0 || !s.lostBefore[i + k]);
            key = key << 8 | s.bytes[i + k];
        }
        if (!sure) continue;
        auto placed = runs.emplace(key, static_cast<int64_t>(i));
        if (!placed.second) placed.first->second = -1;
    }
    return runs;
}

uint64_t runAt(const AlignedBytes& s, size_t i)
{
    uint64_t key = 0;
    for (size_t k = 0; k < anchorLength; ++k) key = key << 8 | s.bytes[i + k];
    return key;
}

// The runs found once in each, as (place in a, place in b), the longest chain of them
// that rises in both.
std::vector<std::pair<size_t, size_t>> anchorChain(const AlignedBytes& a, const AlignedBytes& b)
{
    const std::unordered_map<uint64_t, int64_t> inA = singleRuns(a), inB = singleRuns(b);
    std::vector<std::pair<size_t, size_t>> matches;
    for (size_t j = 0; j + anchorLength <= b.size; ++j) {
        auto own = inB.find(runAt(b, j));
        if (own == inB.end() || own->second != static_cast<int64_t>(j)) continue;
        auto there = inA.find(own->first);
        if (there != inA.end() && there->second >= 0) matches.push_back({static_cast<size_t>(there->second), j});
    }
    // The longest rise in a over matches that already rise in b.
    std::vector<size_t> tails, before(matches.size());
    for (size_t m = 0; m < matches.size(); ++m) {
        auto at = std::lower_bound(tails.begin(), tails.end(), matches[m].first,
                                   [&](size_t t, size_t value) { return matches[t].first < value; });
        before[m] = at == tails.begin() ? matches.size() : *(at - 1);
        if (at == tails.end())
            tails.push_back(m);
        else
            *at = m;
    }
    std::vector<std::pair<size_t, size_t>> chain;
    for (size_t m = tails.empty() ? matches.size() : tails.back(); m < matches.size(); m = before[m])
        chain.push_back(matches[m]);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

int pairCost(const AlignedBytes& a, size_t i, const AlignedBytes& b, size_t j)
{
    if (a.bytes[i] == b.bytes[j]) return 0;
    return confidentByte(a.confidences[i]) && confidentByte(b.confidences[j]) ? confidentMismatchCost
                                                                       : unsureMismatchCost;
}

enum Move : uint8_t { paired, onlyA, onlyB };

// Aligns a[a0, a1) with b[b0, b1) at the least cost. `leading`: the stretch ends at the
// first anchor, so that when it is too long to weigh, its ends are paired there.
void alignStretch(const AlignedBytes& a, size_t a0, size_t a1, const AlignedBytes& b, size_t b0, size_t b1,
                  bool leading, AlignmentSteps& steps)
{
    const size_t la = a1 - a0, lb = b1 - b0;
    if (la == 0 || lb == 0 || la + 1 > largestStretchCells / (lb + 1)) {
        const size_t both = std::min(la, lb);
        const size_t leadA = leading ? la - both : 0, leadB = leading ? lb - both : 0;
        for (size_t k = 0; k < leadA; ++k) steps.push_back({static_cast<int32_t>(a0 + k), unpaired});
        for (size_t k = 0; k < leadB; ++k) steps.push_back({unpaired, static_cast<int32_t>(b0 + k)});
        for (size_t k = 0; k < both; ++k)
            steps.push_back({static_cast<int32_t>(a0 + leadA + k), static_cast<int32_t>(b0 + leadB + k)});
        for (size_t k = leadA + both; k < la; ++k) steps.push_back({static_cast<int32_t>(a0 + k), unpaired});
        for (size_t k = leadB + both; k < lb; ++k) steps.push_back({unpaired, static_cast<int32_t>(b0 + k)});
        return;
    }
    const size_t width = lb + 1;
    // Byte i of a left out before byte j of b, and the other way round.
    auto gapInB = [&](size_t j) { return b.lostBefore[b0 + j] ? gapAtLossCost : gapCost; };
    auto gapInA = [&](size_t i) { return a.lostBefore[a0 + i] ? gapAtLossCost : gapCost; };
    std::vector<uint8_t> moves((la + 1) * width, onlyB);
    std::vector<int32_t> previous(width), current(width);
    previous[0] = 0;
    for (size_t j = 1; j <= lb; ++j) previous[j] = previous[j - 1] + gapInA(0);
    for (size_t i = 1; i <= la; ++i) {
        current[0] = previous[0] + gapInB(0);
        moves[i * width] = onlyA;
        for (size_t j = 1; j <= lb; ++j) {
            int32_t best = previous[j - 1] + pairCost(a, a0 + i - 1, b, b0 + j - 1);
            uint8_t move = paired;
            if (previous[j] + gapInB(j) < best) {
                best = previous[j] + gapInB(j);
                move = onlyA;
            }
            if (current[j - 1] + gapInA(i) < best) {
                best = current[j - 1] + gapInA(i);
                move = onlyB;
            }
            current[j] = best;
            moves[i * width + j] = move;
        }
        previous.swap(current);
    }
    AlignmentSteps back;
    for (size_t i = la, j = lb; i > 0 || j > 0;) {
        const uint8_t move = moves[i * width + j];
        const int32_t ai = move == onlyB ? unpaired : static_cast<int32_t>(a0 + --i);
        const int32_t bj = move == onlyA ? unpaired : static_cast<int32_t>(b0 + --j);
        back.push_back({ai, bj});
    }
    steps.insert(steps.end(), back.rbegin(), back.rend());
}

}  // namespace

AlignmentSteps alignBytes(const AlignedBytes& a, const AlignedBytes& b)
{
    AlignmentSteps steps;
    size_t ia = 0, ib = 0;
    for (const auto& anchor : anchorChain(a, b)) {
        if (anchor.first < ia || anchor.second < ib) continue;  // inside the one before
        alignStretch(a, ia, anchor.first, b, ib, anchor.second, ia == 0 && ib == 0, steps);
        ia = anchor.first;
        ib = anchor.second;
        do {
            steps.push_back({static_cast<int32_t>(ia), static_cast<int32_t>(ib)});
            ++ia;
            ++ib;
        } while (ia < a.size && ib < b.size && a.bytes[ia] == b.bytes[ib] && !a.lostBefore[ia] && !b.lostBefore[ib]);
    }
    alignStretch(a, ia, a.size, b, ib, b.size, false, steps);
    return steps;
}
