#include "signal/decoder_state.h"

#include <cmath>

// The levels of the tones and the channel's templates, as the frames in place teach them.
namespace {

// Frames after a first lock that measure the channel before the first is told: the
// hunt reads that far ahead.
const int measuredFrames = 8;
// Each clear cell moves its tone's level, and each frame the usual loudness, by these
// shares: memories of about twenty cells and ten frames, longer than a flutter.
const double levelFollow = 0.05;
const double energyFollow = 0.1;
// No recording chain tilts the low tone's level over the high one's beyond these bounds.
const double fewestRatio = 0.5, mostRatio = 4.0;
const double tiny = 1e-9;        // digital silence: no contrast at all
const double floorShare = 0.05;  // of the usual level: far quieter cells have little contrast

// Whether the high tone lies so far below the low one that the ratio, which no
// recording chain tilts beyond mostRatio, cannot equalise it: the high tone's level then
// tells little beside the noise, and the templates tell the cells. Where those of the
// cells after a low or a high one are not measured yet, all cells' stand in.
void equalise(DecoderState& d)
{
    const Templates& m = d.channel.any;
    d.equalised = m.highInHigh > 0 && m.lowInLow > mostRatio * m.highInHigh && discriminantOf(m, d.discriminant);
    if (!d.equalised) return;
    d.tilt = m.lowInLow / m.highInHigh;
    for (int k = 0; k < 2; ++k)
        if (!discriminantOf(d.channel.after[k], d.after[k])) d.after[k] = d.discriminant;
}

// The templates follow the frame at t0: its start cell is low after a high one, its stop
// cells high, its data cells as they were told where that was clear.
void updateTemplates(DecoderState& d, double t0, double cell)
{
    bool previousKnown = true, previousHigh = true;
    for (int i = startCellEnds; i <= frameCells; ++i) {
        double t = t0 + i * cell;
        bool high;
        if (i == startCellEnds) {
            high = false;
        } else if (i >= firstStopEnds) {
            high = true;
        } else {
            double c = previousKnown ? contrastAfter(d, t, previousHigh) : contrast(d, t);
            if (std::fabs(c) < sureCell) {
                previousKnown = false;
                continue;
            }
            high = c > 0;
        }
        double h, l;
        levelsBetween(d, t, h, l);
        followCell(d.channel, levelFollow, h, l, high, previousKnown, previousHigh);
        previousKnown = true;
        previousHigh = high;
    }
    equalise(d);
}

}  // namespace

void setEnergyLevel(DecoderState& d, double level)
{
    d.energyLevel = level;
    d.floor = tiny + floorShare * level;
}

// The first measure of the channel, before the first frame is told: the run of high
// cells whose end starts the frame at t0, and its start cell.
void firstTemplates(DecoderState& d, double t0, double cell, int run)
{
    Templates& m = d.channel.any;
    double highSum = 0.0, lowSum = 0.0;
    for (int k = 0; k < run; ++k) {
        double h, l;
        levelsBetween(d, t0 - k * cell, h, l);
        highSum = highSum + h;
        lowSum = lowSum + l;
    }
    m.highInHigh = highSum / run;
    m.lowInHigh = lowSum / run;
    levelsBetween(d, t0 + startCellEnds * cell, m.highInLow, m.lowInLow);
    d.channel.after[0] = Templates{0.0, 0.0, 0.0, 0.0};
    d.channel.after[1] = m;
    equalise(d);
}

// Then the frames that follow, as far as the tracker reads ahead: the cells of the
// leading tone alone would teach high cells that no low cell before them rings into.
void followingTemplates(DecoderState& d, double t0, double cell)
{
    for (int j = 0; j < measuredFrames && t0 + frameCells * (j + 1) * cell < d.produced; ++j)
        updateTemplates(d, t0 + frameCells * j * cell, cell);
}

void updateLevels(DecoderState& d, double t0, double cell)
{
    updateTemplates(d, t0, cell);
    for (int i = startCellEnds; i <= frameCells; ++i) {
        double t = t0 + i * cell;
        double c = contrast(d, t);
        if (std::fabs(c) < sureCell) continue;
        double high, low;
        levelsBetween(d, t, high, low);
        if (c > 0)
            d.highLevel = d.highLevel > 0 ? d.highLevel + levelFollow * (high - d.highLevel) : high;
        else
            d.lowLevel = d.lowLevel > 0 ? d.lowLevel + levelFollow * (low - d.lowLevel) : low;
    }
    if (d.highLevel > 0 && d.lowLevel > 0) {
        double ratio = d.lowLevel / d.highLevel;
        d.ratio = ratio < fewestRatio ? fewestRatio : ratio > mostRatio ? mostRatio : ratio;
    }
    setEnergyLevel(d, d.energyLevel + energyFollow * (meanFrameEnergy(d, t0, cell) - d.energyLevel));
}
