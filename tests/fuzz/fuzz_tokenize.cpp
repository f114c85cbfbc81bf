// Fuzzes the tokenizer: the input is the text of a program, any bytes, read as a listing
// when it opens with the heading and as plain text otherwise. A text that is read must
// give an image in the layout the home computer saves, and that image's listing must
// read back to the very same image.
#include <cstring>

#include "core/listing.h"
#include "core/tables.h"
#include "core/tape_loader.h"
#include "tests/fuzz/fuzz_support.h"
#include "tokenizer/tokenizer.h"

namespace {

std::string imagePath, listingPath;

// Ten header marks, the name, lines whose links each give the next line's address from
// 0x8001 on, and three zero bytes at the end.
void checkLayout(const std::vector<unsigned char>& image)
{
    FUZZ_CHECK(image.size() >= 19);
    for (size_t k = 0; k < 10; ++k) FUZZ_CHECK(image[k] == 0xD3);
    size_t at = 16;
    while (!(image[at] == 0 && image[at + 1] == 0)) {
        size_t next = image[at] + (static_cast<size_t>(image[at + 1]) << 8) - 0x8001 + 16;
        FUZZ_CHECK(next > at + 4 && next - at - 5 <= LineBodyLimit && next + 3 <= image.size());
        FUZZ_CHECK(image[next - 1] == 0 && std::memchr(&image[at + 4], 0, next - at - 5) == nullptr);
        at = next;
    }
    FUZZ_CHECK(at + 3 == image.size() && image[at + 2] == 0);
}

std::vector<unsigned char> listedAndReadBack(const std::vector<unsigned char>& image)
{
    writeWholeFile(imagePath, image.data(), image.size());
    FILE* file = std::fopen(imagePath.c_str(), "rb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(loadTapeImage(file) == -1);
    std::fclose(file);
    FUZZ_CHECK(writeBasicListing(nullptr, imagePath.c_str()));
    Bytes listing;
    FUZZ_CHECK(readWholeFile(listingPath, listing));

    std::vector<unsigned char> again;
    TokenizeProblem problem;
    FUZZ_CHECK(tokenizeProgram(std::string(listing.begin(), listing.end()), "", nullptr, CharacterTable,
                               again, problem));
    return again;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    imagePath = scratchPath("text.p6");
    listingPath = scratchPath("text.txt");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<unsigned char> image;
    TokenizeProblem problem;
    bool read = tokenizeProgram(std::string(reinterpret_cast<const char*>(data), size), "fuzz",
                                nullptr, CharacterTable, image, problem);
    FUZZ_CHECK(read == problem.text.empty());
    if (!read) return 0;
    checkLayout(image);
    FUZZ_CHECK(listedAndReadBack(image) == image);
    return 0;
}
