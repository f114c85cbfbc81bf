#include "cli/robust.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "cli/image_file.h"
#include "cli/messages.h"
#include "cli/platform.h"
#include "cli/progress.h"
#include "core/output_folder.h"
#include "core/platform.h"
#include "signal/program_structure.h"
#include "signal/recording_file.h"

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

std::string suspectLine(const SuspectRange& range)
{
    std::string bytes = range.firstByte == range.lastByte
                            ? "byte " + std::to_string(range.firstByte)
                            : "bytes " + std::to_string(range.firstByte) + "-" +
                                  std::to_string(range.lastByte);
    return "suspect " + bytes + " at " + recordingTime(range.seconds) + " (" + range.reason + ")";
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

void decodeRobustly(const char* name, int channel)
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
    if (!writeImageFile(image, decoding.bytes)) {
        reportProblem(image.c_str(), commandLineMessageText({MessageId::CannotWrite, nullptr, 0, nullptr}));
        return;
    }
    for (const StructureFinding& finding : structure)
        if (finding.repaired) reportProblem(name, "repaired byte " + std::to_string(finding.byte) + " (structure)");
    unsigned long long suspectBytes = 0;
    for (const SuspectRange& range : decoding.suspects) {
        reportProblem(name, suspectLine(range));
        suspectBytes += range.lastByte - range.firstByte + 1ull;
    }

    std::string channelText;
    if (decoding.channels > 1)
        channelText = "channel " + std::to_string(decoding.channel) + " of " +
                      std::to_string(decoding.channels) + ", ";
    char level[32];
    std::snprintf(level, sizeof level, "%.1f dBFS", decoding.peakDecibels);
    eraseProgress();
    std::printf("%s -> %s (%zu bytes, %llu suspect, %speak %s)\n", name, image.c_str(),
                decoding.bytes.size(), suspectBytes, channelText.c_str(), level);
}
