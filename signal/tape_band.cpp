#include "signal/tape_band.h"

#include <cmath>

namespace {

// Butterworth edges lie at half power: these keep about 95 % of the 1200 Hz tone and
// 90 % of the 2400 Hz one.
const double lowEdge = 800.0;
const double highEdge = 3200.0;
}  // namespace

void startTapeBandMeter(TapeBandMeter& meter, int channels, double sampleRate)
{
    // Below 7112 samples a second the band's top lies beyond 0.45 of the rate, where
    // the transform would fold it; the band then ends there.
    double top = highEdge < 0.45 * sampleRate ? highEdge : 0.45 * sampleRate;
    BandChannel channel = BandChannel();
    for (int k = 0; k < 2; ++k) {
        channel.sections[k] = butterworthSection(lowEdge, sampleRate, butterworthQ[k], true);
        channel.sections[2 + k] = butterworthSection(top, sampleRate, butterworthQ[k], false);
    }
    meter.channels.assign(static_cast<size_t>(channels > 0 ? channels : 0), channel);
    meter.frames = 0;
}

void measureTapeBand(TapeBandMeter& meter, const float* samples, size_t frames)
{
    const size_t channels = meter.channels.size();
    for (size_t c = 0; c < channels; ++c) {
        BandChannel& ch = meter.channels[c];
        // The high-pass starts as if the first sample had always been there, so that a
        // channel's offset does not ring through the band as a step.
        if (meter.frames == 0 && frames > 0) ch.sections[0].x1 = ch.sections[0].x2 = samples[c];
        for (size_t f = 0; f < frames; ++f) {
            double x = samples[f * channels + c];
            ch.sum += x;
            ch.sumOfSquares += x * x;
            double v = x;
            for (int k = 0; k < 4; ++k) {
                Biquad& s = ch.sections[k];
                double y = s.b0 * v + s.b1 * s.x1 + s.b2 * s.x2 - s.a1 * s.y1 - s.a2 * s.y2;
                // A decaying state would otherwise sink into subnormal numbers, which
                // are slow, and may ring there for ever.
                if (std::fabs(y) < 1e-30) y = 0.0;
                s.x2 = s.x1;
                s.x1 = v;
                s.y2 = s.y1;
                s.y1 = y;
                v = y;
            }
            ch.bandSquares += v * v;
        }
    }
    meter.frames += frames;
}

double tapeBandShare(const TapeBandMeter& meter, int channel)
{
    const BandChannel& ch = meter.channels[static_cast<size_t>(channel)];
    if (meter.frames == 0) return 0.0;
    double n = static_cast<double>(meter.frames);
    double mean = ch.sum / n;
    double power = ch.sumOfSquares / n - mean * mean;
    return power > 0.0 ? ch.bandSquares / n / power : 0.0;
}

int bestTapeChannel(const TapeBandMeter& meter)
{
    int best = 0;
    for (int c = 1; c < static_cast<int>(meter.channels.size()); ++c)
        if (tapeBandShare(meter, c) > tapeBandShare(meter, best)) best = c;
    return best;
}
