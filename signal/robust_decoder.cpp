#include "signal/robust_decoder.h"

#include <cmath>

#include "signal/decimator.h"
#include "signal/tone_detector.h"

// The working-rate samples pass through the tone detector into a ring of levels; the
// frame tracker reads the ring a few frames behind the newest sample. A byte is a start
// cell (low), eight data cells from the lowest bit, then three high cells; the tracker
// finds the first start after a run of high cells ("hunting"), then expects each next
// frame twelve cells on and searches only a quarter cell about that place ("locked"),
// following the tape's speed. Every decision compares how well the cells fit: a frame
// is a byte when its start cell is low, or when its data could not be high cells of a
// gap, or when the next frame starts where it should. Where the signal is lost, frames
// go on being counted while one starts in place within eight frames, so a dropout
// costs the bytes under it and never shifts the rest of the image.
namespace {

const size_t ringSize = 4096;  // working samples; the tracker reaches < 2000 ahead
// Working samples whose levels enter the ring before the tracker runs: small beside
// what the ring holds beyond the tracker's reach.
const size_t levelsPiece = 256;

const double startLow = -0.3;    // contrast below which a start cell is low
const double runHigh = 0.5;      // mean contrast of a run of high cells before a start
const double steadyRun = 0.6;    // steadiness of the high tone in a leader or a gap
const double steadyFrame = 0.3;  // below this a locked frame is hiss, not the tape
const double nextStartLow = -0.2;
const double nextStartWeight = 1.0;
const int coastFrames = 8;       // frames of lost signal that keep the lock
const double sureCell = 0.5;     // cells this clear feed the level estimates
const double weakCell = 0.3;     // data and stop cells weaker than this are suspect
const double lostLevel = 0.25;   // cells below this share of the usual level: signal lost
const double searchStep = 0.25;  // working samples
const double largestSample = 1e6;
const double tiny = 1e-9;        // digital silence: no contrast at all
const double floorShare = 0.05;  // of the usual level: far quieter cells have little contrast

}  // namespace

struct RobustDecoder {
    double sampleRate;
    Decimator decimator;
    ToneDetector detector;
    double nominalCell;  // working samples of one cell at normal speed
    std::vector<ToneLevels> ring;
    std::vector<double> inputs;       // a piece of the input, made safe
    std::vector<double> working;      // the working samples decimated from it
    std::vector<ToneLevels> levels;   // the levels of a piece of them
    uint64_t produced;   // working samples so far
    uint64_t waitUntil;  // the tracker needs this many before it can go on
    bool finished;

    bool locked;
    double start;        // locked: where the next frame's start cell is expected to begin
    double cell;         // locked: the cell length now
    uint64_t scan;       // hunting: the next candidate end of a start cell
    double lockLostAt;   // where the last lock ended, to hunt with a short run after it
    double ratio;        // low tone level over high tone level
    double highLevel, lowLevel, energyLevel;
    double floor;        // added to the levels' sum: a cell far quieter has no contrast

    std::vector<uint8_t> bytes;
    std::vector<double> byteSeconds;
    std::vector<SuspectRange> suspects;
};

