#include "signal/decoder_state.h"

#include <algorithm>
#include <cmath>

// The tracker, once locked: each frame where the clock expects it, a byte or the end of
// the block, the lock held through lost signal and moved over a splice.
namespace {

// What a next frame that starts in place weighs for a byte over a gap.
const double nextStartWeight = 1.0;
// Each frame moves the clock by this share of how far it started from where it was
// expected: the cell follows wow over about ten frames without chasing hiss.
const double speedFollow = 0.1;
// Once locked, a frame is read this share of the way from where the clock expected it to
// where it fits best. Hiss moves the best fit by up to a quarter cell from one frame to
// the next, the tape's own timing far less; the cells are then read nearer their middle.
const double timingFollow = 0.5;
// Frames that must follow a new place after a splice before the tracker moves there.
const int framesAfterSplice = 3;
// The confidence model has learnt enough of a recording after a header block and as
// much again to judge the bytes before once more.
const uint32_t openingBytes = 32;

void addSuspect(DecoderState& d, double t0, SuspectReason reason)
{
    markSuspect(d, static_cast<uint32_t>(d.bytes.size() - 1), secondsAt(d, t0), reason);
}

// After a splice the frames go on from another place: the best start within half a
// frame of `expected` from which frames follow, if any.
bool spliceContinues(const DecoderState& d, double expected, double cell, double& found)
{
    double bestFit = -1e300;
    bool any = false;
    const double reach = frameCells / 2 * cell;
    for (double t = std::floor(expected - reach); t <= expected + reach; t = t + 1) {
        if (!framesFollow(d, t, cell, framesAfterSplice, d.energyLevel)) continue;
        double fit = 0.0;
        for (int j = 0; j < framesAfterSplice; ++j) fit = fit + frameFit(d, t + frameCells * j * cell, cell);
        if (fit > bestFit) {
            bestFit = fit;
            found = t;
            any = true;
        }
    }
    if (any) found = bestFrameStart(d, found - 0.5, found + 0.5, cell);
    return any;
}

// The contrasts of the frame at t0 by its mean level: the templates' are so already.
FrameContrasts frameByLevel(const DecoderState& d, double t0, double cell)
{
    const double level = meanFrameEnergy(d, t0, cell) + d.floor;
    FrameContrasts frame{levelContrast(d, t0 + startCellEnds * cell, level), {}, 2.0, false};
    for (int b = 0; b < dataBits; ++b) frame.data[b] = levelContrast(d, t0 + (firstBitEnds + b) * cell, level);
    for (int i = firstStopEnds; i <= frameCells; ++i)
        frame.stops = std::min(frame.stops, levelContrast(d, t0 + i * cell, level));
    return frame;
}

}  // namespace

