#include "signal/tone_detector.h"

#include <cmath>
#include <cstddef>

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

// One sample through a section; the last output's term last, the only one the next
// sample waits for.
inline double filtered(Biquad& s, double x)
{
    double y = s.b0 * x + s.b1 * s.x1 + s.b2 * s.x2 - s.a2 * s.y2 - s.a1 * s.y1;
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
    return y;
}

// Filters x[0] ... x[count - 1] in place through both sections, each sample through both
// before the next, so that the processor overlaps the two recursions. The sections are
// copied to locals, which no store to x can be taken to change.
void highPassInPlace(Biquad (&sections)[2], double* x, size_t count)
{
    Biquad first = sections[0], second = sections[1];
    for (size_t n = 0; n < count; ++n) x[n] = filtered(second, filtered(first, x[n]));
    sections[0] = first;
    sections[1] = second;
}

}  // namespace

void setUpToneDetector(ToneDetector& detector, double workingRate)
{
    detector.workingRate = workingRate;
    int window = static_cast<int>(std::lround(workingRate / 1200.0));
    detector.window = window < 2 ? 2 : window;
    for (int k = 0; k < 2; ++k)
        detector.highPass[k] = butterworthSection(highPassCorner, workingRate, butterworthQ[k], true);
    detector.recent.assign(detector.window - 1, 0.0);
    detector.highCos.clear();
    detector.highSin.clear();
    detector.lowCos.clear();
    detector.lowSin.clear();
    for (int k = 0; k < detector.window; ++k) {
        double high = 2 * pi * highTone * k / workingRate;
        double low = 2 * pi * lowTone * k / workingRate;
        detector.highCos.push_back(portableCosine(high));
        detector.highSin.push_back(-portableSine(high));
        detector.lowCos.push_back(portableCosine(low));
        detector.lowSin.push_back(-portableSine(low));
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

void detectTones(ToneDetector& d, const double* samples, size_t count, ToneLevels* levels)
{
    const size_t w = static_cast<size_t>(d.window);
    std::vector<double>& x = d.recent;
    x.insert(x.end(), samples, samples + count);
    highPassInPlace(d.highPass, x.data() + w - 1, count);

    // The correlations over the window ending at each sample, the window's oldest sample
    // x[n] first. Sample by sample within one term, so that the loops over n run two
    // samples at a time, and each sum still adds its terms oldest first.
    d.hr.assign(count, 0.0);
    d.hi.assign(count, 0.0);
    d.lr.assign(count, 0.0);
    d.li.assign(count, 0.0);
    double* hr = d.hr.data();
    double* hi = d.hi.data();
    double* lr = d.lr.data();
    double* li = d.li.data();
    for (size_t k = 0; k < w; ++k) {
        const double* xk = x.data() + k;
        const double hc = d.highCos[k], hs = d.highSin[k], lc = d.lowCos[k], ls = d.lowSin[k];
        for (size_t n = 0; n < count; ++n) {
            hr[n] = hr[n] + xk[n] * hc;
            hi[n] = hi[n] + xk[n] * hs;
            lr[n] = lr[n] + xk[n] * lc;
            li[n] = li[n] + xk[n] * ls;
        }
    }
    x.erase(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(count));

    // The running values in locals: the stores below cannot then be taken to change them.
    double* highRe = d.highRe.data();
    double* highIm = d.highIm.data();
    size_t highNext = d.highNext;
    double turnRe = d.turnRe, turnIm = d.turnIm;
    const double c = d.ownTurnCos, s = d.ownTurnSin;
    const double a = 1.0 / (speedCells * d.workingRate / 1200.0);
    for (size_t n = 0; n < count; ++n) {
        double high = std::sqrt(hr[n] * hr[n] + hi[n] * hi[n]);
        double low = std::sqrt(lr[n] * lr[n] + li[n] * li[n]);

        // A tone of frequency f turns the correlation by 2 pi f w / rate from one window
        // to the next; the high tone's own turn is taken out, what is left measures
        // f - 2400. Only where the high tone clearly dominates does it take part.
        double pr = highRe[highNext], pi_ = highIm[highNext];
        highRe[highNext] = hr[n];
        highIm[highNext] = hi[n];
        highNext = highNext + 1 == w ? 0 : highNext + 1;
        double zr = hr[n] * pr + hi[n] * pi_;
        double zi = hi[n] * pr - hr[n] * pi_;
        double size = high > 2 * low ? std::sqrt(zr * zr + zi * zi) : 0.0;
        if (size > 0) {
            double inverse = 1.0 / size;
            double ur = (zr * c + zi * s) * inverse;
            double ui = (zi * c - zr * s) * inverse;
            turnRe = turnRe + a * (ur - turnRe);
            turnIm = turnIm + a * (ui - turnIm);
        }

        levels[n].high = static_cast<float>(high);
        levels[n].low = static_cast<float>(low);
        levels[n].turnRe = static_cast<float>(turnRe);
        levels[n].turnIm = static_cast<float>(turnIm);
    }
    d.highNext = highNext;
    d.turnRe = turnRe;
    d.turnIm = turnIm;
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
