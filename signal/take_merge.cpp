#include "signal/take_merge.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace {

const int32_t absent = -1;

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

// A take finds its frames again within a few bytes after a loss; the bytes it reads
// meanwhile weigh less than those of a take that read on.
const size_t settleBytes = 4;
// The confidence of a byte that confident takes read apart: below suspectConfidence.
const float disputedConfidence = suspectConfidence / 2;

// One column a take: the index of the take's byte there, or absent.
typedef std::vector<int32_t> Track;
// An alignment: pairs of indices into the two sequences, either of them absent.
typedef std::vector<std::pair<int32_t, int32_t>> Steps;

struct Sequence {
    const uint8_t* bytes;
    const float* confidences;
    size_t size;
    std::vector<bool> lostBefore;  // size + 1: whether the signal was lost before byte i
};

bool confident(float confidence) { return confidence >= suspectConfidence; }

// A take whose vectors agree in length, with confidences within 0 ... 1 and losses
// within its bytes.
Take tidied(const Take& take)
{
    Take tidy = take;
    tidy.confidences.resize(tidy.bytes.size(), 0.0f);
    tidy.byteSeconds.resize(tidy.bytes.size(), 0.0);
    for (float& c : tidy.confidences) c = c >= 0.0f && c <= 1.0f ? c : 0.0f;
    for (SignalLoss& loss : tidy.losses)
        loss.bytesBefore = std::min<uint32_t>(loss.bytesBefore, static_cast<uint32_t>(tidy.bytes.size()));
    std::stable_sort(tidy.losses.begin(), tidy.losses.end(),
                     [](const SignalLoss& x, const SignalLoss& y) { return x.bytesBefore < y.bytesBefore; });
    return tidy;
}

// ---- Alignment ---------------------------------------------------------------------

// Where each run of anchorLength confident bytes read without a loss starts, by its
// bytes; -1 for a run found more than once. A run across a loss would pair bytes on
// both sides of it with bytes that follow each other.
std::unordered_map<uint64_t, int64_t> singleRuns(const Sequence& s)
{
    std::unordered_map<uint64_t, int64_t> runs;
    for (size_t i = 0; i + anchorLength <= s.size; ++i) {
        uint64_t key = 0;
        bool sure = true;
        for (size_t k = 0; k < anchorLength; ++k) {
            sure = sure && confident(s.confidences[i + k]) && (k == 0 || !s.lostBefore[i + k]);
            key = key << 8 | s.bytes[i + k];
        }
        if (!sure) continue;
        auto placed = runs.emplace(key, static_cast<int64_t>(i));
        if (!placed.second) placed.first->second = -1;
    }
    return runs;
}

uint64_t runAt(const Sequence& s, size_t i)
{
    uint64_t key = 0;
    for (size_t k = 0; k < anchorLength; ++k) key = key << 8 | s.bytes[i + k];
    return key;
}

// The runs found once in each, as (place in a, place in b), the longest chain of them
// that rises in both.
std::vector<std::pair<size_t, size_t>> anchorChain(const Sequence& a, const Sequence& b)
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

int pairCost(const Sequence& a, size_t i, const Sequence& b, size_t j)
{
    if (a.bytes[i] == b.bytes[j]) return 0;
    return confident(a.confidences[i]) && confident(b.confidences[j]) ? confidentMismatchCost
                                                                       : unsureMismatchCost;
}

enum Move : uint8_t { paired, onlyA, onlyB };