namespace {

ToneLevels levelsAt(const RobustDecoder& d, int64_t n)
{
    if (n < 0 || static_cast<uint64_t>(n) >= d.produced ||
        static_cast<uint64_t>(n) + ringSize <= d.produced)
        return ToneLevels{0.0f, 0.0f, 0.0f, 0.0f};
    return d.ring[static_cast<size_t>(n) % ringSize];
}

// The high and low levels at a time between samples, interpolated.
void levelsBetween(const RobustDecoder& d, double t, double& high, double& low)
{
    double base = std::floor(t);
    double f = t - base;
    int64_t n = static_cast<int64_t>(base);
    ToneLevels a = levelsAt(d, n), b = levelsAt(d, n + 1);
    high = a.high + (b.high - a.high) * f;
    low = a.low + (b.low - a.low) * f;
}

// +1 for a pure high cell ending at t, -1 for a pure low one, near 0 for neither.
double contrast(const RobustDecoder& d, double t)
{
    double high, low;
    levelsBetween(d, t, high, low);
    double h = high * d.ratio;
    return (h - low) / (h + low + d.floor);
}

double energy(const RobustDecoder& d, double t)
{
    double high, low;
    levelsBetween(d, t, high, low);
    return high * d.ratio + low;
}

// How well a frame whose start cell begins at t0 fits: the high cell before it, the low
// start cell, the eight data cells either way, the three high cells after them.
double frameFit(const RobustDecoder& d, double t0, double cell)
{
    double fit = contrast(d, t0) - contrast(d, t0 + cell);
    for (int i = 2; i <= 9; ++i) fit = fit + std::fabs(contrast(d, t0 + i * cell));
    for (int i = 10; i <= 12; ++i) fit = fit + contrast(d, t0 + i * cell);
    return fit;
}

// The best fitting frame start within from ... to: whole samples first, then halves and
// quarters about the best.
double bestFrameStart(const RobustDecoder& d, double from, double to, double cell)
{
    double best = from, bestFit = frameFit(d, from, cell);
    for (double t = from + 1; t <= to; t = t + 1) {
        double fit = frameFit(d, t, cell);
        if (fit > bestFit) {
            bestFit = fit;
            best = t;
        }
    }
    for (double step = 0.5; step >= searchStep; step = step / 2) {
        double centre = best;
        for (double t : {centre - step, centre + step}) {
            if (t < from || t > to) continue;
            double fit = frameFit(d, t, cell);
            if (fit > bestFit) {
                bestFit = fit;
                best = t;
            }
        }
    }
    return best;
}

double meanFrameEnergy(const RobustDecoder& d, double t0, double cell)
{
    double sum = 0.0;
    for (int i = 1; i <= 12; ++i) sum = sum + energy(d, t0 + i * cell);
    return sum / 12;
}

// Where in the recording working sample t0 lies.
double recordingSeconds(const RobustDecoder& d, double t0)
{
    // Working sample n stands for input sample n D + D - 1, less the filter's delay.
    const Decimator& m = d.decimator;
    double input = t0 * m.factor + (m.factor - 1) - m.delay;
    return input > 0 ? input / d.sampleRate : 0.0;
}

void addSuspect(RobustDecoder& d, double t0, const char* reason)
{
    uint32_t index = static_cast<uint32_t>(d.bytes.size() - 1);
    if (!d.suspects.empty() && d.suspects.back().lastByte + 1 == index) {
        d.suspects.back().lastByte = index;
        return;
    }
    d.suspects.push_back(SuspectRange{index, index, recordingSeconds(d, t0), reason});
}

void setEnergyLevel(RobustDecoder& d, double level)
{
    d.energyLevel = level;
    d.floor = tiny + floorShare * level;
}

void updateLevels(RobustDecoder& d, double t0, double cell)
{
    const double a = 0.05;
    for (int i = 1; i <= 12; ++i) {
        double t = t0 + i * cell;
        double c = contrast(d, t);
        if (std::fabs(c) < sureCell) continue;
        double high, low;
        levelsBetween(d, t, high, low);
        if (c > 0)
            d.highLevel = d.highLevel > 0 ? d.highLevel + a * (high - d.highLevel) : high;
        else
            d.lowLevel = d.lowLevel > 0 ? d.lowLevel + a * (low - d.lowLevel) : low;
    }
    if (d.highLevel > 0 && d.lowLevel > 0) {
        double ratio = d.lowLevel / d.highLevel;
        d.ratio = ratio < 0.5 ? 0.5 : ratio > 4.0 ? 4.0 : ratio;
    }
    setEnergyLevel(d, d.energyLevel + 0.1 * (meanFrameEnergy(d, t0, cell) - d.energyLevel));
}

// Whether a frame heard as the tape starts at t0: a low start cell, as loud as usual.
bool startsFrame(const RobustDecoder& d, double t0, double cell)
{
    double end = t0 + cell;
    return contrast(d, end) < nextStartLow && energy(d, end) >= lostLevel * d.energyLevel &&
           toneSteadiness(levelsAt(d, static_cast<int64_t>(end))) >= steadyFrame;
}

// The frame expected at d.start: a byte, or the end of the block.
void trackFrame(RobustDecoder& d)
{
    const double expected = d.start, cell = d.cell;
    bool heard = meanFrameEnergy(d, expected, cell) >= lostLevel * d.energyLevel;
    if (toneSteadiness(levelsAt(d, static_cast<int64_t>(expected))) < steadyFrame) heard = false;
    double t0 = heard ? bestFrameStart(d, expected - cell / 4, expected + cell / 4, cell) : expected;

    double startCell = contrast(d, t0 + cell);
    double data[8];
    double lowData = 0.0, weakest = 2.0;
    for (int b = 0; b < 8; ++b) {
        data[b] = contrast(d, t0 + (b + 2) * cell);
        if (data[b] < 0) lowData = lowData - data[b];
        if (std::fabs(data[b]) < weakest) weakest = std::fabs(data[b]);
    }
    // A gap reads as high cells throughout: the byte is the better fit when its start
    // and its low data cells outweigh that, helped by a next frame that starts in place.
    // Where the signal is lost, a dropout is told from the end by a frame that starts
    // in place after it.
    bool byte;
    if (heard) {
        double byteOverGap = -2 * startCell + 2 * lowData;
        if (startsFrame(d, t0 + 12 * cell, cell)) byteOverGap = byteOverGap + nextStartWeight;
        byte = byteOverGap > 0;
    } else {
        byte = false;
        for (int j = 1; j <= coastFrames && !byte; ++j) byte = startsFrame(d, t0 + 12 * j * cell, cell);
    }
    if (!byte) {
        d.locked = false;
        d.lockLostAt = expected;
        // The hunt goes on after the frame, and never before where it found the lock.
        double next = std::ceil(expected + cell);
        uint64_t after = next > 0 ? static_cast<uint64_t>(next) : 0;
        if (after > d.scan) d.scan = after;
        return;
    }

    uint8_t value = 0;
    for (int b = 0; b < 8; ++b)
        if (data[b] > 0) value = static_cast<uint8_t>(value | (1 << b));
    d.bytes.push_back(value);
    d.byteSeconds.push_back(recordingSeconds(d, t0));

    double quietest = energy(d, t0 + cell);
    for (int i = 2; i <= 12; ++i) {
        double e = energy(d, t0 + i * cell);
        if (e < quietest) quietest = e;
    }
    double stops = 2.0;
    for (int i = 10; i <= 12; ++i) {
        double c = contrast(d, t0 + i * cell);
        if (c < stops) stops = c;
    }
    if (quietest < lostLevel * d.energyLevel)
        addSuspect(d, t0, "signal lost");
    else if (startCell > startLow || stops < weakCell)
        addSuspect(d, t0, "framing");
    else if (weakest < weakCell)
        addSuspect(d, t0, "weak bit");

    if (heard) {
        double lead = t0 - expected;
        double next = cell + 0.1 * lead / 12;
        double least = 0.8 * d.nominalCell, most = 1.25 * d.nominalCell;
        d.cell = next < least ? least : next > most ? most : next;
        updateLevels(d, t0, cell);
    }
    d.start = t0 + 12 * d.cell;
}

// Whether a start cell ends at sample n after a run of high cells; if so, locks onto it.
void huntAt(RobustDecoder& d, uint64_t n)
{
    const double end = static_cast<double>(n);
    if (contrast(d, end) >= startLow) return;
    ToneLevels before = levelsAt(d, static_cast<int64_t>(n) - static_cast<int64_t>(3 * d.nominalCell));
    if (toneSteadiness(before) < steadyRun) return;
    double speed = toneSpeed(d.detector, before);
    if (!(speed > 0.8 && speed < 1.25)) speed = 1.0;
    const double cell = d.nominalCell / speed;

    // Long after any lock the run must be a leader or a gap; right after one, the three
    // high cells that end every byte will do.
    int run = end - d.lockLostAt < 48 * cell ? 3 : 8;
    double sum = 0.0;
    for (int k = 1; k <= run; ++k) sum = sum + contrast(d, end - k * cell);
    if (sum / run < runHigh) return;

    double runEnergy = 0.0;
    for (int k = 1; k <= run; ++k) runEnergy = runEnergy + energy(d, end - k * cell);
    runEnergy = runEnergy / run;
    double t0 = bestFrameStart(d, end - 1.5 * cell, end - 0.5 * cell, cell);
    if (contrast(d, t0 + cell) >= startLow) return;
    // The frame must sound about as loud as the run before it.
    for (int i = 1; i <= 13; ++i)
        if (energy(d, t0 + i * cell) < lostLevel * runEnergy) return;
    bool nextStarts = contrast(d, t0 + 13 * cell) < nextStartLow;
    if (!nextStarts) {
        // A block of one byte: only a frame clear in every cell.
        for (int i = 2; i <= 9; ++i)
            if (std::fabs(contrast(d, t0 + i * cell)) < sureCell) return;
        for (int i = 10; i <= 12; ++i)
            if (contrast(d, t0 + i * cell) < sureCell) return;
    }
    d.locked = true;
    d.start = t0;
    d.cell = cell;
    if (!(d.energyLevel > 0)) setEnergyLevel(d, runEnergy);
}

// Runs the tracker as far as the levels at hand allow: a frame needs its own cells, the
// starts of the frames that may follow a dropout and the search's reach. Until the
// levels reach as far as the tracker waits for, it is not called again.
void track(RobustDecoder& d)
{
    const double produced = static_cast<double>(d.produced);
    double reach;
    for (;;) {
        if (d.locked) {
            reach = d.start + (12 * coastFrames + 1.5) * d.cell + 2;
            if (!d.finished && reach > produced) break;
            // At the end a frame whose data cells the recording does not hold is none.
            if (d.finished && d.start + 10 * d.cell > produced) {
                d.locked = false;
                d.scan = d.produced;
                return;
            }
            trackFrame(d);
        } else {
            reach = static_cast<double>(d.scan) + 15 * d.nominalCell + 2;
            if (d.scan >= d.produced) return;
            if (!d.finished && reach > produced) break;
            huntAt(d, d.scan);
            ++d.scan;
        }
    }
    d.waitUntil = reach > 0 ? static_cast<uint64_t>(std::ceil(reach)) : 0;
}

// The levels of the working samples enter the ring a piece at a time; the tracker
// goes on whenever they reach as far as it waits for.
void takeWorkingSamples(RobustDecoder& d, const double* samples, size_t count)
{
    for (size_t at = 0; at < count; at += levelsPiece) {
        size_t size = count - at < levelsPiece ? count - at : levelsPiece;
        detectTones(d.detector, samples + at, size, d.levels.data());
        for (size_t n = 0; n < size; ++n) d.ring[(d.produced + n) % ringSize] = d.levels[n];
        d.produced += size;
        if (d.produced >= d.waitUntil) track(d);
    }
}

// A sample that is no number counts as silence; an infinite one is clipped, so that
// no filter is ever poisoned.
double safeSample(double x)
{
    if (x != x) return 0.0;
    return x < 0 ? -largestSample : largestSample;
}

}  // namespace

