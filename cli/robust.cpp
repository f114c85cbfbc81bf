#include "cli/robust.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "cli/image_file.h"
#include "cli/platform.h"
#include "cli/progress.h"
#include "core/output_file.h"
#include "core/output_folder.h"
#include "core/platform.h"
#include "signal/program_structure.h"
#include "signal/recording_file.h"
#include "signal/suspect_stretches.h"

namespace {

const char* const robustEndings[] = {".wav", ".w64", ".rf64", ".flac", ".aif", ".aiff"};

// The length of the recording ending `name` has, 0 for none.
size_t endingLength(const char* name)
{
    size_t length = std::strlen(name);
    for (const char* ending : robustEndings) {
        size_t n = std::strlen(ending);
        if (length >= n && strcasecmp(name + length - n, ending) == 0) return n;
    }
    return 0;
}

// A stretch of one range names its bytes; a longer one how many of them are suspect.
std::string stretchLine(const SuspectStretch& stretch)
{
    std::string range = std::to_string(stretch.firstByte) + "-" + std::to_string(stretch.lastByte);
    std::string bytes = stretch.ranges > 1 ? std::to_string(stretch.suspectBytes) + " of bytes " + range
                        : stretch.firstByte == stretch.lastByte ? "byte " + std::to_string(stretch.firstByte)
                                                                : "bytes " + range;
    std::string reasons;
    for (const std::string& reason : stretch.reasons) reasons += (reasons.empty() ? "" : ", ") + reason;
    return "suspect " + bytes + " at " + recordingTime(stretch.seconds) + " (" + reasons + ")";
}

std::string lossLine(const SignalLoss& loss)
{
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.2f", loss.duration);
    return std::string("signal lost for ") + duration + " s at " + recordingTime(loss.seconds) + ", about " +
           std::to_string(loss.missingBytes) + " bytes missing after byte " +
           std::to_string(loss.bytesBefore - 1);
}

// The suspect bytes and the losses, each counted and, unless `quiet`, told in the order
// of the recording: the suspect ranges a line for each damaged stretch.
void tellDoubts(const char* name, const RecordingDecoding& decoding, bool quiet,
                unsigned long long& suspect, unsigned long long& missing)
{
    const std::vector<SuspectStretch> stretches =
        suspectStretches(decoding.suspects, decoding.losses, decoding.byteSeconds);
    size_t s = 0, l = 0;
    while (s < stretches.size() || l < decoding.losses.size()) {
        if (l == decoding.losses.size() ||
            (s < stretches.size() && stretches[s].seconds <= decoding.losses[l].seconds)) {
            const SuspectStretch& stretch = stretches[s++];
            if (!quiet) reportProblem(name, stretchLine(stretch));
            suspect += stretch.suspectBytes;
        } else {
            const SignalLoss& loss = decoding.losses[l++];
            if (!quiet) reportProblem(name, lossLine(loss));
            missing += loss.missingBytes;
        }
    }
}

}  // namespace

bool namesRobustRecording(const char* name) { return endingLength(name) != 0; }

std::string robustEndingList()
{
    std::string list;
    for (const char* ending : robustEndings) list += std::string(list.empty() ? "" : ", ") + ending;
    return list;
}

std::string robustImageNameFor(const char* name)
{
    std::string image(name);
    image.erase(image.size() - endingLength(name));
    return placeOutput(image + ".P6");
}

void decodeRobustly(const char* name, int channel, bool quiet)
{
    RecordingDecoding decoding = decodeRecordingFile(name, channel, reportProgress);
    if (!decoding.error.empty()) {
        reportProblem(name, decoding.error);
        return;
    }
    if (!decoding.readError.empty()) reportProblem(name, decoding.readError);
    if (decoding.bytes.empty()) {
        // No image is written, so that an existing one of the same name survives.
        reportProblem(name, "no tape signal found");
        return;
    }

    // A BASIC program's own structure checks the bytes the signal gave.
    std::vector<StructureFinding> structure = checkProgramStructure(decoding.bytes);
    addStructureSuspects(structure, decoding.byteSeconds, decoding.suspects);

    std::string image = robustImageNameFor(name);
    std::string failure = writeImageFile(image, decoding.bytes);
    if (!failure.empty()) {
        showWriteFailure(nullptr, MessageId::CannotWrite, image.c_str(), failure);
        return;
    }
    unsigned long long repairedBytes = 0;
    for (const StructureFinding& finding : structure) {
        if (!finding.repaired) continue;
        ++repairedBytes;
        if (!quiet) reportProblem(name, "repaired byte " + std::to_string(finding.byte) + " (structure)");
    }
    if (decoding.startsInsideData)
        reportProblem(name, "recording starts inside the data: no leading tone before its first byte");
    unsigned long long suspectBytes = 0, missingBytes = 0;
    tellDoubts(name, decoding, quiet, suspectBytes, missingBytes);
    if (quiet && repairedBytes + suspectBytes + missingBytes > 0)
        reportProblem(name, std::to_string(repairedBytes) + " repaired, " + std::to_string(suspectBytes) +
                                " suspect, " + std::to_string(missingBytes) + " missing bytes");
    // A file cut short has said so already.
    if (decoding.endsInsideData && decoding.readError.empty())
        reportProblem(name, "recording ends inside a byte at " + recordingTime(decoding.seconds));

    std::string channelText;
    if (decoding.channels > 1)
        channelText = "channel " + std::to_string(decoding.channel) + " of " +
                      std::to_string(decoding.channels) + ", ";
    char level[32];
    std::snprintf(level, sizeof level, "%.1f dBFS", decoding.peakDecibels);
    eraseProgress();
    std::printf("%s -> %s (%zu bytes, %llu suspect, %llu missing, %speak %s)\n", name, image.c_str(),
                decoding.bytes.size(), suspectBytes, missingBytes, channelText.c_str(), level);
}
