#include "core/cell_samples.h"

#include <cmath>

#include "core/lanes.h"
#include "core/sine_parts.h"

// The estimate. With Θ(t) = t * pi * frequency taken exactly, the sample at t_k is
// sampleFor(128.5 - a * portableSine(θ_k)), θ_k the rounded Θ(t_k). Its sine is
// estimated as sin(Θ(t_0) + k * β) = sin Θ(t_0) cos kβ + cos Θ(t_0) sin kβ with
// β = Θ(step): two sines at t_0 and two entries of a table built once per step and tone.
// The estimate lies within E = 2e-12 + 4e-14 * (θ_last + g_last) of portableSine(θ_k),
// θ_last the cell's last angle and g_last the table's last angle used, both below the
// reduction limit:
//  - portableSine is within 1e-15 of the true sine there (measured: 1.9e-16); the six
//    sines involved add 6e-15;
//  - each angle is two roundings, 2.3e-16 * θ, from Θ (and θ + pi/2 one more);
//  - every addition t + step is rounded by at most 2^-53 * t_last, so Θ(t_k) lies within
//    k * 2^-53 * θ_last <= 2.9e-14 * θ_last of Θ(t_0) + k * β (k below 256);
//  - a table angle k * fl(Θ(step)) is within 3.4e-16 of its own size of k * β, and
//    adding pi/2 for the cosine rounds once more: below 9e-16 * g_last for the pair.
// The levels are within 1.1e-11 of their real values for |a| <= 1e4 (the exact one
// rounds twice, the estimate five times). So the true level lies within the margin
// 2|a|E + 1e-10 of the estimate, and where truncating both ends of that margin gives the
// same integer, the truncation of the true level is that integer. Truncation then
// clipping to 0 ... 255 is sampleFor for every level that is a number. Elsewhere (far
// from one in millions of samples) the sample is computed exactly.
namespace {

const double pi = 3.141592653589793;
const double halfPi = pi / 2;

// cos and sin of k * fl(step * pi * frequency) for k below cellSampleBlock.
struct Rotation {
    double step, frequency;
    double angleStep;
    bool inRange;  // every table angle below the reduction limit
    double cosines[cellSampleBlock], sines[cellSampleBlock];
};

// One table per tone, rebuilt when the rate changes.
Rotation rotations[2];

const Rotation& rotationFor(double step, double frequency)
{
    Rotation& rotation = rotations[frequency > 3600];
    if (rotation.step == step && rotation.frequency == frequency) return rotation;
    rotation.step = step;
    rotation.frequency = frequency;
    rotation.angleStep = step * pi * frequency;
    double last = static_cast<double>(cellSampleBlock - 1) * rotation.angleStep;
    rotation.inRange = rotation.angleStep >= 0 && last < reductionLimit;
    if (!rotation.inRange) return rotation;
    double angles[cellSampleBlock];
    for (size_t k = 0; k < cellSampleBlock; ++k)
        angles[k] = static_cast<double>(k) * rotation.angleStep;
    portableSines(angles, rotation.sines, cellSampleBlock);
    for (double& angle : angles) angle = angle + halfPi;
    portableSines(angles, rotation.cosines, cellSampleBlock);
    return rotation;
}

}  // namespace

void cellSamples(const double* t, size_t count, double step, double frequency, double amplitude,
                 uint8_t* samples)
{
    if (count == 0) return;
    double first = t[0] * pi * frequency, last = t[count - 1] * pi * frequency;
    bool estimated = count <= cellSampleBlock && std::fabs(amplitude) <= 1e4 && frequency > 0 &&
                     first >= 0 && last < reductionLimit;
    const Rotation* rotation = estimated ? &rotationFor(step, frequency) : nullptr;
    if (!rotation || !rotation->inRange) {
        waveSamples(t, count, frequency, amplitude, samples);
        return;
    }
    double seedAngles[2] = {first, first + halfPi}, seeds[2];
    portableSines(seedAngles, seeds, 2);
    double tableLast = static_cast<double>(count - 1) * rotation->angleStep;
    double bound = 2e-12 + 4e-14 * (last + tableLast);
    double margin = 2 * std::fabs(amplitude) * bound + 1e-10;
    uint32_t undecided =
        estimatedSamples(rotation->cosines, rotation->sines, count, amplitude * seeds[0],
                         amplitude * seeds[1], 128.5 - margin, 128.5 + margin, samples);
    for (; undecided != 0; undecided &= undecided - 1) {
        size_t from = 16 * static_cast<size_t>(__builtin_ctz(undecided));
        waveSamples(t + from, count - from < 16 ? count - from : 16, frequency, amplitude,
                    samples + from);
    }
}
