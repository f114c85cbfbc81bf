#include "core/cell_samples.h"

#include <cmath>
#include <limits>

#include "core/cell_times.h"
#include "core/lanes.h"
#include "core/sine_parts.h"

// The estimate. With Θ(t) = t * pi * frequency taken exactly, the sample at t_k is
// sampleFor(128.5 - a * portableSine(θ_k)), θ_k the rounded Θ(t_k). Its sine is
// estimated as sin(Θ(t_0) + k * β) = sin Θ(t_0) cos kβ + cos Θ(t_0) sin kβ with
// β = Θ(step): two seeds at t_0 and two entries of a table built once per step and tone.
// The estimate lies within E = 2e-12 + 4e-14 * (θ_last + g_last) of portableSine(θ_k),
// θ_last the angle of the time after the block (above every angle in it) and g_last the
// table's last angle used, both below the reduction limit:
//  - portableSine is within 1e-15 of the true sine there (measured: 1.9e-16), the seeds
//    within 1e-14 (seedSines); together 3e-14;
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

// Grid points of the seed angles of a cell's first block, which lie below angleStep.
const int gridPoints = 64;

// cos and sin of k * fl(step * pi * frequency) for k below cellSampleBlock, and of the
// grid points g_j = j * angleStep / gridPoints (as rounded) for j up to gridPoints + 1.
struct Rotation {
    double step, frequency;
    double angleStep, gridStep, gridInverse;
    double gridUntil;  // the seeds below this come from the grid
    bool inRange;  // every table angle below the reduction limit
    double cosines[cellSampleBlock], sines[cellSampleBlock];
    double gridAngles[gridPoints + 2], gridCosines[gridPoints + 2], gridSines[gridPoints + 2];
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
    rotation.gridStep = rotation.angleStep / gridPoints;
    rotation.gridInverse = 1 / rotation.gridStep;
    rotation.gridUntil = rotation.gridStep <= 0.03 ? gridPoints * rotation.gridStep : 0;
    double shifted[gridPoints + 2];
    for (int j = 0; j < gridPoints + 2; ++j) {
        rotation.gridAngles[j] = j * rotation.gridStep;
        shifted[j] = rotation.gridAngles[j] + halfPi;
    }
    portableSines(rotation.gridAngles, rotation.gridSines, gridPoints + 2);
    portableSines(shifted, rotation.gridCosines, gridPoints + 2);
    return rotation;
}

// sin and cos of the angle a >= 0: from the grid point g nearest to a where a lies below
// gridUntil, as sin g cos r + cos g sin r with r = a - g (exact: a and g are within a
// factor of two, or g is 0), |r| <= 0.6 * gridStep <= 0.018 (every rate from 8000 up), and
// cos r and sin r by their series, cut where the next term is below 3e-16; within 1e-14
// of the true values. Elsewhere by portableSine, a and a + pi/2.
void seedSines(const Rotation& rotation, double a, double* sine, double* cosine)
{
    if (!(a < rotation.gridUntil)) {
        double angles[2] = {a, a + halfPi}, sines[2];
        portableSines(angles, sines, 2);
        *sine = sines[0];
        *cosine = sines[1];
        return;
    }
    int j = static_cast<int>(a * rotation.gridInverse + 0.5);
    double r = a - rotation.gridAngles[j];
    double z = r * r;
    double sineR = r - r * z * (1.0 / 6 - z * (1.0 / 120));
    double cosineR = 1 - z * (0.5 - z * (1.0 / 24 - z * (1.0 / 720)));
    *sine = rotation.gridSines[j] * cosineR + rotation.gridCosines[j] * sineR;
    *cosine = rotation.gridCosines[j] * cosineR - rotation.gridSines[j] * sineR;
}

}  // namespace

void cellSamples(double first, double after, size_t count, double step, double frequency,
                 double amplitude, uint8_t* samples)
{
    if (count == 0) return;
    double times[cellSampleBlock];
    double firstAngle = first * pi * frequency, lastAngle = after * pi * frequency;
    bool estimated = std::fabs(amplitude) <= 1e4 && frequency > 0 && step > 0 &&
                     firstAngle >= 0 && lastAngle < reductionLimit;
    const Rotation* rotation = estimated ? &rotationFor(step, frequency) : nullptr;
    if (!rotation || !rotation->inRange) {
        nextCellTimes(first, std::numeric_limits<double>::infinity(), step, times, count);
        waveSamples(times, count, frequency, amplitude, samples);
        return;
    }
    double seedSine, seedCosine;
    seedSines(*rotation, firstAngle, &seedSine, &seedCosine);
    double tableLast = static_cast<double>(count - 1) * rotation->angleStep;
    double bound = 2e-12 + 4e-14 * (lastAngle + tableLast);
    double margin = 2 * std::fabs(amplitude) * bound + 1e-10;
    uint32_t undecided =
        estimatedSamples(rotation->cosines, rotation->sines, count, amplitude * seedSine,
                         amplitude * seedCosine, 128.5 - margin, 128.5 + margin, samples);
    if (undecided == 0) return;
    nextCellTimes(first, std::numeric_limits<double>::infinity(), step, times, count);
    for (; undecided != 0; undecided &= undecided - 1) {
        size_t from = 16 * static_cast<size_t>(__builtin_ctz(undecided));
        waveSamples(times + from, count - from < 16 ? count - from : 16, frequency, amplitude,
                    samples + from);
    }
}
