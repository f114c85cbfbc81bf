#pragma once
// What an old tape and a cheap recording chain do to the tape signal, for the tests and
// the robustness table. Each works on unsigned 8-bit samples about 128 in place and
// clips its result to 0 ... 255.
#include <cstdint>
#include <vector>

// White Gaussian noise at `snrDecibels` below the signal. The signal's power is the
// mean of (x - 128)^2 from the first to the last sample that is not 128, so the
// silences before and after the tones do not count; the noise covers every sample.
// The same seed gives the same noise on every machine.
void addWhiteNoise(std::vector<uint8_t>& samples, double snrDecibels, unsigned seed);

// Adds `offset` to every sample.
void addOffset(std::vector<uint8_t>& samples, int offset);

// Scales the swing about 128 by `gain`.
void scaleSwing(std::vector<uint8_t>& samples, double gain);

// Mirrors every sample about the centre: 255 - x.
void invertPolarity(std::vector<uint8_t>& samples);

// A fourth-order Butterworth low-pass (two cascaded second-order sections), the dull
// sound of a worn head or a misaligned azimuth.
void lowPass(std::vector<uint8_t>& samples, int sampleRate, double cutoffHertz);
