#include "core/encoder.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "core/cell_samples.h"
#include "core/cell_times.h"
#include "core/conversion_settings.h"
#include "core/loaded_data.h"
#include "core/output_folder.h"

namespace {

const int silenceSamples = 5000;  // at 11025 samples a second; as long in time at others
const int leaderCells = 4800;
const int gapCells = 635;
const int trailerCells = 59;
const int cellsPerByte = 12;  // 1, 1, 1, 0, then the eight bits from the lowest
const uint32_t headerBlockBytes = 16;
const int headerLength = 44;  // of the WAV file

// The sample clock: 9.070294784580499e-05 s at 11025 samples a second. Division is
// correctly rounded, so the period computed here equals the constant 1.0 / 11025.
double samplePeriod() { return 1.0 / outputSampleRate; }

int silenceLength() { return static_cast<int>(int64_t(silenceSamples) * outputSampleRate / 11025); }

// ---- Writing samples ------------------------------------------------------------

void flushOutput(RecordingOutput* output)
{
    output->file->write(output->buffer, output->used);
    output->handed += output->used;
    output->used = 0;
}

void putSample(RecordingOutput* output, uint8_t sample)
{
    if (output->used == sizeof output->buffer) flushOutput(output);
    output->buffer[output->used++] = sample;
}

// The last block of samples, written only once the next block's times are counted: the
// processor then works out those times, each waiting on the one before, alongside this
// block's samples.
struct PendingBlock {
    double first, after, step, frequency, amplitude;
    size_t count;  // 0: none
};
PendingBlock pending;

void writePending(RecordingOutput* output)
{
    if (pending.count == 0) return;
    if (sizeof output->buffer - output->used < pending.count) flushOutput(output);
    cellSamples(pending.first, pending.after, pending.count, pending.step, pending.frequency,
                pending.amplitude, output->buffer + output->used);
    output->used += pending.count;
    pending.count = 0;
}

// The times of a cell come one addition after another, as they always did (in closed
// form where that is exact); their samples are computed a block at a time, straight
// into the buffer, the last block left pending.
void writeCell(double& cellPhase, RecordingOutput* output, double x, bool high)
{
    double t = cellPhase;
    double e = x / 1200;
    double a = high ? 120 / conversionSettings.outputRatio : 120;
    double frequency = high ? 4800 : 2400;
    const double step = samplePeriod();
    while (t < e) {
        double first = t;
        size_t n = nextCellTimes(t, e, step, nullptr, cellSampleBlock);
        writePending(output);
        pending = {first, t, step, frequency, a, n};
    }
    cellPhase = t - e;
}

void writeSilence(RecordingOutput* output)
{
    writePending(output);
    for (int k = silenceLength(); k > 0; --k) putSample(output, 128);
}

void writeByteFrame(double& cellPhase, RecordingOutput* output, uint8_t value, double x)
{
    writeCell(cellPhase, output, x, true);
    writeCell(cellPhase, output, x, true);
    writeCell(cellPhase, output, x, true);
    writeCell(cellPhase, output, x, false);
    for (int bit = 0; bit < 8; ++bit) {
        if (value & (1 << bit))
            writeCell(cellPhase, output, x, true);
        else
            writeCell(cellPhase, output, x, false);
    }
}

void putUint32(uint8_t* at, uint32_t value)
{
    for (int k = 0; k < 4; ++k) at[k] = static_cast<uint8_t>(value >> (8 * k));
}

void putUint16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void writeHeader(RecordingOutput* output, uint32_t sampleCount, const WaveFormat& format)
{
    uint8_t header[headerLength];
    std::memcpy(header, "RIFF", 4);
    putUint32(header + 4, sampleCount + 36);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    putUint32(header + 16, 16);
    putUint16(header + 20, format.wFormatTag);
    putUint16(header + 22, format.nChannels);
    putUint32(header + 24, format.nSamplesPerSec);
    putUint32(header + 28, format.nAvgBytesPerSec);
    putUint16(header + 32, format.nBlockAlign);
    putUint16(header + 34, format.wBitsPerSample);
    std::memcpy(header + 36, "data", 4);
    putUint32(header + 40, sampleCount);
    for (uint8_t b : header) putSample(output, b);
}

// ---- Counting samples -----------------------------------------------------------

// Counts `cells` cells of factor x exactly as writeCell steps through them, adding to
// *count; gives up once *count passes the largest count a header can hold.
void countCells(double& cellPhase, uint64_t cells, double x, uint64_t* count)
{
    double e = x / 1200;
    if (*count > largestSampleCount || cells == 0) return;
    const double step = samplePeriod();

    // A cell without end never finishes at all.
    if (std::isinf(e) && e > 0 && cellPhase == cellPhase) {
        *count = largestSampleCount + 1;
        return;
    }

    for (uint64_t c = 0; c < cells; ++c) {
        double t = cellPhase;
        while (t < e) {
            if (++*count > largestSampleCount) return;
            t = t + step;
        }
        cellPhase = t - e;
    }
}

// A sure lower bound on the samples of `cells` cells of factor x in a row, so that a
// hopeless size is settled at once instead of after billions of steps: while t < e a
// step adds at most samplePeriod + e * 2^-52 to t, and every cell after the first
// starts less than one step past its beginning, so it needs at least e / step - 1
// samples (2 leaves room for the rounding of this estimate).
double leastSamples(uint64_t cells, double x)
{
    double e = x / 1200;
    if (!(e > 0) || cells < 2) return 0;
    double step = samplePeriod() + e * 0x1p-52;
    double perCell = e / step - 2;
    return perCell > 0 ? perCell * static_cast<double>(cells - 1) : 0;
}

// A sure upper bound on the samples of `cells` cells of factor x in a row, infinite when
// none is at hand. Each cell starts at or after its beginning, and while t < e a step
// adds at least samplePeriod - (e + samplePeriod) * 2^-53 to t, so a cell holds at most
// e / that + 1 samples; the factor and the second extra sample cover the rounding here.
double mostSamples(uint64_t cells, double x)
{
    const double infinity = std::numeric_limits<double>::infinity();
    double e = x / 1200;
    if (e != e) return infinity;
    if (e <= 0 || cells == 0) return 0;
    double step = samplePeriod();
    double leastStep = step - (e + step) * 0x1p-53;
    if (!(leastStep > 0)) return infinity;
    return (e / leastStep * (1 + 1e-9) + 2) * static_cast<double>(cells);
}

// True when the recording of an image surely fits a header, without counting it.
bool surelyFits(uint32_t imageBytes, double slowness)
{
    uint64_t slowCells = uint64_t(imageBytes) * cellsPerByte + gapCells;
    double most = 2.0 * silenceLength() + mostSamples(leaderCells, 1.0) +
                  mostSamples(slowCells, slowness) + mostSamples(trailerCells, 1.0);
    return most < static_cast<double>(largestSampleCount);
}

}  // namespace

