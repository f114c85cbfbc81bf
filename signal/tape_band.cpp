#include "signal/tape_band.h"

#include <cmath>

#include "core/sine.h"

namespace {

const double pi = 3.141592653589793;
// Butterworth edges lie at half power: these keep about 95 % of the 1200 Hz tone and
// 90 % of the 2400 Hz one.
const double lowEdge = 800.0;
const double highEdge = 3200.0;
// The Q of the two sections of a fourth-order Butterworth filter.
const double butterworthQ[2] = {0.5411961001461970, 1.3065629648763766};

// A Butterworth section by the bilinear transform, as a high-pass or a low-pass.
BandSection section(double cutoff, double sampleRate, double q, bool highPass)
{
    double w = 2.0 * pi * cutoff / sampleRate;
    double cosine = portableSine(w + pi / 2.0);
    double alpha = portableSine(w) / (2.0 * q);
    double a0 = 1.0 + alpha;
    double b1 = highPass ? -(1.0 + cosine) : 1.0 - cosine;
    double b0 = (highPass ? 1.0 + cosine : 1.0 - cosine) / 2.0;
    return {b0 / a0, b1 / a0, b0 / a0, -2.0 * cosine / a0, (1.0 - alpha) / a0};
}

}  // namespace

void startTapeBandMeter(TapeBandMeter& meter, int channels, double sampleRate)
{
    // Below 7112 samples a second the band's top lies beyond 0.45 of the rate, where
    // the transform would fold it; the band then ends there.
    double top = highEdge < 0.45 * sampleRate ? highEdge : 0.45 * sampleRate;
    for (int k = 0; k < 2; ++k) {
        meter.sections[k] = section(lowEdge, sampleRate, butterworthQ[k], true);
        meter.sections[2 + k] = section(top, sampleRate, butterworthQ[k], false);
    }
    meter.channels.assign(static_cast<size_t>(channels > 0 ? channels : 0), BandChannel());
    meter.frames = 0;
}

void measureTapeBand(TapeBandMeter& meter, const float* samples, size_t frames)
{
    const size_t channels = meter.channels.size();
    for (size_t c = 0; c < channels; ++c) {
        BandChannel& ch = meter.channels[c];
        // The high-pass starts as if the first sample had always been there, so that a
        // channel's offset does not ring through the band as a step.
        if (meter.frames == 0 && frames > 0) ch.x1[0] = ch.x2[0] = samples[c];
        for (size_t f = 0; f < frames; ++f) {
            double x = samples[f * channels + c];
            ch.sum += x;
            ch.sumOfSquares += x * x;
            double v = x;
            for (int k = 0; k < 4; ++k) {
                const BandSection& s = meter.sections[k];
                double y = s.b0 * v + s.b1 * ch.x1[k] + s.b2 * ch.x2[k] - s.a1 * ch.y1[k] -
                           s.a2 * ch.y2[k];
                // A decaying state would otherwise sink into subnormal numbers, which
                // are slow, and may ring there for ever.
                if (std::fabs(y) < 1e-30) y = 0.0;
                ch.x2[k] = ch.x1[k];
                ch.x1[k] = v;
                ch.y2[k] = ch.y1[k];
                ch.y1[k] = y;
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
