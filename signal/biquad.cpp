#include "signal/biquad.h"

#include "core/sine.h"

Biquad butterworthSection(double cutoff, double sampleRate, double q, bool highPass)
{
    const double pi = 3.141592653589793;
    double w = 2.0 * pi * cutoff / sampleRate;
    double cosine = portableCosine(w);
    double alpha = portableSine(w) / (2.0 * q);
    double a0 = 1.0 + alpha;
    double b1 = highPass ? -(1.0 + cosine) : 1.0 - cosine;
    double b0 = (highPass ? 1.0 + cosine : 1.0 - cosine) / 2.0;
    Biquad section = {};
    section.b0 = b0 / a0;
    section.b1 = b1 / a0;
    section.b2 = b0 / a0;
    section.a1 = -2.0 * cosine / a0;
    section.a2 = (1.0 - alpha) / a0;
    return section;
}
