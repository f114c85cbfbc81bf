// Fuzzes the skin bitmap loader: the input is the whole of Hibarion.bmp, loaded into a
// SkinBitmap that starts each run as at program start.
#include <cstdio>
#include <cstring>

#include "shell/skin.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string skinPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    skinPath = scratchPath("Hibarion.bmp");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    releaseSkinBitmap();
    SkinBitmap = SkinBitmapRecord{{}, {}, nullptr, 0, 200, 100};

    writeWholeFile(skinPath, data, size);
    FILE* file = std::fopen(skinPath.c_str(), "rb");
    FUZZ_CHECK(file != nullptr);
    int result = loadSkinBitmap(file);
    std::fclose(file);

    FUZZ_CHECK(result >= -1 && result < SkinMessageCount);
    if (result != -1) {
        FUZZ_CHECK(SkinBitmap.pixelsHeld == 0);
        // Up to the palette the window keeps its start size.
        if (result <= 6) FUZZ_CHECK(SkinBitmap.width == 200 && SkinBitmap.height == 100);
        return 0;
    }

    // A loaded picture: a size a window can take, and a block of every padded row that
    // painting reads, holding the file's bytes that follow the palette.
    FUZZ_CHECK(SkinBitmap.pixelsHeld == 1 && SkinBitmap.pixels != nullptr);
    FUZZ_CHECK(SkinBitmap.width > 0 && SkinBitmap.width <= 32767);
    FUZZ_CHECK(SkinBitmap.height > 0 && SkinBitmap.height <= 32767);
    FUZZ_CHECK(SkinBitmap.header.biSize == 40 && SkinBitmap.header.biBitCount == 4);
    FUZZ_CHECK(SkinBitmap.header.biClrUsed >= 1 && SkinBitmap.header.biClrUsed <= 16);
    size_t rowBytes = (static_cast<size_t>(SkinBitmap.width) + 7) / 8 * 4;
    size_t bytes = rowBytes * static_cast<size_t>(SkinBitmap.height);
    size_t paletteEnd = 54 + 4 * static_cast<size_t>(SkinBitmap.header.biClrUsed);
    FUZZ_CHECK(size >= paletteEnd + bytes);
    FUZZ_CHECK(std::memcmp(SkinBitmap.pixels, data + paletteEnd, bytes) == 0);
    return 0;
}
