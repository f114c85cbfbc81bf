#include "signal/decoder_state.h"

#include <cmath>

// Where a frame fits best, and whether frames sound as the tape's.
namespace {

const double searchStep = 0.25;  // working samples: the finest step of the search

}  // namespace

// The best fitting frame start within from ... to: whole samples first, then halves and
// quarters about the best.
double bestFrameStart(const DecoderState& d, double from, double to, double cell)
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

// Whether a frame heard as the tape starts at t0: a low start cell, as loud as usual.
bool startsFrame(const DecoderState& d, double t0, double cell)
{
    double end = t0 + startCellEnds * cell;
    return contrast(d, end) < nextStartLow && energy(d, end) >= lostLevel * d.energyLevel &&
           toneSteadiness(levelsAt(d, static_cast<int64_t>(end))) >= steadyFrame;
}

// Whether a frame whose start cell begins at t0 sounds as one: a low start cell,
// clear data cells, every cell at least as loud as signal lost leaves of `level`.
bool soundsAsFrame(const DecoderState& d, double t0, double cell, double level)
{
    if (contrast(d, t0 + startCellEnds * cell) >= startLow) return false;
    for (int i = firstBitEnds; i < firstStopEnds; ++i)
        if (std::fabs(contrast(d, t0 + i * cell)) < weakCell) return false;
    for (int i = startCellEnds; i <= frameCells; ++i)
        if (energy(d, t0 + i * cell) < lostLevel * level) return false;
    return true;
}

// Whether `count` frames follow one another from t0 at this cell length, each as the
// tape sounds it after three clear high cells, its tone steady.
bool framesFollow(const DecoderState& d, double t0, double cell, int count, double level)
{
    for (int j = 0; j < count; ++j) {
        const double t = t0 + frameCells * j * cell;
        if (contrast(d, t + startCellEnds * cell) >= startLow) return false;
        for (int k = 0; k < stopCells; ++k)
            if (contrast(d, t - k * cell) < sureCell) return false;
        const double startEnd = t + startCellEnds * cell;
        if (toneSteadiness(levelsAt(d, static_cast<int64_t>(startEnd))) < steadyFrame) return false;
        if (!soundsAsFrame(d, t, cell, level)) return false;
    }
    return true;
}
