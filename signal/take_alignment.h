#pragma once
// Two takes of one tape aligned by their bytes: which byte of one stands for which of
// the other, and which bytes each holds that the other lacks, for the merge of takes.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "signal/robust_decoder.h"

// The side of an alignment step that holds no byte.
const int32_t unpaired = -1;

// A take's bytes, or those the takes merged so far give, as the alignment reads them.
struct AlignedBytes {
    const uint8_t* bytes;
    const float* confidences;
    size_t size;
    // size + 1: whether the signal was lost before byte i, where the bytes may shift;
    // the start and the end count as such.
    std::vector<bool> lostBefore;
};

inline bool confidentByte(float confidence) { return confidence >= suspectConfidence; }

// Pairs of indices into a and b in order, either side unpaired; every byte of each
// stands in one step.
typedef std::vector<std::pair<int32_t, int32_t>> AlignmentSteps;

// The whole of a aligned with the whole of b: from anchor to anchor, each anchor
// stretched over the equal bytes that follow it up to a loss on either side.
AlignmentSteps alignBytes(const AlignedBytes& a, const AlignedBytes& b);
