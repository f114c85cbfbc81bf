#include "cli/robust.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "cli/image_file.h"
#include "cli/platform.h"
#include "cli/progress.h"
#include "cli/robust_messages.h"
#include "core/output_file.h"
#include "core/output_folder.h"
#include "core/platform.h"
#include "signal/program_structure.h"
#include "signal/recording_file.h"
#include "signal/damaged_stretches.h"
#include "signal/take_merge.h"

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

// The suspect bytes and the losses, each counted and, unless `quiet`, told in the order
// of the recording: the suspect ranges a line for each damaged stretch.
void tellDoubts(const char* name, const std::vector<SuspectRange>& suspects, const std::vector<SignalLoss>& losses,
                const std::vector<double>& byteSeconds, bool quiet, unsigned long long& suspect,
                unsigned long long& missing)
{
    const std::vector<SuspectStretch> stretches = suspectStretches(suspects, losses, byteSeconds);
    size_t s = 0, l = 0;
    while (s < stretches.size() || l < losses.size()) {
        if (l == losses.size() || (s < stretches.size() && stretches[s].seconds <= losses[l].seconds)) {
            const SuspectStretch& stretch = stretches[s++];
            if (!quiet) reportProblem(name, stretchText(stretch));
            suspect += stretch.suspectBytes;
        } else {
            const SignalLoss& loss = losses[l++];
            if (!quiet) reportProblem(name, lossText(loss));
            missing += loss.missingBytes;
        }
    }
}

// What the decoding of one recording, or the merge of several, gave.
struct RobustImage {
    std::vector<uint8_t> bytes;
    std::vector<double> byteSeconds;
    std::vector<SuspectRange> suspects;
    std::vector<SignalLoss> losses;
    const char* startsInside;  // the recording that starts inside the data, or null
};

// Checks the image against a BASIC program's own structure, writes it to `path` and
// tells under `name` what was repaired and doubted; the counts are those of suspect and
// missing bytes. False when the image could not be written.
bool writeRobustImage(const char* name, const std::string& path, RobustImage& image, bool quiet,
                      unsigned long long& suspectBytes, unsigned long long& missingBytes)
{
    std::vector<StructureFinding> structure = checkProgramStructure(image.bytes);
    addStructureSuspects(structure, image.byteSeconds, image.suspects);

    std::string failure = writeImageFile(path, image.bytes);
    if (!failure.empty()) {
        showWriteFailure(nullptr, MessageId::CannotWrite, path.c_str(), failure);
        return false;
    }
    unsigned long long repairedBytes = 0;
    for (const StructureFinding& finding : structure) {
        if (!finding.repaired) continue;
        ++repairedBytes;
        if (!quiet) reportProblem(name, repairedText(finding.byte));
    }
    if (image.startsInside)
        reportProblem(image.startsInside, startsInsideText());
    suspectBytes = missingBytes = 0;
    tellDoubts(name, image.suspects, image.losses, image.byteSeconds, quiet, suspectBytes, missingBytes);
    if (quiet && repairedBytes + suspectBytes + missingBytes > 0)
        reportProblem(name, doubtCountsText(repairedBytes, suspectBytes, missingBytes));
    return true;
}

// Decodes the recording `name`, telling why when it gives no bytes.
bool decodedTake(const char* name, int channel, RecordingDecoding& decoding)
{
    decoding = decodeRecordingFile(name, channel, reportProgress);
    if (decoding.error.kind != RecordingProblem::None) {
        reportProblem(name, recordingProblemText(decoding.error, decoding.channels));
        return false;
    }
    if (decoding.readError.kind != RecordingProblem::None)
        reportProblem(name, recordingProblemText(decoding.readError, decoding.channels));
    if (decoding.bytes.empty()) {
        // No image is written, so that an existing one of the same name survives.
        reportProblem(name, noSignalText());
        return false;
    }
    return true;
}

// A file cut short has said so already.
void tellCutEnd(const char* name, const RecordingDecoding& decoding)
{
    if (decoding.endsInsideData && decoding.readError.kind == RecordingProblem::None)
        reportProblem(name, endsInsideText(decoding.seconds));
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
    RecordingDecoding decoding;
    if (!decodedTake(name, channel, decoding)) return;
    RobustImage robust = {decoding.bytes, decoding.byteSeconds, decoding.suspects, decoding.losses,
                          decoding.startsInsideData ? name : nullptr};
    std::string image = robustImageNameFor(name);
    unsigned long long suspectBytes, missingBytes;
    if (!writeRobustImage(name, image, robust, quiet, suspectBytes, missingBytes)) return;
    tellCutEnd(name, decoding);

    std::string summary = decodedSummary(robust.bytes.size(), suspectBytes, missingBytes, decoding.channel,
                                         decoding.channels, decoding.peakDecibels);
    eraseProgress();
    std::printf("%s -> %s (%s)\n", name, image.c_str(), summary.c_str());
}

void mergeRobustly(const std::vector<std::string>& names, int channel, bool quiet)
{
    std::vector<const char*> taken;
    std::vector<RecordingDecoding> decodings;
    std::vector<Take> takes;
    for (const std::string& name : names) {
        startProgress(name.c_str(), secondsNow());
        RecordingDecoding decoding;
        if (!namesRobustRecording(name.c_str()))
            reportProblem(name.c_str(), notRecordingText(robustEndingList()));
        else if (decodedTake(name.c_str(), channel, decoding)) {
            taken.push_back(name.c_str());
            takes.push_back({decoding.bytes, decoding.confidences, decoding.byteSeconds, decoding.losses,
                             decoding.startsInsideData, decoding.endsInsideData});
            decodings.push_back(std::move(decoding));
        }
        eraseProgress();
    }
    if (takes.empty()) return;  // each has said why

    MergedTape merged = mergeTakes(takes);
    for (size_t t = 0; t < takes.size(); ++t)
        if (merged.anotherTape[t])
            reportProblem(taken[t], anotherTapeText(taken[0]));
    RobustImage robust = {merged.bytes, merged.byteSeconds, merged.suspects, merged.losses,
                          merged.startsInsideData >= 0 ? taken[merged.startsInsideData] : nullptr};
    std::string image = robustImageNameFor(taken[0]);
    unsigned long long suspectBytes, missingBytes;
    if (!writeRobustImage(taken[0], image, robust, quiet, suspectBytes, missingBytes)) return;
    if (merged.endsInsideData >= 0) tellCutEnd(taken[merged.endsInsideData], decodings[merged.endsInsideData]);

    // A take of another tape gave nothing and is named in its own line only.
    std::string sources, given;
    for (size_t t = 0; t < takes.size(); ++t) {
        if (merged.anotherTape[t]) continue;
        sources += std::string(sources.empty() ? "" : " + ") + taken[t];
        given += std::string(given.empty() ? "" : ", ") + taken[t] + " " + std::to_string(merged.given[t]);
    }
    std::printf("%s -> %s (%s)\n", sources.c_str(), image.c_str(),
                mergedSummary(robust.bytes.size(), suspectBytes, missingBytes, given).c_str());
}
