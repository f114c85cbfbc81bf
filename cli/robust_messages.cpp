#include "cli/robust_messages.h"

#include <cstdio>
#include <libintl.h>
#include <vector>

#include "cli/messages.h"

namespace {

std::string number(unsigned long long n) { return std::to_string(n); }

const char* reasonText(SuspectReason reason)
{
    switch (reason) {
    case SuspectReason::Framing: return gettext("framing");
    case SuspectReason::WeakBit: return gettext("weak bit");
    case SuspectReason::SignalLost: return gettext("signal lost");
    case SuspectReason::Structure: return gettext("structure");
    case SuspectReason::UnsureInEveryTake: return gettext("unsure in every take");
    case SuspectReason::TakesDisagree: return gettext("takes disagree");
    case SuspectReason::LostInEveryTake: return gettext("signal lost in every take");
    }
    return "";
}

std::string reasonList(const std::vector<SuspectReason>& reasons)
{
    std::string list;
    for (SuspectReason reason : reasons)
        list = list.empty() ? reasonText(reason) : filledText(gettext("%s, %s"), {list, reasonText(reason)});
    return list;
}

}  // namespace

std::string recordingProblemText(const RecordingProblem& problem, int channels)
{
    switch (problem.kind) {
    case RecordingProblem::None: break;
    case RecordingProblem::CannotRead: return filledText(gettext("cannot be read: %s"), {problem.detail});
    case RecordingProblem::RateOutside:
        return filledText(gettext("its sample rate %s lies outside %s to %s"),
                          {std::to_string(problem.number), std::to_string(lowestRecordingRate),
                           std::to_string(highestRecordingRate)});
    case RecordingProblem::NoSuchChannel:
        return filledText(gettext("it has no channel %s, only 1 to %s"),
                          {std::to_string(problem.number), std::to_string(channels)});
    case RecordingProblem::Damaged:
        return filledText(gettext("reading stopped at %s: %s"), {recordingTime(problem.seconds), problem.detail});
    case RecordingProblem::EndsEarly:
        return filledText(gettext("recording ends early at %s (the header promises %s)"),
                          {recordingTime(problem.seconds), recordingTime(problem.promised)});
    }
    return "";
}

// A stretch of one range names its bytes; a longer one how many of them are suspect.
std::string stretchText(const SuspectStretch& stretch)
{
    const std::string first = number(stretch.firstByte), last = number(stretch.lastByte);
    const std::string at = recordingTime(stretch.seconds), reasons = reasonList(stretch.reasons);
    if (stretch.ranges > 1)
        return filledText(gettext("suspect %s of bytes %s-%s at %s (%s)"),
                          {number(stretch.suspectBytes), first, last, at, reasons});
    if (stretch.firstByte == stretch.lastByte)
        return filledText(gettext("suspect byte %s at %s (%s)"), {first, at, reasons});
    return filledText(gettext("suspect bytes %s-%s at %s (%s)"), {first, last, at, reasons});
}

std::string lossText(const SignalLoss& loss)
{
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.2f", loss.duration);
    return filledText(gettext("signal lost for %s s at %s, about %s bytes missing after byte %s"),
                      {duration, recordingTime(loss.seconds), number(loss.missingBytes),
                       number(loss.bytesBefore - 1)});
}

std::string repairedText(uint32_t byte) { return filledText(gettext("repaired byte %s (structure)"), {number(byte)}); }

std::string startsInsideText()
{
    return gettext("recording starts inside the data: no leading tone before its first byte");
}

std::string doubtCountsText(unsigned long long repaired, unsigned long long suspect, unsigned long long missing)
{
    return filledText(gettext("%s repaired, %s suspect, %s missing bytes"),
                      {number(repaired), number(suspect), number(missing)});
}

std::string noSignalText() { return gettext("no tape signal found"); }

std::string endsInsideText(double seconds)
{
    return filledText(gettext("recording ends inside a byte at %s"), {recordingTime(seconds)});
}

std::string notRecordingText(const std::string& endings)
{
    return filledText(gettext("not a recording (%s)"), {endings});
}

std::string anotherTapeText(const char* firstTake)
{
    return filledText(gettext("another tape than %s: not merged"), {firstTake});
}

std::string decodedSummary(size_t bytes, unsigned long long suspect, unsigned long long missing, int channel,
                           int channels, double peakDecibels)
{
    char peak[32];
    std::snprintf(peak, sizeof peak, "%.1f dBFS", peakDecibels);
    if (channels > 1)
        return filledText(gettext("%s bytes, %s suspect, %s missing, channel %s of %s, peak %s"),
                          {number(bytes), number(suspect), number(missing), std::to_string(channel),
                           std::to_string(channels), peak});
    return filledText(gettext("%s bytes, %s suspect, %s missing, peak %s"),
                      {number(bytes), number(suspect), number(missing), peak});
}

std::string mergedSummary(size_t bytes, unsigned long long suspect, unsigned long long missing,
                          const std::string& given)
{
    return filledText(gettext("%s bytes, %s suspect, %s missing; bytes given: %s"),
                      {number(bytes), number(suspect), number(missing), given});
}
