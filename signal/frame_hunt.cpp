#include "signal/decoder_state.h"

#include <algorithm>
#include <cmath>

// The hunt, while no lock holds: a start cell after a run of high cells, or frames that
// follow one another inside the data, and the lock taken there; on the way the runs of
// high tone it passes, and where lost signal comes back and the loss ends.
namespace {

const double runHigh = 0.5;      // mean contrast of a run of high cells before a start
const double steadyRun = 0.6;    // steadiness of the high tone in a leader or a gap
// A run of the high tone, however far down, sounds this much above the hiss in the low
// tone's correlation.
const double toneOverHiss = 2.0;
// Frames that must follow one another, clear in every cell, before a lock is taken
// without a run of high tone before it: inside the data after a loss, or where a
// recording starts. By chance random data holds four such frames elsewhere than in
// place about once in 65536 tries.
const int framesInData = 4;
// The hunt's run of high cells before a start cell: within four frames after a lock
// ended, the stop cells of every byte will do; otherwise more than data often holds.
const int recentLockCells = 4 * frameCells;
const int huntRunCells = 8;
// High cells in a row that only a leader or a gap holds: data has at most eleven.
const int toneRunCells = 24;
// A tape opens with a block of this many bytes, and a gap of high tone follows it.
const uint32_t openingBlockBytes = 16;

// Follows the runs of high cells the hunt passes, and where the signal comes back
// after a loss.
void noteSignal(DecoderState& d, double end, double c)
{
    if (c > runHigh) {
        if (d.runFrom < 0) d.runFrom = end;
    } else if (c < 0 && d.runFrom >= 0) {
        d.runLength = end - d.runFrom;
        d.runTo = end;
        d.runFrom = -1;
        if (d.runLength >= toneRunCells * d.nominalCell) d.toneTo = end;
    }
    if (!d.lossPending) return;
    if (energy(d, end) >= lostLevel * d.energyLevel) {
        if (d.backAt < 0) d.backAt = end;
        d.heardTo = end;
    } else {
        d.backAt = -1;
    }
}

void lockAt(DecoderState& d, double t0, double cell)
{
    // The run of high cells that ended with this start cell, if it was the last.
    double run = d.runTo >= t0 - cell ? d.runLength / cell : 0.0;
    bool afterTone = run >= toneRunCells;
    // A leader or a gap ended a few frames before: the frames from its end on were
    // passed over, and are taken as bytes after all.
    if (!afterTone && d.toneTo >= 0) {
        double frames = std::floor((t0 - d.toneTo + cell / 2) / (frameCells * cell) + 0.5);
        if (frames >= 1 && frames <= coastFrames) {
            t0 = t0 - frames * frameCells * cell;
            d.missedFrames = static_cast<int>(frames);
            afterTone = true;
        }
    }
    // Found inside the data where a recording starts or the signal came back: the
    // frames just before that sound as frames are bytes too, but suspect.
    if (!afterTone && (d.lossPending || !d.everLocked)) {
        while (d.missedFrames < coastFrames &&
               soundsAsFrame(d, t0 - frameCells * cell, cell, d.energyLevel)) {
            t0 = t0 - frameCells * cell;
            ++d.missedFrames;
        }
    }
    if (!d.everLocked) d.startsInside = !afterTone;
    // Found again inside the data, neither after a leader or a gap nor after a loss that
    // is counted: frames the hunt passed over may be missing before this one.
    d.foundInData = d.everLocked && !afterTone && !d.lossPending;
    d.lockedAfterTone = afterTone && d.missedFrames == 0;
    d.everLocked = true;
    if (d.lossPending) endLoss(d, t0, afterTone ? d.runTo - d.runLength : t0, afterTone);
    d.lockFirstByte = d.bytes.size();
    d.framesToPullIn = pullInFrames;
    d.locked = true;
    d.start = t0;
    d.cell = cell;
    d.runFrom = -1;
    d.runTo = -1;
    d.toneTo = -1;
}

// Whether a frame whose start cell ends at `end` follows a run of `run` high cells;
// if so, t0 is where it starts and runEnergy the run's mean energy.
bool frameAfterRun(const DecoderState& d, double end, double cell, int run, double& t0, double& runEnergy)
{
    double sum = 0.0;
    for (int k = 1; k <= run; ++k) sum = sum + contrast(d, end - k * cell);
    if (sum / run < runHigh) return false;

    runEnergy = 0.0;
    for (int k = 1; k <= run; ++k) runEnergy = runEnergy + energy(d, end - k * cell);
    runEnergy = runEnergy / run;
    t0 = bestFrameStart(d, end - 1.5 * cell, end - 0.5 * cell, cell);
    if (contrast(d, t0 + startCellEnds * cell) >= startLow) return false;
    // The frame must sound about as loud as the run before it.
    for (int i = startCellEnds; i <= frameCells + startCellEnds; ++i)
        if (energy(d, t0 + i * cell) < lostLevel * runEnergy) return false;
    bool nextStarts = contrast(d, t0 + (frameCells + startCellEnds) * cell) < nextStartLow;
    if (!nextStarts) {
        // A block of one byte: only a frame clear in every cell.
        for (int i = firstBitEnds; i < firstStopEnds; ++i)
            if (std::fabs(contrast(d, t0 + i * cell)) < sureCell) return false;
        for (int i = firstStopEnds; i <= frameCells; ++i)
            if (contrast(d, t0 + i * cell) < sureCell) return false;
    }
    return true;
}

// Whether a start cell ends at `end` after a run of high cells; if so, locks onto it.
bool lockAfterTone(DecoderState& d, double end)
{
    const int64_t stops = static_cast<int64_t>(stopCells * d.nominalCell);
    ToneLevels before = levelsAt(d, static_cast<int64_t>(end) - stops);
    if (toneSteadiness(before) < steadyRun) return false;
    double speed = toneSpeed(d.detector, before);
    if (!(speed > shortestCell && speed < longestCell)) speed = 1.0;
    const double cell = d.nominalCell / speed;
    int run = end - d.lockLostAt < recentLockCells * cell ? stopCells : huntRunCells;

    // Where the high tone barely clears the hiss, a run of it reads as no clear run: a
    // start cell whose low tone lies more than mostRatio above it is first judged by the
    // templates that the run and the start cell give, which stay only if it locks. The
    // run must hold the high tone above the hiss the low tone's correlation hears there:
    // silence, whose steadiness is the tone's before it, does not. After a loss the
    // channel was measured before it.
    double t0 = 0.0, runEnergy = 0.0;
    bool found = false;
    if (!d.equalised && !d.lossPending) {
        const Channel channel = d.channel;
        firstTemplates(d, end - startCellEnds * cell, cell, run);
        const Templates& m = d.channel.any;
        found = d.equalised && m.highInHigh > toneOverHiss * m.lowInHigh &&
                frameAfterRun(d, end, cell, run, t0, runEnergy);
        if (found) {
            followingTemplates(d, t0, cell);
        } else {
            d.channel = channel;
            d.equalised = false;
        }
    }
    if (!found) {
        if (!frameAfterRun(d, end, cell, run, t0, runEnergy)) return false;
        if (!(d.channel.any.highInHigh > 0)) {
            firstTemplates(d, t0, cell, run);
            followingTemplates(d, t0, cell);
        }
    }
    if (!(d.energyLevel > 0)) setEnergyLevel(d, runEnergy);
    lockAt(d, t0, cell);
    return true;
}

// How many frames in a row, up to framesCompared, follow from t0.
int framesInRow(const DecoderState& d, double t0, double cell, double level)
{
    int count = 0;
    while (count < framesCompared && framesFollow(d, t0 + frameCells * count * cell, cell, 1, level))
        ++count;
    return count;
}

// Whether frames follow in the data from a start cell that ends at `end`, where the
// signal came back after a loss (at the speed before it) or before any lock (at the
// normal speed); if so, locks onto them.
bool lockInData(DecoderState& d, double end)
{
    const double cell = d.lossPending ? d.lostCell : d.nominalCell;
    double t0 = bestFrameStart(d, end - 1.5 * cell, end - 0.5 * cell, cell);
    double level = d.energyLevel > 0 ? d.energyLevel : meanFrameEnergy(d, t0, cell);
    if (!framesFollow(d, t0, cell, framesInData, level)) return false;
    const int here = framesInRow(d, t0, cell, level);
    for (int k = 1; k < frameCells; ++k) {
        double other = bestFrameStart(d, t0 + (k - 0.5) * cell, t0 + (k + 0.5) * cell, cell);
        if (framesInRow(d, other, cell, level) >= here) return false;
    }
    if (!(d.energyLevel > 0)) setEnergyLevel(d, level);
    lockAt(d, t0, cell);
    return true;
}

}  // namespace

