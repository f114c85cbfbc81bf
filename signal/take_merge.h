#pragma once
// Several takes of one tape made into one image: `hibarion --robust --merge`. Each take
// is what the robust decoder read from one recording; the takes may start at different
// places and each may have lost other bytes. They are aligned by their bytes, and each
// byte of the image comes from the takes most confident of it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "signal/robust_decoder.h"

struct Take {
    std::vector<uint8_t> bytes;
    std::vector<float> confidences;   // one a byte, 0 ... 1
    std::vector<double> byteSeconds;  // one a byte: where it starts in the recording
    std::vector<SignalLoss> losses;   // in the order of their bytes
    bool startsInsideData;
    bool endsInsideData;
};

struct MergedTape {
    std::vector<uint8_t> bytes;
    std::vector<float> confidences;
    // Where each byte lies in the first take; a byte the first take lost lies where
    // its gap does.
    std::vector<double> byteSeconds;
    // The bytes no take reads with confidence ("unsure in every take"), those that
    // confident takes read apart ("takes disagree") and those next to a loss that every
    // take shares ("signal lost in every take"), in the order of their bytes.
    std::vector<SuspectRange> suspects;
    // The losses that no take fills; `seconds` is their place in the first take.
    std::vector<SignalLoss> losses;
    // For each take, how many bytes of the image it gave; 0 for another tape.
    std::vector<size_t> given;
    // For each take, whether its bytes are too unlike the others' to be the same tape;
    // such a take is left out.
    std::vector<bool> anotherTape;
    // The take whose first byte begins the image and which starts inside the data, or
    // -1; the same for the last byte and a take that stops inside one.
    int startsInsideData;
    int endsInsideData;
};

// Merges the takes, the first being the one times are given in. The first take with
// any bytes is the tape the others must match.
MergedTape mergeTakes(const std::vector<Take>& takes);
