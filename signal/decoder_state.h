#pragma once
// What the parts of the robust decoder share: its state, the frame's layout, the tuning
// numbers more than one part reads, and the readings of the levels, inline because the
// hunt and the tracker make them for every sample and cell.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "signal/byte_confidence.h"
#include "signal/cell_templates.h"
#include "signal/decimator.h"
#include "signal/robust_decoder.h"
#include "signal/tone_detector.h"

// A frame as the tracker reads it, from where its start cell begins: cell k ends k
// cells on. The low start cell, the data cells from the lowest bit, then the high
// cells that end every byte (the encoder writes them before the next start cell, so
// cell 0 is the last of the frame before, or of the leader or gap).
const int startCellEnds = 1;
const int firstBitEnds = 2;  // bit b ends firstBitEnds + b cells on
const int dataBits = 8;
const int firstStopEnds = firstBitEnds + dataBits;
const int stopCells = 3;
const int frameCells = startCellEnds + dataBits + stopCells;

// Working samples: the tracker reaches < 2100 ahead of where it stands, and < 1900
// behind when it takes back the frames before a lock.
const size_t ringSize = 8192;

const double startLow = -0.3;    // contrast below which a start cell is low
const double steadyFrame = 0.3;  // below this a locked frame is hiss, not the tape
const double nextStartLow = -0.2;  // contrast below which a next frame's start cell is low
const int coastFrames = 8;       // frames of lost signal that keep the lock
const double sureCell = 0.5;     // cells this clear feed the level estimates
const double weakCell = 0.3;     // data cells weaker than this do not sound as a frame
// A byte whose frame the tracker placed without hearing it in place (passed over by the
// hunt, or after a splice) is suspect, and at most this sure.
const float placedConfidence = 0.25f;
const double lostLevel = 0.25;   // cells below this share of the usual level: signal lost
// The cell's length follows the tape's speed within these shares of its normal length,
// and a speed the leader tells beyond them is taken for a wrong measurement.
const double shortestCell = 0.8, longestCell = 1.25;
// After a lock is found, or the signal comes back after frames not heard, this many
// frames are read where they fit best, so that the clock pulls in at once.
const int pullInFrames = 8;
// Data that repeats may hold frames clear in every cell at more than one place: a lock
// inside the data is taken only where frames follow longer, up to this many, than at
// every other place.
const int framesCompared = 8;

// A byte of the opening and its frame, to be judged again.
struct OpeningFrame {
    uint32_t index;
    FrameContrasts frame;
    bool equalised;  // how its contrasts were read: by the templates, or by the ratio
    double scale;    // the tones' level ratio, or the templates' tilt, then
};

// What the frames of a lock teach the decoder about the recording: its levels, its
// channel and the spreads its bytes are judged by.
struct Learnt {
    double ratio;        // low tone level over high tone level
    double highLevel, lowLevel, energyLevel;
    // The channel: each tone's mean level in high cells and in low cells, measured on
    // the leading tone and on cells whose tone the framing or a clear decision tells.
    Channel channel;
    bool equalised;      // the high tone lies so far down that cells are told by the templates
    Discriminant discriminant;
    Discriminant after[2];  // for a cell after a low and after a high one
    double tilt;         // equalised: the low tone's level over the high one's, as measured
    double floor;        // added to the levels' sum: a cell far quieter has no contrast
    ConfidenceModel confidence;
};

struct DecoderState : Learnt {
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
    double runFrom;      // hunting: where the high cells now sounding began; negative for none
    double runLength;    // hunting: the length of the last run of high cells that ended
    double runTo;        // and where it ended
    double toneTo;       // hunting: where the last run of a leader or a gap ended; negative for none
    int missedFrames;    // frames after such a run that the hunt passed: bytes, but suspect
    int framesToPullIn;  // locked: frames still read where they fit best
    bool lockedAfterTone;  // the present lock was found after a leader or a gap
    bool foundInData;    // the lock was found again inside the data: its first byte is suspect
    size_t lockFirstByte;  // the first byte of the present lock
    bool everLocked;
    bool startsInside, endsInside;

    // The signal lost while locked, until the frames are found again.
    bool lossPending;
    double lostAt;   // where the first frame not heard was expected
    double lostCell;  // the cell length then: the frames lost are counted at that speed
    double backAt;    // where the signal came back; negative while still lost
    double heardTo;   // the last place heard since

    Learnt beforeLock;  // as it stood before the present lock, which a lone frame undoes
    std::vector<OpeningFrame> opening;  // the opening's bytes the model alone judged
    bool openingJudged;

    std::vector<uint8_t> bytes;
    std::vector<double> byteSeconds;
    std::vector<float> confidences;
    std::vector<SuspectRange> suspects;
    std::vector<SignalLoss> losses;
};