// The signal came back after a loss and frames were found again at t0: the frames the
// clock would have counted in between, at the speed before the loss, are missing. When
// a leader or a gap came back first, only those before it.
void endLoss(DecoderState& d, double t0, double until, bool inTone)
{
    d.lossPending = false;
    double frames = std::floor((until - d.lostAt) / (frameCells * d.lostCell) + 0.5);
    if (!(frames >= 1)) return;
    double back = d.backAt >= 0 ? d.backAt : t0;
    uint32_t missing = frames < 4e9 ? static_cast<uint32_t>(frames) : 4000000000u;
    // Where the signal came back in the gap after the opening block, the gap's start was
    // lost with the bytes, and the bytes before it are all the block still had.
    uint32_t counted = static_cast<uint32_t>(d.bytes.size());
    for (const SignalLoss& earlier : d.losses) counted += earlier.missingBytes;
    if (inTone && counted < openingBlockBytes) missing = std::min(missing, openingBlockBytes - counted);
    d.losses.push_back(SignalLoss{static_cast<uint32_t>(d.bytes.size()), missing, secondsAt(d, d.lostAt),
                                  secondsAt(d, back) - secondsAt(d, d.lostAt)});
}

void huntAt(DecoderState& d, uint64_t n)
{
    const double end = static_cast<double>(n);
    const double c = contrast(d, end);
    noteSignal(d, end, c);
    if (c >= startLow) return;
    const Learnt before = static_cast<const Learnt&>(d);
    if (lockAfterTone(d, end) || ((d.lossPending ? d.backAt >= 0 : !d.everLocked) && lockInData(d, end)))
        d.beforeLock = before;
}