uint32_t outputSampleRate = 11025;

void writeHighCell(double& cellPhase, RecordingOutput* output, double x)
{
    writeCell(cellPhase, output, x, true);
    writePending(output);
}

void writeLowCell(double& cellPhase, RecordingOutput* output, double x)
{
    writeCell(cellPhase, output, x, false);
    writePending(output);
}

std::string recordingNameFor(const char* tapeImagePath)
{
    std::string name(tapeImagePath);
    name.erase(name.size() >= 3 ? name.size() - 3 : 0);
    return placeOutput(name + "_.wav");
}

uint64_t countRecordingSamples(uint32_t imageBytes, double slowness)
{
    uint32_t headerBytes = imageBytes < headerBlockBytes ? imageBytes : headerBlockBytes;
    // The header block, the gap and the body are one run of cells at `slowness`.
    uint64_t slowCells = uint64_t(imageBytes) * cellsPerByte + gapCells;
    if (leastSamples(slowCells, slowness) > static_cast<double>(largestSampleCount))
        return largestSampleCount + 1;

    uint64_t count = 2 * uint64_t(silenceLength());
    double cellPhase = 0.0;
    countCells(cellPhase, leaderCells, 1.0, &count);
    countCells(cellPhase, uint64_t(headerBytes) * cellsPerByte, slowness, &count);
    countCells(cellPhase, gapCells, slowness, &count);
    countCells(cellPhase, uint64_t(imageBytes - headerBytes) * cellsPerByte, slowness, &count);
    countCells(cellPhase, trailerCells, 1.0, &count);
    return count;
}

