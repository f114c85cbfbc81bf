#include "signal/decimator.h"

#include <cmath>

#include "core/sine.h"

namespace {

const double pi = 3.141592653589793;
const double passEdge = 3400.0;

double portableCosine(double x) { return portableSine(x + pi / 2); }

}  // namespace

void setUpDecimator(Decimator& decimator, double sampleRate)
{
    int factor = static_cast<int>(sampleRate / 9000.0);
    decimator.factor = factor < 1 ? 1 : factor;
    decimator.taps.clear();
    decimator.delay = 0.0;
    decimator.next = 0;
    decimator.phase = 0;
    if (decimator.factor == 1) {
        decimator.history.clear();
        return;
    }
    // A Hamming-windowed sinc whose transition runs from the pass edge to where the
    // working rate folds the pass edge back: about 3.3 / transition taps.
    double workingRate = sampleRate / decimator.factor;
    double transition = workingRate - 2 * passEdge;
    int half = static_cast<int>(std::ceil(3.3 * sampleRate / transition / 2));
    double cutoff = (passEdge + transition / 2) / sampleRate;  // cycles a sample
    double sum = 0.0;
    for (int k = -half; k <= half; ++k) {
        double x = 2 * pi * cutoff * k;
        double sinc = k == 0 ? 2 * cutoff : portableSine(x) / (pi * k);
        double window = 0.54 + 0.46 * portableCosine(pi * k / (half + 1));
        decimator.taps.push_back(sinc * window);
        sum = sum + sinc * window;
    }
    for (double& tap : decimator.taps) tap = tap / sum;
    decimator.delay = half;
    // Zeros before the oldest tap change nothing but let the sum run in lanes of four.
    while (decimator.taps.size() % 4 != 0) decimator.taps.insert(decimator.taps.begin(), 0.0);
    decimator.history.assign(2 * decimator.taps.size(), 0.0);
}
