#include "signal/damaged_stretches.h"

#include <algorithm>

namespace {

// Ranges this close belong to one damaged stretch: a user records again or checks a
// stretch as a whole, and a line for each range of a noisy second helps no one. Damage
// that comes back every second or two (a crease, a wobbling pinch roller) is one
// stretch too, told a minute at a time, so that a long tape stays a page of lines.
const uint32_t joinBytes = 8;
const double joinSeconds = 2.0;
const double longestStretchSeconds = 60.0;

double startOf(const std::vector<double>& byteSeconds, uint32_t byte, double otherwise)
{
    return byte < byteSeconds.size() ? byteSeconds[byte] : otherwise;
}

bool lossBetween(const std::vector<SignalLoss>& losses, uint32_t after, uint32_t before)
{
    for (const SignalLoss& loss : losses)
        if (loss.bytesBefore > after && loss.bytesBefore <= before) return true;
    return false;
}

}  // namespace

std::vector<SuspectStretch> suspectStretches(const std::vector<SuspectRange>& ranges,
                                             const std::vector<SignalLoss>& losses,
                                             const std::vector<double>& byteSeconds)
{
    std::vector<SuspectStretch> stretches;
    for (const SuspectRange& range : ranges) {
        if (!stretches.empty()) {
            SuspectStretch& last = stretches.back();
            double ended = startOf(byteSeconds, last.lastByte, last.seconds);
            double starts = startOf(byteSeconds, range.firstByte, range.seconds);
            bool near = range.firstByte - last.lastByte <= joinBytes ||
                        (starts - ended <= joinSeconds && starts - last.seconds < longestStretchSeconds);
            if (range.firstByte > last.lastByte && near && !lossBetween(losses, last.lastByte, range.firstByte)) {
                last.lastByte = range.lastByte;
                last.suspectBytes += range.lastByte - range.firstByte + 1ull;
                ++last.ranges;
                if (std::find(last.reasons.begin(), last.reasons.end(), range.reason) == last.reasons.end())
                    last.reasons.push_back(range.reason);
                continue;
            }
        }
        stretches.push_back(SuspectStretch{range.firstByte, range.lastByte, range.lastByte - range.firstByte + 1ull,
                                           1, range.seconds, {range.reason}});
    }
    return stretches;
}