inline ToneLevels levelsAt(const DecoderState& d, int64_t n)
{
    if (n < 0 || static_cast<uint64_t>(n) >= d.produced ||
        static_cast<uint64_t>(n) + ringSize <= d.produced)
        return ToneLevels{0.0f, 0.0f, 0.0f, 0.0f};
    return d.ring[static_cast<size_t>(n) % ringSize];
}

// The high and low levels at a time between samples, interpolated.
inline void levelsBetween(const DecoderState& d, double t, double& high, double& low)
{
    double base = std::floor(t);
    double f = t - base;
    int64_t n = static_cast<int64_t>(base);
    ToneLevels a = levelsAt(d, n), b = levelsAt(d, n + 1);
    high = a.high + (b.high - a.high) * f;
    low = a.low + (b.low - a.low) * f;
}

// +1 for a pure high cell ending at t, -1 for a pure low one, near 0 for neither.
inline double contrast(const DecoderState& d, double t)
{
    double high, low;
    levelsBetween(d, t, high, low);
    if (d.equalised) return told(d.discriminant, high, low);
    double h = high * d.ratio;
    return (h - low) / (h + low + d.floor);
}

// The contrast of a cell for judging how sure its byte is: where the ratio reads the
// cells, the tones' difference over the frame's mean level rather than over the cell's
// own, so that a cell whose tone hiss took away does not look as sure as a loud one.
inline double levelContrast(const DecoderState& d, double t, double level)
{
    double high, low;
    levelsBetween(d, t, high, low);
    return (high * d.ratio - low) / level;
}

inline double energy(const DecoderState& d, double t)
{
    double high, low;
    levelsBetween(d, t, high, low);
    return high * (d.equalised ? d.tilt : d.ratio) + low;
}

// The contrast of a cell whose previous cell was high or low: where the templates tell
// the cells, those of cells after such a one.
inline double contrastAfter(const DecoderState& d, double t, bool previousHigh)
{
    if (!d.equalised) return contrast(d, t);
    double high, low;
    levelsBetween(d, t, high, low);
    return told(d.after[previousHigh ? 1 : 0], high, low);
}

// How well a frame whose start cell begins at t0 fits: the high cell before it, the low
// start cell, the eight data cells either way, the three high cells after them.
inline double frameFit(const DecoderState& d, double t0, double cell)
{
    double fit = contrast(d, t0) - contrast(d, t0 + startCellEnds * cell);
    for (int i = firstBitEnds; i < firstStopEnds; ++i) fit = fit + std::fabs(contrast(d, t0 + i * cell));
    for (int i = firstStopEnds; i <= frameCells; ++i) fit = fit + contrast(d, t0 + i * cell);
    return fit;
}

inline double meanFrameEnergy(const DecoderState& d, double t0, double cell)
{
    double sum = 0.0;
    for (int i = startCellEnds; i <= frameCells; ++i) sum = sum + energy(d, t0 + i * cell);
    return sum / frameCells;
}

// Where working sample t lies in the recording: sample n stands for input sample
// n D + D - 1, less the filter's delay.
inline double secondsAt(const DecoderState& d, double t)
{
    const Decimator& m = d.decimator;
    double input = t * m.factor + (m.factor - 1) - m.delay;
    return input > 0 ? input / d.sampleRate : 0.0;
}

// What the reading of contrasts hangs on: the templates' tilt where they tell the cells,
// otherwise the level ratio.
inline double readingScale(const DecoderState& d) { return d.equalised ? d.tilt : d.ratio; }

// The levels of the tones and the channel's templates (channel_levels.cpp).
void setEnergyLevel(DecoderState& d, double level);
void firstTemplates(DecoderState& d, double t0, double cell, int run);
void followingTemplates(DecoderState& d, double t0, double cell);
void updateLevels(DecoderState& d, double t0, double cell);

// Bytes judged a second time and the suspect ranges (second_judgement.cpp).
void markSuspect(DecoderState& d, uint32_t index, double seconds, SuspectReason reason);
void doubtLoneFrame(DecoderState& d);
void judgeOpeningAgain(DecoderState& d);

// Where frames fit and whether they sound (frame_fit.cpp).
double bestFrameStart(const DecoderState& d, double from, double to, double cell);
bool startsFrame(const DecoderState& d, double t0, double cell);
bool soundsAsFrame(const DecoderState& d, double t0, double cell, double level);
bool framesFollow(const DecoderState& d, double t0, double cell, int count, double level);

// The tracker (frame_tracker.cpp).
void trackFrame(DecoderState& d);

// The hunt and the losses (frame_hunt.cpp).
void endLoss(DecoderState& d, double t0, double until, bool inTone);
void huntAt(DecoderState& d, uint64_t n);
