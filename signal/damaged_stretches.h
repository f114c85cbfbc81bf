#pragma once
// The suspect ranges of a decoding gathered into damaged stretches, so that a long,
// noisy recording is told in a line for each stretch rather than one for each range.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "signal/robust_decoder.h"

// Suspect ranges close together, with the good bytes between them.
struct SuspectStretch {
    uint32_t firstByte;
    uint32_t lastByte;
    uint64_t suspectBytes;  // of firstByte ... lastByte, those in a suspect range
    size_t ranges;
    double seconds;       // where the first of them starts in the recording
    std::vector<SuspectReason> reasons;  // each reason once, in the order they first come
};

// Gathers `ranges` (in the order of their bytes) into stretches: a range joins the one
// before when it starts within a few bytes or two seconds of where that ended (a minute
// at most to a stretch), unless bytes are missing between them (`losses`), which are told
// apart. `byteSeconds` holds where each byte of the image starts in the recording.
std::vector<SuspectStretch> suspectStretches(const std::vector<SuspectRange>& ranges,
                                             const std::vector<SignalLoss>& losses,
                                             const std::vector<double>& byteSeconds);
