#include "core/decoder.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/conversion_settings.h"
#include "core/loaded_data.h"
#include "core/decision_estimate.h"
#include "core/lanes.h"
#include "core/output_file.h"
#include "core/output_folder.h"

namespace {

// A whole-sample count of `seconds` at `rate`, truncated toward zero and kept within
// 0 ... limit, so that no setting can move a window outside the recording.
int64_t samplesWithin(double rate, double seconds, int64_t limit)
{
    double samples = rate * seconds;
    if (!(samples >= 1.0)) return 0;
    if (samples >= static_cast<double>(limit)) return limit;
    return static_cast<int64_t>(samples);
}

bool isLoud(uint8_t sample) { return sample <= 116 || sample >= 138; }

}  // namespace

std::string tapeImageNameFor(const char* recordingPath)
{
    std::string name(recordingPath);
    name.erase(name.size() >= 3 ? name.size() - 3 : 0);
    return placeOutput(name + "P6");
}

int decodeRecording(WindowHandle window, const char* recordingPath)
{
    WaveBuffer wave = currentWaveBuffer();
    const uint8_t* x = wave.samples;
    const int64_t count = wave.sampleCount;
    // A rate that is not positive as a signed number has no periods to measure.
    const int32_t rate = wave.sampleRate > 0 ? wave.sampleRate : 0;
    const int periodLength = static_cast<int>(rate / 1200.0);

    showWaitCursor();

    // The start search runs before the tape image is created, so that a silent
    // recording never destroys an existing image of the same name.
    int64_t i = 0;
    while (i < count && !isLoud(x[i])) ++i;
    i += 1;
    if (i >= count) {
        showArrowCursor();
        showMessage(window, {MessageId::TooQuiet, recordingPath, 0, nullptr});
        return 0;
    }

    std::string outputName = tapeImageNameFor(recordingPath);
    OutputFile output(outputName, OutputKind::Conversion);
    if (!output.isOpen()) {
        showArrowCursor();
        showWriteFailure(window, MessageId::CannotWrite, outputName.c_str(), output.failure());
        return 0;
    }

    // Level of the leading tone, measured after a skip of 0.1 s over the window of
    // firstToneSeconds; both are clipped to the recording.
    i += samplesWithin(rate, 0.1, count - i);
    int64_t windowLength = samplesWithin(rate, conversionSettings.firstToneSeconds, count - i);
    double sum = 0.0, sumOfSquares = 0.0;
    for (int64_t end = i + windowLength; i < end; ++i) {
        double sample = x[i];
        sum = sum + sample;
        sumOfSquares = sumOfSquares + sample * sample;
    }
    double n = static_cast<double>(windowLength);
    double centreLevel = sum / n;  // 0/0 for an empty window: no crossing ever passes
    double toneAmplitude = std::sqrt((sumOfSquares / n - centreLevel * centreLevel) * 2);
    double lowToneLevel = toneAmplitude * conversionSettings.inputRatio;
    double minimumCorrelation = lowToneLevel / 2400 * rate * 0.1;

    uint8_t byteValue = 0;
    uint8_t bitMask = 1;
    bool awaitingStartBit = true;
    bool examineNextCrossing = true;
    uint32_t bytesWritten = 0;
    const double M = centreLevel;
    const bool estimated = prepareEstimates(periodLength);

    // A whole sample lies above M exactly when it lies above floor(M); a level that is
    // not a number has no crossings.
    const int64_t end = M == M ? count - 1 - periodLength : i;
    const int floorLevel = M == M ? static_cast<int>(std::floor(M)) : 0;

    // Crossings are found, and estimated, a batch at a time: neither depends on what the
    // crossings before them decided, so the work of a batch overlaps.
    Crossing batch[longestBatch];
    int64_t at[longestBatch];
    int64_t nextProgress = 0;
    while (i < end) {
        if (i >= nextProgress) {
            reportProgress(static_cast<uint64_t>(i), static_cast<uint64_t>(count));
            nextProgress = i + 65536;
        }
        int found = findCrossings(x, i, end, floorLevel, at, longestBatch, &i);
        // Each crossing lies f samples before its sample.
        for (int k = 0; k < found; ++k)
            batch[k] = {at[k], (M - x[at[k]]) / (x[at[k] - 1] - x[at[k]]), -1};
        if (estimated) settleDecisions(x, M, periodLength, minimumCorrelation, batch, found);

        for (int k = 0; k < found; ++k) {
            if (!examineNextCrossing && !awaitingStartBit) {
                examineNextCrossing = true;
                continue;
            }

            // Correlate one 1200 Hz period from the crossing with a 1200 Hz and a 2400 Hz
            // sine, both starting downwards, where the estimate could not tell.
            int settled = batch[k].settled;
            if (settled < 0) {
                double correlation1200, correlation2400;
                correlations(x + batch[k].at, M, batch[k].f, periodLength, &correlation1200,
                             &correlation2400);
                settled = correlation2400 < correlation1200 && minimumCorrelation < correlation1200;
            }

            if (settled) {
                if (awaitingStartBit)
                    awaitingStartBit = false;
                else
                    bitMask = static_cast<uint8_t>(bitMask << 1);
                examineNextCrossing = true;
            } else if (!awaitingStartBit) {
                byteValue |= bitMask;
                bitMask = static_cast<uint8_t>(bitMask << 1);
                examineNextCrossing = false;
            }

            if (bitMask == 0) {
                output.put(byteValue);
                ++bytesWritten;
                bitMask = 1;
                byteValue = 0;
                awaitingStartBit = true;
                examineNextCrossing = true;
            }
        }
    }

    bool written = output.commit();
    showArrowCursor();
    if (!written) {
        showWriteFailure(window, MessageId::CannotWrite, outputName.c_str(), output.failure());
        return 0;
    }
    reportFileWritten(recordingPath, outputName.c_str(), bytesWritten, "bytes");
    return 1;
}
