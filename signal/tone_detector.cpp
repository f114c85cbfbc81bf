#include "signal/tone_detector.h"

#include <cmath>

#include "core/sine.h"

namespace {

const double pi = 3.141592653589793;
const double highTone = 2400.0;
const double lowTone = 1200.0;
// Below the low tone by an octave: a fourth-order high-pass there keeps both tones and
// takes mains hum 80 dB down, DC entirely.
const double highPassCorner = 600.0;
// How quickly the measured speed follows: an average over about 32 cells.
const double speedCells = 32.0;

double portableCosine(double x) { return portableSine(x + pi / 2); }

Biquad highPassSection(double rate, double corner, double q)
{
    double w = 2 * pi * corner / rate;
    double alpha = portableSine(w) / (2 * q);
    double cosw = portableCosine(w);
    double a0 = 1 + alpha;
    Biquad s = {};
    s.b0 = (1 + cosw) / 2 / a0;
    s.b1 = -(1 + cosw) / a0;
    s.b2 = s.b0;
    s.a1 = -2 * cosw / a0;
    s.a2 = (1 - alpha) / a0;
    return s;
}

double filtered(Biquad& s, double x)
{
    // The last output's term last: the only one the next sample waits for.
    double y = s.b0 * x + s.b1 * s.x1 + s.b2 * s.x2 - s.a2 * s.y2 - s.a1 * s.y1;
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
    return y;
}

}  // namespace

void setUpToneDetector(ToneDetector& detector, double workingRate)
{
    detector.workingRate = workingRate;
    int window = static_cast<int>(std::lround(workingRate / 1200.0));
    detector.window = window < 2 ? 2 : window;
    // The two sections' Q values of a fourth-order Butterworth response.
    detector.highPass[0] = highPassSection(workingRate, highPassCorner, 0.5411961001461970);
    detector.highPass[1] = highPassSection(workingRate, highPassCorner, 1.3065629648763766);
    detector.recent.assign(2 * detector.window, 0.0);
    detector.next = 0;
    detector.tones.clear();
    for (int k = 0; k < detector.window; ++k) {
        double high = 2 * pi * highTone * k / workingRate;
        double low = 2 * pi * lowTone * k / workingRate;
        detector.tones.push_back(portableCosine(high));
        detector.tones.push_back(portableCosine(low));
        detector.tones.push_back(-portableSine(high));
        detector.tones.push_back(-portableSine(low));
    }
    detector.highRe.assign(detector.window, 0.0);
    detector.highIm.assign(detector.window, 0.0);
    detector.highNext = 0;
    detector.turnRe = 0.0;
    detector.turnIm = 0.0;
    double ownTurn = 2 * pi * highTone * detector.window / workingRate;
    detector.ownTurnCos = portableCosine(ownTurn);
    detector.ownTurnSin = portableSine(ownTurn);
}

ToneLevels detectTones(ToneDetector& d, double sample)
{
    double y = filtered(d.highPass[1], filtered(d.highPass[0], sample));
    const size_t w = static_cast<size_t>(d.window);
    d.recent[d.next] = y;
    d.recent[d.next + w] = y;
    d.next = d.next + 1 == w ? 0 : d.next + 1;
    const double* x = d.recent.data() + d.next;  // oldest first

    // Each correlation in two partial sums, even and odd samples, so that the chains of
    // additions are half as long.
    const double* tones = d.tones.data();
    double even[4] = {0, 0, 0, 0}, odd[4] = {0, 0, 0, 0};
    size_t k = 0;
    for (; k + 1 < w; k += 2) {
        for (int j = 0; j < 4; ++j) even[j] = even[j] + x[k] * tones[4 * k + j];
        for (int j = 0; j < 4; ++j) odd[j] = odd[j] + x[k + 1] * tones[4 * k + 4 + j];
    }
    if (k < w)
        for (int j = 0; j < 4; ++j) even[j] = even[j] + x[k] * tones[4 * k + j];
    double hr = even[0] + odd[0], lr = even[1] + odd[1];
    double hi = even[2] + odd[2], li = even[3] + odd[3];
    double high = std::sqrt(hr * hr + hi * hi);
    double low = std::sqrt(lr * lr + li * li);

    // A tone of frequency f turns the correlation by 2 pi f w / rate from one window to
    // the next; the high tone's own turn is taken out, what is left measures f - 2400.
    // Only where the high tone clearly dominates does it take part.
    double pr = d.highRe[d.highNext], pi_ = d.highIm[d.highNext];
    d.highRe[d.highNext] = hr;
    d.highIm[d.highNext] = hi;
    d.highNext = d.highNext + 1 == w ? 0 : d.highNext + 1;
    double zr = hr * pr + hi * pi_;
    double zi = hi * pr - hr * pi_;
    double size = high > 2 * low ? std::sqrt(zr * zr + zi * zi) : 0.0;
    if (size > 0) {
        double c = d.ownTurnCos, s = d.ownTurnSin;
        double inverse = 1.0 / size;
        double ur = (zr * c + zi * s) * inverse;
        double ui = (zi * c - zr * s) * inverse;
        double a = 1.0 / (speedCells * d.workingRate / 1200.0);
        d.turnRe = d.turnRe + a * (ur - d.turnRe);
        d.turnIm = d.turnIm + a * (ui - d.turnIm);
    }

    ToneLevels levels;
    levels.high = static_cast<float>(high);
    levels.low = static_cast<float>(low);
    levels.turnRe = static_cast<float>(d.turnRe);
    levels.turnIm = static_cast<float>(d.turnIm);
    return levels;
}

double toneSpeed(const ToneDetector& d, const ToneLevels& levels)
{
    // A tone of frequency f turns by 2 pi f w / rate from one window to the next.
    double turn = std::atan2(levels.turnIm, levels.turnRe);
    return 1.0 + turn * d.workingRate / (2 * pi * d.window) / highTone;
}

double toneSteadiness(const ToneLevels& levels)
{
    return std::sqrt(double(levels.turnRe) * levels.turnRe + double(levels.turnIm) * levels.turnIm);
}
