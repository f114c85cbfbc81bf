#pragma once
// The tape signal at any sample rate, for tests, benchmarks and the robustness table:
// the framing the encoder writes (silence, leader, header block, gap, body, trailer,
// silence), with the sample clock of the chosen rate.
#include <cstdint>
#include <vector>

std::vector<uint8_t> synthesizeTapeSignal(const std::vector<uint8_t>& image, int sampleRate,
                                          double outputRatio = 1.32);

// A complete 44-byte-header WAV file holding `samples` at `sampleRate`, mono, 8 bits.
std::vector<uint8_t> makeWaveFile(const std::vector<uint8_t>& samples, int sampleRate);

// The same signal as floating-point samples at full scale +-1 (the low tone at 120/128,
// the high tone at 120/128 / 1.32, as the encoder's bytes), played at speed(t) times
// the normal speed at each second t of the recording: a constant for a tape off speed,
// a wobble for wow and flutter.
typedef double (*SpeedAt)(double seconds, const void* context);
std::vector<float> synthesizeTapeFloats(const std::vector<uint8_t>& image, int sampleRate,
                                        SpeedAt speed = nullptr, const void* context = nullptr);

// A WAV file of one or two channels (`right` may be null) at `bits` bits: 16 or 24 as
// PCM, 32 as IEEE float. PCM samples are rounded and clipped to full scale.
std::vector<uint8_t> makeWideWaveFile(const std::vector<float>& left, const std::vector<float>* right,
                                      int sampleRate, int bits);
