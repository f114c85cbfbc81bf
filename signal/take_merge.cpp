#include "signal/take_merge.h"

#include <algorithm>

#include "signal/take_alignment.h"

namespace {

const int32_t absent = -1;

// A take finds its frames again within a few bytes after a loss; the bytes it reads
// meanwhile weigh less than those of a take that read on.
const size_t settleBytes = 4;
// A loss's count of missing bytes comes from its length at the speed measured before
// it, and may be off by this many.
const int64_t lossCountSlack = 2;
// The confidence of a byte that confident takes read apart: below suspectConfidence.
const float disputedConfidence = suspectConfidence / 2;

// One column a take: the index of the take's byte there, or absent.
typedef std::vector<int32_t> Track;

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

// Whether at least half of the confident bytes the two could share agree.
bool sameTape(const AlignmentSteps& steps, const AlignedBytes& a, const AlignedBytes& b)
{
    size_t sureA = 0, sureB = 0, agree = 0;
    for (size_t i = 0; i < a.size; ++i) sureA += confidentByte(a.confidences[i]);
    for (size_t j = 0; j < b.size; ++j) sureB += confidentByte(b.confidences[j]);
    for (const auto& step : steps)
        if (step.first != unpaired && step.second != unpaired && a.bytes[step.first] == b.bytes[step.second] &&
            confidentByte(a.confidences[step.first]) && confidentByte(b.confidences[step.second]))
            ++agree;
    return 2 * agree >= std::min(sureA, sureB);
}

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
        if (i != absent && takes[t].bytes[i] != vote.value && confidentByte(weight(t, i))) vote.disputed = true;
    }
    if (vote.disputed) vote.confidence = std::min(vote.confidence, disputedConfidence);
    return vote;
}

// A take's place among the columns: the column of each of its bytes; each of its
// losses as the columns between which its signal was lost (-1 ... columns); and for
// each column that holds one of its bytes, the column of the byte it read next without
// a loss between, or absent.
struct Layout {
    std::vector<int32_t> columnOf;
    std::vector<std::pair<int64_t, int64_t>> gaps;
    std::vector<int32_t> readOnTo;
};

// A byte whose column was dropped lies where the byte before it does (the first ones,
// where the byte after them does).
Layout layoutOf(const Take& take, const Track& track)
{
    Layout layout;
    std::vector<int32_t>& columnOf = layout.columnOf;
    columnOf.assign(take.bytes.size(), absent);
    layout.readOnTo.assign(track.size(), absent);
    for (size_t c = 0; c < track.size(); ++c)
        if (track[c] != absent) columnOf[track[c]] = static_cast<int32_t>(c);
    for (size_t i = 1; i < columnOf.size(); ++i)
        if (columnOf[i] == absent) columnOf[i] = columnOf[i - 1];
    for (size_t i = columnOf.size(); i-- > 1;)
        if (columnOf[i - 1] == absent) columnOf[i - 1] = columnOf[i];
    if (!columnOf.empty() && columnOf.front() == absent) columnOf.clear();
    if (columnOf.empty()) return layout;
    std::vector<bool> lostBefore(columnOf.size() + 1, false);
    for (const SignalLoss& loss : take.losses) {
        const size_t b = loss.bytesBefore;
        lostBefore[b] = true;
        layout.gaps.push_back({b > 0 ? columnOf[b - 1] : -1,
                               b < columnOf.size() ? columnOf[b] : static_cast<int64_t>(track.size())});
    }
    for (size_t i = 0; i + 1 < columnOf.size(); ++i)
        layout.readOnTo[columnOf[i]] = lostBefore[i + 1] ? absent : columnOf[i + 1];
    return layout;
}

std::vector<Layout> layoutsOf(const std::vector<Take>& takes, const std::vector<Track>& tracks,
                              const std::vector<bool>& merged)
{
    std::vector<Layout> layouts(takes.size());
    for (size_t t = 0; t < takes.size(); ++t)
        if (merged[t]) layouts[t] = layoutOf(takes[t], tracks[t]);
    return layouts;
}

// Whether some take read straight on from column `from` to column `to`.
bool readFromTo(const std::vector<Layout>& layouts, int64_t from, int64_t to)
{
    for (const Layout& layout : layouts)
        if (from >= 0 && from < static_cast<int64_t>(layout.readOnTo.size()) && layout.readOnTo[from] == to)
            return true;
    return false;
}

