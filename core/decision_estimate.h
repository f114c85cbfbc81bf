#pragma once
// The decoder's question at a crossing, answered cheaply where the answer is sure.
//
// The exact correlations (core/lanes.h, correlations) cost two sines a term. By the
// angle sum, -sum d_j sin((j + f) w) = -(cos(f w) sum d_j sin(j w) + sin(f w) sum d_j
// cos(j w)) with w = 2 pi / P: four sums against tables of the period, and four sines
// a crossing. The exact sums and these estimates both lie within a few units in the last
// place, times P, of the true value, scaled by sum |d_j|; the margin allowed here is
// hundreds of times that. A decision closer than the margin is left to the exact sums, so
// the decoder's answers, and the bytes it writes, are the same either way.
#include <cstdint>

// Tables for periods of up to this many samples (rates below 1,230,000).
const int longestEstimatedPeriod = 1024;

// Crossings settled together.
const int longestBatch = 16;

// Fills the tables for `period` samples; false when the period is too long for them.
bool prepareEstimates(int period);

// A downward crossing of the centre level, f samples before sample `at`, and what the
// estimate made of it.
struct Crossing {
    int64_t at;
    double f;
    int settled;
};

// For each of at most longestBatch crossings, with the tables of `period` prepared and
// d_j = x[at + j] - level: settled = 1 when surely
//   correlation2400 < correlation1200 && minimumCorrelation < correlation1200,
// 0 when surely not, -1 when too close to call.
void settleDecisions(const uint8_t* x, double level, int period, double minimumCorrelation,
                     Crossing* crossings, int count);
