#include "signal/byte_confidence.h"

#include <cmath>

#include "signal/robust_decoder.h"

namespace {

// Before a recording shows its own, cells are taken to lie at +-0.6 with a spread of
// 0.2, as hiss about 10 dB below the tones leaves them; eight cells' worth, so that the
// first frames soon replace it.
const double priorLevel = 0.6;
const double priorVariance = 0.04;
const double priorWeight = 2;
// The spreads follow the recording over about this many cells of each kind: long enough
// to be steady, short enough to follow a tape whose hiss or level changes.
const double memoryCells = 300;
// A data cell closer to the middle than this many of its spreads is suspect. Hiss has
// heavier tails than a bell curve (it also moves the frame's timing), so the line lies
// where hiss at 4 to 6 dB left at most one wrong byte in 90,000 outside it, and a
// recording at 6 dB has a few hundredths of its bytes inside.
const double bitSpreads = 1.6;
// A start or stop cell closer to the middle than one spread of such cells: the frame
// may not be where the tracker put it. Where the tones are clear that is far from where
// they lie; where a filter blurs them, the middle is what such a cell nears first.
const double framingSpreads = 1.0;
const double smallestVariance = 1e-4;  // contrasts are not measured finer than 0.01

ContrastSpread prior(double level) { return ContrastSpread{level, priorVariance, priorWeight}; }

void take(ContrastSpread& spread, double x)
{
    spread.weight = spread.weight + 1;
    double share = spread.weight < memoryCells ? 1.0 / spread.weight : 1.0 / memoryCells;
    double deviation = x - spread.mean;
    spread.mean = spread.mean + share * deviation;
    spread.variance = (1 - share) * (spread.variance + share * deviation * deviation);
}

double deviationOf(const ContrastSpread& spread)
{
    return std::sqrt(spread.variance > smallestVariance ? spread.variance : smallestVariance);
}

// The kind of data cell b: its own tone and its neighbours', the start cell low before
// bit 0 and the first stop cell high after bit 7, as a frame in place has them.
int kindOf(const FrameContrasts& frame, int b)
{
    bool own = frame.data[b] > 0;
    bool before = b > 0 && frame.data[b - 1] > 0;
    bool after = b == 7 || frame.data[b + 1] > 0;
    return (own ? 4 : 0) + (before ? 2 : 0) + (after ? 1 : 0);
}

}  // namespace

void startConfidenceModel(ConfidenceModel& model)
{
    for (int k = 0; k < 8; ++k) model.bits[k] = prior(k >= 4 ? priorLevel : -priorLevel);
    model.start = prior(-priorLevel);
    model.stops = prior(priorLevel);
}

FrameJudgement judgeFrame(const ConfidenceModel& model, const FrameContrasts& frame)
{
    double weakest = 1e300;
    for (int b = 0; b < 8; ++b) {
        double margin = std::fabs(frame.data[b]) / deviationOf(model.bits[kindOf(frame, b)]);
        if (margin < weakest) weakest = margin;
    }
    double start = -frame.start / deviationOf(model.start) / (frame.startAlone ? bitSpreads : framingSpreads);
    double stop = frame.stops / deviationOf(model.stops) / framingSpreads;
    return FrameJudgement{weakest / bitSpreads, start < stop ? start : stop};
}

void learnFrame(ConfidenceModel& model, const FrameContrasts& frame)
{
    for (int b = 0; b < 8; ++b) take(model.bits[kindOf(frame, b)], frame.data[b]);
    take(model.start, frame.start);
    take(model.stops, frame.stops);
}

float confidenceOf(const FrameJudgement& judgement)
{
    double least = judgement.bits < judgement.framing ? judgement.bits : judgement.framing;
    double bounded = least < 0 ? 0 : least > 2 ? 2 : least;
    return static_cast<float>(suspectConfidence * bounded);
}
