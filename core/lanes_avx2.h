#pragma once
// The four-lane versions of core/lanes.h, in the one file compiled for AVX2.
#include <cstddef>
#include <cstdint>

void portableSinesAvx2(const double* x, double* sines, size_t count);
void correlationsAvx2(const uint8_t* x, double level, double f, int period,
                      double* correlation1200, double* correlation2400);
void estimateSumsAvx2(const uint8_t* x, double level, int period, const double* const* tables,
                      double* sums);
void waveSamplesAvx2(const double* t, size_t count, double frequency, double amplitude,
                     uint8_t* samples);
uint32_t estimatedSamplesAvx2(const double* cosines, const double* sines, size_t count,
                              double a1, double a2, double low, double high, uint8_t* samples);
