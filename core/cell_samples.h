#pragma once
#include <cstddef>
#include <cstdint>

// The most samples cellSamples takes at once.
const size_t cellSampleBlock = 256;

// The encoder's samples at the times t[0 ... count) of one cell, which follow one another
// by additions of `step` (t[k + 1] = t[k] + step, as core/cell_times.h gives them):
// exactly what waveSamples (core/lanes.h) writes for them, from a cheap estimate of each
// sine wherever the estimate settles the byte.
void cellSamples(const double* t, size_t count, double step, double frequency, double amplitude,
                 uint8_t* samples);
