#pragma once
// The conversions' sample work done several values at a time in vector lanes: SSE2 on
// every x86 build, AVX2 on x86-64 processors that have it. Each value is computed with
// the same operations in the same order as the one-at-a-time code beside it, so every
// lane width writes the same bytes.
#include <cstddef>
#include <cstdint>

// The lane width in use, chosen at start-up from what the processor has; the tests set
// it to each width that laneWidthRuns.
enum LaneWidth { OneLane, TwoLanes, FourLanes };
extern LaneWidth laneWidth;
bool laneWidthRuns(LaneWidth width);

// sines[k] = portableSine(x[k]) for every k below count.
void portableSines(const double* x, double* sines, size_t count);

// The decoder's crossings of `level` (a whole number): the samples i from `from` up to
// `end` with x[i - 1] > level >= x[i], in order. Up to `most` of them go into `at`, and
// *next becomes the sample after the last one looked at; returns how many were found.
int findCrossings(const uint8_t* x, int64_t from, int64_t end, int level, int64_t* at,
                  int most, int64_t* next);

// The decoder's two correlations of one period from the crossing at x[0]: with
// a = (j + f) * pi * 2 / period and d = x[j] - level, from 0 for j = 0 ... period - 1,
//   correlation1200 = correlation1200 - portableSine(a) * d,
//   correlation2400 = correlation2400 - portableSine(a * 2) * d,
// one term after another, so that every rounding falls where the plain loop has it.
void correlations(const uint8_t* x, double level, double f, int period,
                  double* correlation1200, double* correlation2400);

// The sums of the decoder's estimates (core/decision_estimate.h), added in an order of
// their own: with d_j = x[j] - level for j below period, sums[k] = the sum of
// d_j * tables[k][j] for k below 4, and sums[4] = the sum of |d_j|. Each table holds
// zeros from `period` up to a multiple of four.
void estimateSums(const uint8_t* x, double level, int period, const double* const* tables,
                  double* sums);

// The encoder's samples at the times t[k]: 128.5 - amplitude * portableSine(t[k] * pi *
// frequency) truncated to a byte, clipped to 0 ... 255, and 128 where it is not a number.
void waveSamples(const double* t, size_t count, double frequency, double amplitude,
                 uint8_t* samples);

// The encoder's estimated samples (core/cell_samples.h): with w = a1 * cosines[k] +
// a2 * sines[k], samples[k] = trunc(low - w) clipped to 0 ... 255 for k below count (at
// most 256; the tables are read up to the next multiple of 16). Bit g of the result is
// set where some k from 16g to 16g + 15 has trunc(low - w) != trunc(high - w), that is
// where the estimate leaves those bytes open. |a1|, |a2|, |low| and |high| stay below
// 2^14 and the tables within 2.
uint32_t estimatedSamples(const double* cosines, const double* sines, size_t count, double a1,
                          double a2, double low, double high, uint8_t* samples);