// The frame expected at d.start: a byte, or the end of the block.
void trackFrame(DecoderState& d)
{
    const double expected = d.start, cell = d.cell;
    bool heard = meanFrameEnergy(d, expected, cell) >= lostLevel * d.energyLevel;
    if (toneSteadiness(levelsAt(d, static_cast<int64_t>(expected))) < steadyFrame) heard = false;
    double best = heard ? bestFrameStart(d, expected - cell / 4, expected + cell / 4, cell) : expected;
    double t0 = best;
    if (!heard)
        d.framesToPullIn = pullInFrames;
    else if (d.framesToPullIn > 0)
        --d.framesToPullIn;
    else
        t0 = expected + timingFollow * (best - expected);

    double startCell = contrast(d, t0 + startCellEnds * cell);
    double stops = 2.0;
    for (int i = firstStopEnds; i <= frameCells; ++i) {
        double c = contrast(d, t0 + i * cell);
        if (c < stops) stops = c;
    }
    // Framing that fails where the tape sounds may be a splice: the frames go on, but
    // from another place.
    bool moved = false;
    if (heard && (startCell > startLow || stops < weakCell)) {
        double found;
        if (spliceContinues(d, expected, cell, found) && std::fabs(found - t0) > cell / 2) {
            t0 = found;
            moved = true;
            startCell = contrast(d, t0 + startCellEnds * cell);
            stops = 2.0;
            for (int i = firstStopEnds; i <= frameCells; ++i) {
                double c = contrast(d, t0 + i * cell);
                if (c < stops) stops = c;
            }
        }
    }

    double data[dataBits];
    double lowData = 0.0;
    for (int b = 0; b < dataBits; ++b) {
        data[b] = contrastAfter(d, t0 + (firstBitEnds + b) * cell, b > 0 && data[b - 1] > 0);
        if (data[b] < 0) lowData = lowData - data[b];
    }
    // A gap reads as high cells throughout: the byte is the better fit when its start
    // and its low data cells outweigh that, helped by a next frame that starts in place.
    // Where the signal is lost, a dropout is told from the end by a frame that starts
    // in place after it.
    bool byte;
    bool missed = d.missedFrames > 0;
    if (missed) {
        --d.missedFrames;
        byte = true;
    } else if (moved) {
        byte = true;
    } else if (heard) {
        double byteOverGap = -2 * startCell + 2 * lowData;
        if (startsFrame(d, t0 + frameCells * cell, cell)) byteOverGap = byteOverGap + nextStartWeight;
        byte = byteOverGap > 0;
    } else {
        byte = false;
        for (int j = 1; j <= coastFrames && !byte; ++j)
            byte = startsFrame(d, t0 + frameCells * j * cell, cell);
    }
    if (!byte) {
        d.locked = false;
        d.lockLostAt = expected;
        // A lock that held for one frame alone: hiss in a leader or a gap can sound as
        // a start cell with high cells after it, a byte 0xFF that no block holds.
        if (d.bytes.size() == d.lockFirstByte + 1) doubtLoneFrame(d);
        // Lost signal: the frames under it are counted once they are found again.
        if (!heard && !d.bytes.empty()) {
            d.lossPending = true;
            d.lostAt = expected;
            d.lostCell = cell;
            d.backAt = -1;
            d.heardTo = expected;
        }
        // The hunt goes on after the frame, and never before where it found the lock.
        double next = std::ceil(expected + cell);
        uint64_t after = next > 0 ? static_cast<uint64_t>(next) : 0;
        if (after > d.scan) d.scan = after;
        return;
    }

    uint8_t value = 0;
    for (int b = 0; b < dataBits; ++b)
        if (data[b] > 0) value = static_cast<uint8_t>(value | (1 << b));
    d.bytes.push_back(value);
    d.byteSeconds.push_back(secondsAt(d, t0));

    double quietest = energy(d, t0 + startCellEnds * cell);
    for (int i = firstBitEnds; i <= frameCells; ++i) {
        double e = energy(d, t0 + i * cell);
        if (e < quietest) quietest = e;
    }
    // The byte is judged against the spread of the cells so far, and a frame in place
    // teaches the model; a lost signal or a frame the tracker had to place says more.
    FrameContrasts frame{startCell, {}, stops, false};
    if (d.equalised)
        std::copy(data, data + dataBits, frame.data);
    else
        frame = frameByLevel(d, t0, cell);
    frame.startAlone = value == 0xFF && d.bytes.size() == d.lockFirstByte + 1 && d.lockedAfterTone;
    FrameJudgement judgement = judgeFrame(d.confidence, frame);
    float confidence = confidenceOf(judgement);
    bool lost = quietest < lostLevel * d.energyLevel;
    if (lost) {
        addSuspect(d, t0, SuspectReason::SignalLost);
        confidence = 0.0f;
    } else if (missed || moved || d.foundInData) {
        addSuspect(d, t0, SuspectReason::Framing);
        confidence = std::min(confidence, placedConfidence);
    } else {
        if (!d.openingJudged) d.opening.push_back(
                OpeningFrame{static_cast<uint32_t>(d.bytes.size() - 1), frame, d.equalised, readingScale(d)});
        if (confidence < suspectConfidence)
            addSuspect(d, t0, judgement.framing < judgement.bits ? SuspectReason::Framing : SuspectReason::WeakBit);
        // Weak bits teach the spread too, or it would narrow to the clear cells alone.
        if (heard && judgement.framing >= 1) learnFrame(d.confidence, frame);
    }
    d.confidences.push_back(confidence);
    d.foundInData = false;
    if (!d.openingJudged && d.bytes.size() >= openingBytes) judgeOpeningAgain(d);

    if (heard && !moved) {
        double lead = best - expected;
        double next = cell + speedFollow * lead / frameCells;
        double least = shortestCell * d.nominalCell, most = longestCell * d.nominalCell;
        d.cell = next < least ? least : next > most ? most : next;
        updateLevels(d, t0, cell);
    }
    d.start = t0 + frameCells * d.cell;
}
