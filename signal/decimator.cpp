#include "signal/decimator.h"

#include <cmath>
#include <cstddef>

#include "core/sine.h"

namespace {

const double pi = 3.141592653589793;
const double passEdge = 3400.0;


}  // namespace

void setUpDecimator(Decimator& decimator, double sampleRate)
{
    int factor = static_cast<int>(sampleRate / 9000.0);
    decimator.factor = factor < 1 ? 1 : factor;
    decimator.taps.clear();
    decimator.delay = 0.0;
    decimator.phase = 0;
    decimator.inputs.clear();
    if (decimator.factor == 1) return;
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
    decimator.inputs.assign(decimator.taps.size() - 1, 0.0);
}

void decimate(Decimator& decimator, const double* samples, size_t count,
              std::vector<double>& output)
{
    if (decimator.factor == 1) {
        output.insert(output.end(), samples, samples + count);
        return;
    }
    std::vector<double>& inputs = decimator.inputs;
    const size_t length = decimator.taps.size();
    inputs.insert(inputs.end(), samples, samples + count);
    // The window of the piece's j-th input, the last `length` inputs, starts at inputs[j].
    const double* taps = decimator.taps.data();
    // The next output follows input factor - phase - 1 of the piece, then every factor-th.
    const size_t factor = static_cast<size_t>(decimator.factor);
    size_t j = factor - static_cast<size_t>(decimator.phase) - 1;
    decimator.phase = static_cast<int>((static_cast<size_t>(decimator.phase) + count) % factor);
    for (; j < count; j += factor) {
        // Four partial sums, each its own chain of additions, so that the processor need
        // not wait for one addition before the next; the compiler pairs them in registers.
        const double* window = inputs.data() + j;
        double sum[4] = {0.0, 0.0, 0.0, 0.0};
        for (size_t k = 0; k < length; k += 4) {
            sum[0] = sum[0] + taps[k] * window[k];
            sum[1] = sum[1] + taps[k + 1] * window[k + 1];
            sum[2] = sum[2] + taps[k + 2] * window[k + 2];
            sum[3] = sum[3] + taps[k + 3] * window[k + 3];
        }
        output.push_back((sum[0] + sum[1]) + (sum[2] + sum[3]));
    }
    inputs.erase(inputs.begin(), inputs.begin() + static_cast<std::ptrdiff_t>(count));
}