// Aligns a[a0, a1) with b[b0, b1) at the least cost. `leading`: the stretch ends at the
// first anchor, so that when it is too long to weigh, its ends are paired there.
void alignStretch(const Sequence& a, size_t a0, size_t a1, const Sequence& b, size_t b0, size_t b1,
                  bool leading, Steps& steps)
{
    const size_t la = a1 - a0, lb = b1 - b0;
    if (la == 0 || lb == 0 || la + 1 > largestStretchCells / (lb + 1)) {
        const size_t both = std::min(la, lb);
        const size_t leadA = leading ? la - both : 0, leadB = leading ? lb - both : 0;
        for (size_t k = 0; k < leadA; ++k) steps.push_back({static_cast<int32_t>(a0 + k), absent});
        for (size_t k = 0; k < leadB; ++k) steps.push_back({absent, static_cast<int32_t>(b0 + k)});
        for (size_t k = 0; k < both; ++k)
            steps.push_back({static_cast<int32_t>(a0 + leadA + k), static_cast<int32_t>(b0 + leadB + k)});
        for (size_t k = leadA + both; k < la; ++k) steps.push_back({static_cast<int32_t>(a0 + k), absent});
        for (size_t k = leadB + both; k < lb; ++k) steps.push_back({absent, static_cast<int32_t>(b0 + k)});
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
    Steps back;
    for (size_t i = la, j = lb; i > 0 || j > 0;) {
        const uint8_t move = moves[i * width + j];
        const int32_t ai = move == onlyB ? absent : static_cast<int32_t>(a0 + --i);
        const int32_t bj = move == onlyA ? absent : static_cast<int32_t>(b0 + --j);
        back.push_back({ai, bj});
    }
    steps.insert(steps.end(), back.rbegin(), back.rend());
}

// The whole of a aligned with the whole of b: from anchor to anchor, each anchor
// stretched over the equal bytes that follow it up to a loss on either side.
Steps align(const Sequence& a, const Sequence& b)
{
    Steps steps;
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

// Whether at least half of the confident bytes the two could share agree.
bool sameTape(const Steps& steps, const Sequence& a, const Sequence& b)
{
    size_t sureA = 0, sureB = 0, agree = 0;
    for (size_t i = 0; i < a.size; ++i) sureA += confident(a.confidences[i]);
    for (size_t j = 0; j < b.size; ++j) sureB += confident(b.confidences[j]);
    for (const auto& step : steps)
        if (step.first != absent && step.second != absent && a.bytes[step.first] == b.bytes[step.second] &&
            confident(a.confidences[step.first]) && confident(b.confidences[step.second]))
            ++agree;
    return 2 * agree >= std::min(sureA, sureB);
}

// ---- Columns -------------------------------------------------------------------------

// The value a column holds: the one whose takes' confidences sum highest, the earlier
// take's on a tie; `take` is the most confident of those that read it.
struct Vote {
    uint8_t value;
    float confidence;
    int take;
    bool disputed;  // a confident take read another value
};

// Whether each byte of the take lies where its signal was lost or about to be found
// again: the byte the loss cut into and the settleBytes after it.
std::vector<bool> settlingBytes(const Take& take)
{
    std::vector<bool> settling(take.bytes.size(), false);
    for (const SignalLoss& loss : take.losses)
        for (size_t b = loss.bytesBefore > 0 ? loss.bytesBefore - 1 : 0;
             b < take.bytes.size() && b < loss.bytesBefore + settleBytes; ++b)
            settling[b] = true;
    return settling;
}

Vote voteAt(const std::vector<Take>& takes, const std::vector<std::vector<bool>>& settling,
            const std::vector<Track>& tracks, size_t column)
{
    // A byte read while its take was finding its frames again counts as unsure where
    // another take read on.
    bool steady = false;
    for (size_t t = 0; t < takes.size(); ++t)
        steady = steady || (tracks[t][column] != absent && !settling[t][tracks[t][column]]);
    auto weight = [&](size_t t, int32_t i) {
        const float c = takes[t].confidences[i];
        return steady && settling[t][i] ? std::min(c, disputedConfidence) : c;
    };
    Vote vote = {0, 0.0f, -1, false};
    double bestSum = -1.0;
    for (size_t t = 0; t < takes.size(); ++t) {
        if (tracks[t][column] == absent) continue;
        const uint8_t value = takes[t].bytes[tracks[t][column]];
        double sum = 0.0;
        Vote candidate = {value, 0.0f, -1, false};
        for (size_t u = 0; u < takes.size(); ++u) {
            const int32_t i = tracks[u][column];
            if (i == absent || takes[u].bytes[i] != value) continue;
            const float c = weight(u, i);
            sum += c;
            if (candidate.take < 0 || c > candidate.confidence) {
                candidate.confidence = c;
                candidate.take = static_cast<int>(u);
            }
        }
        if (sum > bestSum) {
            bestSum = sum;
            vote = candidate;
        }
    }
    for (size_t t = 0; t < takes.size(); ++t) {
        const int32_t i = tracks[t][column];
        if (i != absent && takes[t].bytes[i] != vote.value && confident(weight(t, i))) vote.disputed = true;
    }
    if (vote.disputed) vote.confidence = std::min(vote.confidence, disputedConfidence);
    return vote;
}

// A take's place among the columns: the column of each of its bytes, and each of its
// losses as the columns between which its signal was lost (-1 ... columns).
struct Layout {
    std::vector<int32_t> columnOf;
    std::vector<std::pair<int64_t, int64_t>> gaps;
};

// A byte whose column was dropped lies where the byte before it does (the first ones,
// where the byte after them does).
Layout layoutOf(const Take& take, const Track& track)
{
    Layout layout;
    std::vector<int32_t>& columnOf = layout.columnOf;
    columnOf.assign(take.bytes.size(), absent);
    for (size_t c = 0; c < track.size(); ++c)
        if (track[c] != absent) columnOf[track[c]] = static_cast<int32_t>(c);
    for (size_t i = 1; i < columnOf.size(); ++i)
        if (columnOf[i] == absent) columnOf[i] = columnOf[i - 1];
    for (size_t i = columnOf.size(); i-- > 1;)
        if (columnOf[i - 1] == absent) columnOf[i - 1] = columnOf[i];
    if (!columnOf.empty() && columnOf.front() == absent) columnOf.clear();
    for (const SignalLoss& loss : columnOf.empty() ? std::vector<SignalLoss>() : take.losses) {
        const size_t b = loss.bytesBefore;
        layout.gaps.push_back({b > 0 ? columnOf[b - 1] : -1,
                               b < columnOf.size() ? columnOf[b] : static_cast<int64_t>(track.size())});
    }
    return layout;
}

// Whether the take read on without a loss from column `from` to column `to`, holding a
// byte at or before the one and at or after the other.
bool readsThrough(const Layout& layout, int64_t from, int64_t to)
{
    if (layout.columnOf.empty() || layout.columnOf.front() > from || layout.columnOf.back() < to) return false;
    for (const auto& gap : layout.gaps)
        if (gap.first < to && gap.second > from) return false;
    return true;
}

std::vector<Layout> layoutsOf(const std::vector<Take>& takes, const std::vector<Track>& tracks,
                              const std::vector<bool>& merged)
{
    std::vector<Layout> layouts(takes.size());
    for (size_t t = 0; t < takes.size(); ++t)
        if (merged[t]) layouts[t] = layoutOf(takes[t], tracks[t]);
    return layouts;
}

// Drops the columns that only unsure bytes fill where another take read straight
// through without a byte: frames found in noise or in a loss's edge.
void dropStrayColumns(const std::vector<Take>& takes, std::vector<Track>& tracks, const std::vector<bool>& merged)
{
    const std::vector<Layout> layouts = layoutsOf(takes, tracks, merged);
    const size_t columns = tracks.empty() ? 0 : tracks[0].size();
    std::vector<Track> kept(tracks.size());
    for (size_t c = 0; c < columns; ++c) {
        bool sure = false, passedOver = false;
        for (size_t t = 0; t < takes.size(); ++t) {
            if (!merged[t]) continue;
            const int32_t i = tracks[t][c];
            if (i != absent)
                sure = sure || confident(takes[t].confidences[i]);
            else
                passedOver = passedOver || readsThrough(layouts[t], static_cast<int64_t>(c), static_cast<int64_t>(c));
        }
        if (passedOver && !sure) continue;
        for (size_t t = 0; t < tracks.size(); ++t) kept[t].push_back(tracks[t][c]);
    }
    tracks.swap(kept);
}

enum Doubt : uint8_t { sound, unsure, disputed, lostEverywhere };
const char* const doubtReasons[] = {"", "unsure in every take", "takes disagree", "signal lost in every take"};

// Where each column lies in the reference take: its byte's start; for a column it
// lacks, where its loss there begins, else where its next byte starts (its last byte
// after its end).
std::vector<double> referenceSeconds(const Take& reference, const Track& track)
{
    const size_t columns = track.size();
    std::vector<int32_t> next(columns, absent);
    for (size_t c = columns; c-- > 0;) next[c] = track[c] != absent ? track[c] : c + 1 < columns ? next[c + 1] : absent;
    std::vector<double> seconds(columns, 0.0);
    int32_t last = absent;
    for (size_t c = 0; c < columns; ++c) {
        if (track[c] != absent) last = track[c];
        if (next[c] != absent) seconds[c] = reference.byteSeconds[next[c]];
        else if (last != absent) seconds[c] = reference.byteSeconds[last];
        if (track[c] != absent) continue;
        for (const SignalLoss& loss : reference.losses)
            if (loss.bytesBefore == static_cast<uint32_t>(last + 1)) seconds[c] = loss.seconds;
    }
    return seconds;
}

// The losses no take reads through: for each loss of a take, the first place inside
// it where no take read on, with the bytes its length leaves after what other takes
// filled in. Where they filled in all of it, the bytes on either side are suspect.
void findLosses(const std::vector<Take>& takes, const std::vector<Layout>& layouts, const std::vector<bool>& merged,
                size_t reference, const std::vector<double>& seconds, std::vector<uint8_t>& doubts,
                MergedTape& result)
{
    const int64_t columns = static_cast<int64_t>(seconds.size());
    for (size_t k = 0; k < takes.size(); ++k) {
        if (!merged[k]) continue;
        for (size_t g = 0; g < layouts[k].gaps.size(); ++g) {
            const int64_t from = layouts[k].gaps[g].first, to = layouts[k].gaps[g].second;
            int64_t unread = from + 1;
            for (; unread <= to; ++unread) {
                bool read = false;
                for (size_t t = 0; t < takes.size() && !read; ++t)
                    read = merged[t] && readsThrough(layouts[t], unread - 1, unread);
                if (!read) break;
            }
            if (unread > to) continue;
            const int64_t remaining = static_cast<int64_t>(takes[k].losses[g].missingBytes) - (to - from - 1);
            if (remaining <= 0) {
                for (int64_t c = std::max<int64_t>(unread - 1, 0); c <= std::min(unread, columns - 1); ++c)
                    doubts[c] = lostEverywhere;
                continue;
            }
            // Where the first take lost its signal over this place, else where it reads
            // the byte after it.
            double at = unread < columns ? seconds[unread] : (columns > 0 ? seconds[columns - 1] : 0.0);
            for (size_t r = 0; r < layouts[reference].gaps.size(); ++r)
                if (layouts[reference].gaps[r].first < unread && unread <= layouts[reference].gaps[r].second)
                    at = takes[reference].losses[r].seconds;
            const SignalLoss left = {static_cast<uint32_t>(unread), static_cast<uint32_t>(remaining), at,
                                     takes[k].losses[g].duration};
            auto same = std::find_if(result.losses.begin(), result.losses.end(),
                                     [&](const SignalLoss& l) { return l.bytesBefore == left.bytesBefore; });
            if (same == result.losses.end())
                result.losses.push_back(left);
            else if (same->missingBytes < left.missingBytes)
                *same = left;
        }
    }
    std::stable_sort(result.losses.begin(), result.losses.end(),
                     [](const SignalLoss& x, const SignalLoss& y) { return x.bytesBefore < y.bytesBefore; });
}

// The take whose byte `first` (or last) is the image's end `column` and whose recording
// is cut there, when every take that holds that end is; -1 otherwise.
int cutEnd(const std::vector<Take>& takes, const std::vector<Layout>& layouts, const std::vector<bool>& merged,
           int32_t column, bool first)
{
    int cut = -1;
    for (size_t t = 0; t < takes.size(); ++t) {
        if (!merged[t] || layouts[t].columnOf.empty()) continue;
        if ((first ? layouts[t].columnOf.front() : layouts[t].columnOf.back()) != column) continue;
        if (!(first ? takes[t].startsInsideData : takes[t].endsInsideData)) return -1;
        if (cut < 0) cut = static_cast<int>(t);
    }
    return cut;
}

}  // namespace

MergedTape mergeTakes(const std::vector<Take>& given)
{
    std::vector<Take> takes;
    for (const Take& take : given) takes.push_back(tidied(take));
    MergedTape result;
    result.given.assign(takes.size(), 0);
    result.anotherTape.assign(takes.size(), false);
    result.startsInsideData = result.endsInsideData = -1;
    size_t reference = 0;
    while (reference < takes.size() && takes[reference].bytes.empty()) ++reference;
    if (reference == takes.size()) return result;

    std::vector<std::vector<bool>> settling;
    for (const Take& take : takes) settling.push_back(settlingBytes(take));
    std::vector<bool> merged(takes.size(), false);
    merged[reference] = true;
    std::vector<Track> tracks(takes.size(), Track(takes[reference].bytes.size(), absent));
    for (size_t i = 0; i < takes[reference].bytes.size(); ++i) tracks[reference][i] = static_cast<int32_t>(i);

    for (size_t t = reference + 1; t < takes.size(); ++t) {
        if (takes[t].bytes.empty()) continue;
        const size_t columns = tracks[0].size();
        std::vector<uint8_t> values(columns);
        std::vector<float> confidences(columns);
        for (size_t c = 0; c < columns; ++c) {
            const Vote vote = voteAt(takes, settling, tracks, c);
            values[c] = vote.value;
            confidences[c] = vote.confidence;
        }
        Sequence a = {values.data(), confidences.data(), columns, std::vector<bool>(columns + 1, false)};
        for (const Layout& layout : layoutsOf(takes, tracks, merged))
            for (const auto& gap : layout.gaps)
                for (int64_t c = gap.first + 1; c <= gap.second; ++c) a.lostBefore[c] = true;
        Sequence b = {takes[t].bytes.data(), takes[t].confidences.data(), takes[t].bytes.size(),
                      std::vector<bool>(takes[t].bytes.size() + 1, false)};
        for (const SignalLoss& loss : takes[t].losses) b.lostBefore[loss.bytesBefore] = true;
        a.lostBefore.front() = a.lostBefore.back() = b.lostBefore.front() = b.lostBefore.back() = true;
        const Steps steps = align(a, b);
        if (!sameTape(steps, a, b)) {
            result.anotherTape[t] = true;
            continue;
        }
        std::vector<Track> next(takes.size());
        for (const auto& step : steps) {
            for (size_t u = 0; u < takes.size(); ++u)
                next[u].push_back(step.first == absent ? absent : tracks[u][step.first]);
            next[t].back() = step.second;
        }
        tracks.swap(next);
        merged[t] = true;
    }
    dropStrayColumns(takes, tracks, merged);

    const size_t columns = tracks[0].size();
    const std::vector<Layout> layouts = layoutsOf(takes, tracks, merged);
    result.byteSeconds = referenceSeconds(takes[reference], tracks[reference]);
    std::vector<uint8_t> doubts(columns, sound);
    for (size_t c = 0; c < columns; ++c) {
        const Vote vote = voteAt(takes, settling, tracks, c);
        result.bytes.push_back(vote.value);
        result.confidences.push_back(vote.confidence);
        ++result.given[vote.take];
        doubts[c] = vote.disputed ? disputed : confident(vote.confidence) ? sound : unsure;
    }
    findLosses(takes, layouts, merged, reference, result.byteSeconds, doubts, result);
    for (size_t c = 0; c < columns; ++c) {
        if (doubts[c] == sound) continue;
        if (c > 0 && doubts[c - 1] == doubts[c] && !result.suspects.empty() && result.suspects.back().lastByte + 1 == c)
            result.suspects.back().lastByte = static_cast<uint32_t>(c);
        else
            result.suspects.push_back({static_cast<uint32_t>(c), static_cast<uint32_t>(c), result.byteSeconds[c],
                                       doubtReasons[doubts[c]]});
    }
    if (columns > 0) {
        result.startsInsideData = cutEnd(takes, layouts, merged, 0, true);
        result.endsInsideData = cutEnd(takes, layouts, merged, static_cast<int32_t>(columns - 1), false);
    }
    return result;
}
