#include "core/decision_estimate.h"

#include "core/lanes.h"
#include "core/sine.h"

namespace {

const double pi = 3.141592653589793;

// sin j w, cos j w, sin 2 j w and cos 2 j w for j below the period, then zeros up to a
// multiple of four.
struct EstimateTables {
    double values[4][longestEstimatedPeriod + 4];
    const double* rows[4];
};
EstimateTables tables;

}  // namespace

bool prepareEstimates(int period)
{
    if (period < 1 || period > longestEstimatedPeriod) return false;
    double w = pi * 2 / period;
    for (int j = 0; j < period + 4; ++j) {
        bool inPeriod = j < period;
        tables.values[0][j] = inPeriod ? portableSine(j * w) : 0;
        tables.values[1][j] = inPeriod ? portableSine(j * w + pi / 2) : 0;
        tables.values[2][j] = inPeriod ? portableSine(2 * j * w) : 0;
        tables.values[3][j] = inPeriod ? portableSine(2 * j * w + pi / 2) : 0;
    }
    for (int k = 0; k < 4; ++k) tables.rows[k] = tables.values[k];
    return true;
}

void settleDecisions(const uint8_t* x, double level, int period, double minimumCorrelation,
                     Crossing* crossings, int count)
{
    // The sines of the four phases of every crossing in one pass.
    double angles[4 * longestBatch] = {}, sines[4 * longestBatch];
    for (int k = 0; k < count; ++k) {
        double phase = crossings[k].f * (pi * 2 / period);
        angles[4 * k] = phase;
        angles[4 * k + 1] = phase + pi / 2;
        angles[4 * k + 2] = 2 * phase;
        angles[4 * k + 3] = 2 * phase + pi / 2;
    }
    portableSines(angles, sines, 4 * static_cast<size_t>(count));

    for (int k = 0; k < count; ++k) {
        double sums[5];
        estimateSums(x + crossings[k].at, level, period, tables.rows, sums);
        const double* phaseSines = sines + 4 * k;
        double estimate1200 = -(sums[0] * phaseSines[1] + sums[1] * phaseSines[0]);
        double estimate2400 = -(sums[2] * phaseSines[3] + sums[3] * phaseSines[2]);
        // Each of the four values, exact or estimated, lies within `margin` of the true
        // one. Per unit of sum |d_j|: a sine of the exact sums is within 1e-15 of the sine
        // of its angle, that angle (below 8 pi, four roundings) within 2e-14 of the true
        // one, and each product and addition rounds by at most 2^-53 of the terms so far,
        // P of them; the tables, phases and products of the estimate err alike. That is
        // below 5e-14 + 3e-16 P; the margin takes 1e-9 + 1e-13 P.
        double margin = sums[4] * (1e-9 + 1e-13 * period);

        int& settled = crossings[k].settled;
        if (estimate2400 - estimate1200 > 2 * margin)
            settled = 0;  // surely not 2400 < 1200
        else if (estimate1200 - estimate2400 <= 2 * margin)
            settled = -1;
        else if (minimumCorrelation < estimate1200 - margin)
            settled = 1;
        else if (minimumCorrelation > estimate1200 + margin)
            settled = 0;
        else
            settled = -1;
    }
}
