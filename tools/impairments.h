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

// `passes` second-order Butterworth low-passes in a row (a sound editor's plain low-pass,
// applied that many times): the gentler, slower roll-off of a head out of line.
void secondOrderLowPass(std::vector<uint8_t>& samples, int sampleRate, double cutoffHertz, int passes);

// The same and more on floating-point samples at full scale +-1, never clipped: what
// recordings made at 16 bits or more go through.
typedef std::vector<float> Floats;

// As above; the signal's power is taken from the first to the last sample that is not 0.
void addWhiteNoise(Floats& samples, double snrDecibels, unsigned seed);
// Mains hum: a sine of `hertz` at `amplitude`, plus a constant `offset`.
void addHum(Floats& samples, int sampleRate, double hertz, double amplitude, double offset);
// Silence of `seconds` every `every` seconds, the first after one `every`.
void addDropouts(Floats& samples, int sampleRate, double seconds, double every);
// The level swinging between 1 and `lowest` times, `hertz` times a second, as a
// pumping automatic level control does.
void pumpLevel(Floats& samples, int sampleRate, double lowest, double hertz);
// Silence from second `from` on for `seconds`: the tape lost contact with the head.
void silenceFrom(Floats& samples, int sampleRate, double from, double seconds);
// The `seconds` from second `from` on cut out: a splice, or a recording paused.
void cutOut(Floats& samples, int sampleRate, double from, double seconds);
void scaleLevel(Floats& samples, double gain);
void invertPolarity(Floats& samples);
void lowPass(Floats& samples, int sampleRate, double cutoffHertz);
// Unsigned 8-bit samples about 128, rounded and clipped.
std::vector<uint8_t> toUnsigned8(const Floats& samples);
// And back: (x - 128) / 128.
Floats fromUnsigned8(const std::vector<uint8_t>& samples);
