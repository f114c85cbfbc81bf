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