RobustDecoderHandle createRobustDecoder(double sampleRate)
{
    RobustDecoderHandle handle(new RobustDecoder());
    RobustDecoder* d = handle.get();
    d->sampleRate = sampleRate > 0 ? sampleRate : 1;
    setUpDecimator(d->decimator, d->sampleRate);
    double workingRate = d->sampleRate / d->decimator.factor;
    setUpToneDetector(d->detector, workingRate);
    d->nominalCell = workingRate / 1200.0;
    d->ring.assign(ringSize, ToneLevels{0.0f, 0.0f, 0.0f, 0.0f});
    d->levels.assign(levelsPiece, ToneLevels{0.0f, 0.0f, 0.0f, 0.0f});
    d->produced = 0;
    d->waitUntil = 0;
    d->finished = false;
    d->locked = false;
    d->start = 0;
    d->cell = d->nominalCell;
    d->scan = 0;
    d->lockLostAt = -1e300;
    d->ratio = 1.32;
    d->highLevel = d->lowLevel = 0.0;
    setEnergyLevel(*d, 0.0);
    return handle;
}

void feedRobustDecoder(RobustDecoder* d, const float* samples, size_t count)
{
    if (d->finished) return;
    for (size_t at = 0; at < count; at += decimatorPiece) {
        size_t size = count - at < decimatorPiece ? count - at : decimatorPiece;
        d->inputs.resize(size);
        for (size_t k = 0; k < size; ++k) {
            double x = samples[at + k];
            d->inputs[k] = std::fabs(x) <= largestSample ? x : safeSample(x);
        }
        d->working.clear();
        decimate(d->decimator, d->inputs.data(), size, d->working);
        takeWorkingSamples(*d, d->working.data(), d->working.size());
    }
}

void finishRobustDecoder(RobustDecoder* d)
{
    if (d->finished) return;
    d->finished = true;
    track(*d);
}

const std::vector<uint8_t>& robustBytes(const RobustDecoder* d) { return d->bytes; }

const std::vector<SuspectRange>& robustSuspects(const RobustDecoder* d) { return d->suspects; }

const std::vector<double>& robustByteSeconds(const RobustDecoder* d) { return d->byteSeconds; }

void RobustDecoderDeleter::operator()(RobustDecoder* decoder) const { delete decoder; }
