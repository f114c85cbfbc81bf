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
#include "signal/recording_file.h"

namespace {

const char* const robustEndings[] = {".wav", ".flac", ".aif", ".aiff"};

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

// One line "hibarion: NAME: TEXT" on standard error, counted toward the exit status.
void tell(const char* name, const std::string& text)
{
    eraseProgress();
    std::fprintf(stderr, "hibarion: %s: %s\n", name, text.c_str());
    ++hostMessagesShown;
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

std::string robustImageNameFor(const char* name)
{
    std::string image(name);
    image.erase(image.size() - endingLength(name));
    return placeOutput(image + ".P6");
}

void decodeRobustly(const char* name, int channel)
{
    RecordingDecoding decoding = decodeRecordingFile(name, channel);
    if (!decoding.error.empty()) {
        tell(name, decoding.error);
        return;
    }
    if (!decoding.readError.empty()) tell(name, decoding.readError);
    if (decoding.bytes.empty()) {
        // No image is written, so that an existing one of the same name survives.
        tell(name, "no tape signal found");
        return;
    }

    std::string image = robustImageNameFor(name);
    std::string failure = writeImageFile(image, decoding.bytes);
    if (!failure.empty()) {
        showWriteFailure(nullptr, "%s は書き込めません", image.c_str(), failure);
        return;
    }
    unsigned long long suspectBytes = 0;
    for (const SuspectRange& range : decoding.suspects) {
        tell(name, suspectLine(range));
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
