#pragma once
// Recordings in the formats people have, for the tests of --robust.
#include <string>
#include <vector>

#include "tests/test_files.h"

// The tape signal of `image` at `rate`, full scale +-1 times `gain`.
std::vector<float> tapeSignal(const Bytes& image, int rate, double gain = 1.0);

// Writes `samples`, interleaved frames of `channels`, through libsndfile as `format`
// (SF_FORMAT_...); throws when libsndfile refuses.
void writeSoundFile(const std::string& path, int format, int rate, int channels,
                    const std::vector<float>& samples);
