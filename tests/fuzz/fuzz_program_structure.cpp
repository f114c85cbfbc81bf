// Fuzzes the check of a BASIC program's structure on decoded bytes.
//
// Input: byte 0 chooses. Odd: the rest is split at its 0x00 bytes into line bodies of a
// program made whole (links, ascending numbers, the end), which must come through
// untouched and without findings, whatever follows its end. Even: the rest is an image
// as decoded, with its first ten bytes made the header marks when bit 1 is set.
//
// Every image must come through with its findings in order, one a byte within it, and
// only the repaired bytes changed, each from the value the finding names. A second check
// of the result must repair nothing. (Its suspects may differ: a repaired link can make
// a line whole that an earlier damaged place was measured against.)
#include <cstring>
#include <vector>

#include "signal/program_structure.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const size_t firstLine = 16;
const unsigned firstLineAddress = 0x8001;
const size_t longestBody = 255;

// A whole program: the name from the first six bytes, then one line for each piece of
// the rest between its 0x00 bytes; the bytes after the last 0x00 follow the end.
Bytes wholeProgram(const uint8_t* data, size_t size)
{
    Bytes image(10, 0xD3);
    for (size_t k = 0; k < 6; ++k) image.push_back(k < size ? data[k] : 0x20);
    size_t at = size < 6 ? size : 6;
    unsigned number = 0;
    for (;;) {
        const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(data + at, 0, size - at));
        if (!zero) break;
        size_t length = static_cast<size_t>(zero - (data + at));
        if (length > longestBody) length = longestBody;
        number += 1 + length % 8;
        unsigned next = firstLineAddress + static_cast<unsigned>(image.size() - firstLine) + 4 +
                        static_cast<unsigned>(length) + 1;
        if (number > 0xFFFF || next + 3 > 0x10000) break;  // the machine holds no more
        image.insert(image.end(), {static_cast<uint8_t>(next), static_cast<uint8_t>(next >> 8),
                                   static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8)});
        image.insert(image.end(), data + at, data + at + length);
        image.push_back(0x00);
        at = static_cast<size_t>(zero - data) + 1;
    }
    image.insert(image.end(), 3, 0x00);
    image.insert(image.end(), data + at, data + size);
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const bool whole = data[0] & 1;
    Bytes image = whole ? wholeProgram(data + 1, size - 1) : Bytes(data + 1, data + size);
    if (!whole && (data[0] & 2))
        for (size_t k = 0; k < 10 && k < image.size(); ++k) image[k] = 0xD3;

    const Bytes decoded = image;
    const std::vector<StructureFinding> findings = checkProgramStructure(image);
    FUZZ_CHECK(image.size() == decoded.size());
    if (whole) FUZZ_CHECK(findings.empty());
    std::vector<bool> repaired(image.size(), false);
    for (size_t k = 0; k < findings.size(); ++k) {
        const StructureFinding& f = findings[k];
        FUZZ_CHECK(f.byte < image.size());
        FUZZ_CHECK(k == 0 || findings[k - 1].byte < f.byte);
        if (f.repaired) {
            FUZZ_CHECK(f.was == decoded[f.byte] && image[f.byte] != decoded[f.byte]);
            repaired[f.byte] = true;
        }
    }
    for (size_t k = 0; k < image.size(); ++k) FUZZ_CHECK(repaired[k] || image[k] == decoded[k]);

    const Bytes checked = image;
    for (const StructureFinding& f : checkProgramStructure(image)) FUZZ_CHECK(!f.repaired);
    FUZZ_CHECK(image == checked);
    return 0;
}
