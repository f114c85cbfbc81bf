#pragma once
// A BASIC program's own structure as a check on decoded bytes. A saved program is ten
// 0xD3, a six-byte name, then lines from address 0x8001, each a link to the next line,
// a line number, a body and 0x00, and three 0x00 at the end. A byte that breaks this is
// suspect even where the signal sounded clean; a byte that the structure alone
// determines (one of the ten 0xD3, a link, the end's zeros) is set to that value.
#include <cstdint>
#include <vector>

#include "signal/robust_decoder.h"

struct StructureFinding {
    uint32_t byte;  // offset in the image
    bool repaired;  // the structure determined the byte, which now holds that value
    uint8_t was;    // repaired: the value decoded
};

// Checks `image` when it holds a BASIC program and repairs the bytes the structure
// determines, in place. The findings are in the order of their bytes, one a byte. An
// image that is not plainly a program, or whose damage leaves its structure unclear, is
// left alone and gives none.
std::vector<StructureFinding> checkProgramStructure(std::vector<uint8_t>& image);

// The findings' suspect bytes that `suspects` (in the order of their bytes) does not
// hold yet join it in order, as ranges of the reason "structure"; `byteSeconds` holds
// where each byte of the image starts in the recording.
void addStructureSuspects(const std::vector<StructureFinding>& findings,
                          const std::vector<double>& byteSeconds, std::vector<SuspectRange>& suspects);