int encodeTapeImage(WindowHandle window, const char* tapeImagePath)
{
    TapeImage image = currentTapeImage();
    const double slowness = conversionSettings.outputSlowness;

    showWaitCursor();
    // The header holds the sample count. A recording that surely fits a header and goes
    // to a file that can be sought back is counted as it is written, and its header
    // written again at the end; any other is counted first, by the same steps.
    bool countedFirst = !surelyFits(image.count, slowness);
    uint64_t sampleCount = 0;
    if (countedFirst) {
        sampleCount = countRecordingSamples(image.count, slowness);
        if (sampleCount > largestSampleCount) {
            showArrowCursor();
            showMessage(window, {MessageId::TooLarge, tapeImagePath, 0, nullptr});
            return 0;
        }
    }

    std::string outputName = recordingNameFor(tapeImagePath);
    OutputFile file(outputName, OutputKind::Conversion);
    if (!file.isOpen()) {
        showArrowCursor();
        showWriteFailure(window, MessageId::CannotWrite, outputName.c_str(), file.failure());
        return 0;
    }
    if (!countedFirst && !file.isSeekable()) {
        countedFirst = true;
        sampleCount = countRecordingSamples(image.count, slowness);
    }
    // 64 KiB of buffer: kept in static storage rather than on the stack.
    static RecordingOutput output;
    output.file = &file;
    output.handed = 0;
    output.used = 0;

    WaveFormat format = loadedDataSlot.format;
    format.nSamplesPerSec = outputSampleRate;
    format.nAvgBytesPerSec = format.nBlockAlign * outputSampleRate;
    writeHeader(&output, static_cast<uint32_t>(sampleCount), format);
    writeSilence(&output);
    double cellPhase = 0.0;
    for (int c = 0; c < leaderCells; ++c) writeCell(cellPhase, &output, 1.0, true);
    uint32_t headerBytes = image.count < headerBlockBytes ? image.count : headerBlockBytes;
    for (uint32_t k = 0; k < headerBytes; ++k)
        writeByteFrame(cellPhase, &output, image.bytes[k], slowness);
    for (int c = 0; c < gapCells; ++c) writeCell(cellPhase, &output, slowness, true);
    for (uint32_t k = headerBytes; k < image.count; ++k) {
        reportProgress(k, image.count);
        writeByteFrame(cellPhase, &output, image.bytes[k], slowness);
    }
    for (int c = 0; c < trailerCells; ++c) writeCell(cellPhase, &output, 1.0, true);
    writeSilence(&output);
    flushOutput(&output);

    if (!countedFirst) {
        sampleCount = output.handed - headerLength;
        if (file.seekToStart()) {
            writeHeader(&output, static_cast<uint32_t>(sampleCount), format);
            flushOutput(&output);
        }
    }
    output.file = nullptr;
    bool written = file.commit();
    showArrowCursor();
    if (!written) {
        showWriteFailure(window, MessageId::CannotWrite, outputName.c_str(), file.failure());
        return 0;
    }
    reportFileWritten(tapeImagePath, outputName.c_str(), sampleCount, "samples");
    return 1;
}