// Drops each run of columns that only unsure bytes fill where another take read
// straight on from the column before it to the one after: frames found in noise or at
// a loss's edge.
void dropStrayColumns(const std::vector<Take>& takes, std::vector<Track>& tracks, const std::vector<bool>& merged)
{
    const std::vector<Layout> layouts = layoutsOf(takes, tracks, merged);
    const int64_t columns = tracks.empty() ? 0 : static_cast<int64_t>(tracks[0].size());
    std::vector<bool> unsureOnly(columns, true);
    for (size_t t = 0; t < takes.size(); ++t)
        for (int64_t c = 0; c < columns; ++c)
            if (merged[t] && tracks[t][c] != absent && confidentByte(takes[t].confidences[tracks[t][c]]))
                unsureOnly[c] = false;
    std::vector<Track> kept(tracks.size());
    for (int64_t c = 0; c < columns;) {
        int64_t end = c;
        while (end < columns && unsureOnly[end]) ++end;
        if (end > c && readFromTo(layouts, c - 1, end)) {
            c = end;
            continue;
        }
        for (int64_t k = c; k < std::max(end, c + 1); ++k)
            for (size_t t = 0; t < tracks.size(); ++t) kept[t].push_back(tracks[t][k]);
        c = std::max(end, c + 1);
    }
    tracks.swap(kept);
}

enum Doubt : uint8_t { sound, unsure, disputed, lostEverywhere };
SuspectReason reasonFor(Doubt doubt)
{
    return doubt == disputed         ? SuspectReason::TakesDisagree
           : doubt == lostEverywhere ? SuspectReason::LostInEveryTake
                                     : SuspectReason::UnsureInEveryTake;
}

// Where each column lies in the reference take: its byte's start; for a column it
// lacks, where its loss there begins, else where its next byte starts (its last byte
// after its end).
std::vector<double> referenceSeconds(const Take& reference, const Track& track)
{
    const size_t columns = track.size();
    std::vector<int32_t> next(columns, absent);
    for (size_t c = columns; c-- > 0;)
        next[c] = track[c] != absent ? track[c] : c + 1 < columns ? next[c + 1] : absent;
    std::vector<double> seconds(columns, 0.0);
    int32_t last = absent;
    for (size_t c = 0; c < columns; ++c) {
        if (track[c] != absent) last = track[c];
        if (next[c] != absent)
            seconds[c] = reference.byteSeconds[next[c]];
        else if (last != absent)
            seconds[c] = reference.byteSeconds[last];
        if (track[c] != absent) continue;
        for (const SignalLoss& loss : reference.losses)
            if (loss.bytesBefore == static_cast<uint32_t>(last + 1)) seconds[c] = loss.seconds;
    }
    return seconds;
}

// The losses no take reads through: for each loss of a take, the first place inside
// it where no take read on, with the bytes its count leaves after what other takes
// filled in; where they filled in all of it, the bytes on either side are suspect. A
// loss that takes read on through but filled far short of its count stays a loss.
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
            while (unread <= to && readFromTo(layouts, unread - 1, unread)) ++unread;
            const int64_t remaining = static_cast<int64_t>(takes[k].losses[g].missingBytes) - (to - from - 1);
            if (unread > to) {
                if (remaining <= lossCountSlack) continue;
                // Read on throughout, yet by far fewer bytes than were lost: in a run of
                // equal bytes the alignment cannot tell where the others belong.
                unread = from + 1;
            }
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
        AlignedBytes a = {values.data(), confidences.data(), columns, std::vector<bool>(columns + 1, false)};
        for (const Layout& layout : layoutsOf(takes, tracks, merged))
            for (const auto& gap : layout.gaps)
                for (int64_t c = gap.first + 1; c <= gap.second; ++c) a.lostBefore[c] = true;
        AlignedBytes b = {takes[t].bytes.data(), takes[t].confidences.data(), takes[t].bytes.size(),
                          std::vector<bool>(takes[t].bytes.size() + 1, false)};
        for (const SignalLoss& loss : takes[t].losses) b.lostBefore[loss.bytesBefore] = true;
        a.lostBefore.front() = a.lostBefore.back() = b.lostBefore.front() = b.lostBefore.back() = true;
        const AlignmentSteps steps = alignBytes(a, b);
        if (!sameTape(steps, a, b)) {
            result.anotherTape[t] = true;
            continue;
        }
        std::vector<Track> next(takes.size());
        for (const auto& step : steps) {
            for (size_t u = 0; u < takes.size(); ++u)
                next[u].push_back(step.first == unpaired ? absent : tracks[u][step.first]);
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
        doubts[c] = vote.disputed ? disputed : confidentByte(vote.confidence) ? sound : unsure;
    }
    findLosses(takes, layouts, merged, reference, result.byteSeconds, doubts, result);
    for (size_t c = 0; c < columns; ++c) {
        if (doubts[c] == sound) continue;
        if (c > 0 && doubts[c - 1] == doubts[c] && !result.suspects.empty() && result.suspects.back().lastByte + 1 == c)
            result.suspects.back().lastByte = static_cast<uint32_t>(c);
        else
            result.suspects.push_back({static_cast<uint32_t>(c), static_cast<uint32_t>(c), result.byteSeconds[c],
                                       reasonFor(static_cast<Doubt>(doubts[c]))});
    }
    if (columns > 0) {
        result.startsInsideData = cutEnd(takes, layouts, merged, 0, true);
        result.endsInsideData = cutEnd(takes, layouts, merged, static_cast<int32_t>(columns - 1), false);
    }
    return result;
}
