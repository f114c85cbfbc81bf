#pragma once
#include <cstddef>
#include <cstdint>

// The most samples cellSamples takes at once.
const size_t cellSampleBlock = 256;

// The encoder's samples at `count` times (at most cellSampleBlock) of one cell, from
// `first` each the one before plus `step` (as core/cell_times.h gives them), `after` the
// time that follows the last:
// exactly what waveSamples (core/lanes.h) writes for them, from a cheap estimate of each
// sine wherever the estimate settles the byte.
void cellSamples(double first, double after, size_t count, double step, double frequency,
                 double amplitude, uint8_t* samples);
