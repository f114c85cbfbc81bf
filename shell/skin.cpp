#include "shell/skin.h"

#include <cstdlib>

SkinBitmapRecord SkinBitmap = {{}, {}, nullptr, 0, 200, 100};

const char* const skinMessages[SkinMessageCount] = {
    "この Hibarion.bmp はファイルヘッダーが壊れています。",
    "この Hibarion.bmp は BMP ファイルではありません。",
    "この Hibarion.bmp はインフォヘッダーが壊れています。",
    "この Hibarion.bmp は Windows の BMP ファイルではありません。",
    "この Hibarion.bmp は１６色フォーマットではありません。",
    "この Hibarion.bmp は非圧縮形式ではありません。",
    "この Hibarion.bmp はパレットが壊れています。",
    "メモリがたりません。",
    "この Hibarion.bmp はデータが壊れています。",
};

enum {
    FileHeaderBroken = 0,
    NotBmp = 1,
    InfoHeaderBroken = 2,
    NotWindowsBmp = 3,
    NotSixteenColours = 4,
    NotUncompressed = 5,
    PaletteBroken = 6,
    OutOfMemory = 7,
    DataBroken = 8,
};

// No window face is wider or taller than this. The bound keeps the window size that
// start-up adds the frame to well inside an int, and rowBytes x height below 2^29, so
// the block size cannot wrap even in a 32-bit size_t.
static const int32_t SkinMaxSide = 32767;

static uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

static uint32_t readU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

static int32_t readS32(const uint8_t* p) { return static_cast<int32_t>(readU32(p)); }

static void readInfoHeader(const uint8_t* p, SkinInfoHeader* header)
{
    header->biSize = readU32(p);
    header->biWidth = readS32(p + 4);
    header->biHeight = readS32(p + 8);
    header->biPlanes = readU16(p + 12);
    header->biBitCount = readU16(p + 14);
    header->biCompression = readU32(p + 16);
    header->biSizeImage = readU32(p + 20);
    header->biXPelsPerMeter = readS32(p + 24);
    header->biYPelsPerMeter = readS32(p + 28);
    header->biClrUsed = readU32(p + 32);
    header->biClrImportant = readU32(p + 36);
}

// Rows are padded to whole groups of 8 pixels, which at 4 bits a pixel is the BMP rule
// of rows padded to a multiple of 4 bytes.
static int32_t rowBytesOf(int32_t width)
{
    if (width % 8 == 0) return width / 2;
    return (width + 8 - width % 8) / 2;
}

int loadSkinBitmap(FILE* file)
{
    // Whatever was held before belongs to a header that is about to be overwritten.
    releaseSkinBitmap();
    uint8_t fileHeader[14];
    if (std::fread(fileHeader, 1, sizeof fileHeader, file) != sizeof fileHeader)
        return FileHeaderBroken;
    if (readU16(fileHeader) != 0x4D42) return NotBmp;

    uint8_t infoHeader[40];
    if (std::fread(infoHeader, 1, sizeof infoHeader, file) != sizeof infoHeader)
        return InfoHeaderBroken;
    SkinInfoHeader& header = SkinBitmap.header;
    readInfoHeader(infoHeader, &header);
    if (header.biSize != 40) return NotWindowsBmp;
    if (header.biBitCount != 4) return NotSixteenColours;
    if (header.biCompression != 0) return NotUncompressed;

    // The palette has room for the 16 colours a 4-bit pixel can name; a header that
    // claims more is broken.
    if (header.biClrUsed == 0) header.biClrUsed = 16;
    if (header.biClrUsed > 16) return PaletteBroken;
    uint8_t entries[16 * 4];
    size_t entryCount = std::fread(entries, 4, header.biClrUsed, file);
    for (size_t i = 0; i < entryCount; i++) {
        SkinColour& colour = SkinBitmap.palette[i];
        colour.rgbBlue = entries[i * 4];
        colour.rgbGreen = entries[i * 4 + 1];
        colour.rgbRed = entries[i * 4 + 2];
        colour.rgbReserved = entries[i * 4 + 3];
    }
    if (entryCount != header.biClrUsed) return PaletteBroken;

    // A negative height is a top-down picture: its rows are stored top row first, and
    // the header keeps the sign so that painting shows it upright. A negative width
    // means nothing, and sizes beyond any window's are refused before the window would
    // take them over.
    int64_t rows = header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight;
    if (header.biWidth < 0 || header.biWidth > SkinMaxSide || rows > SkinMaxSide) return DataBroken;
    SkinBitmap.width = header.biWidth;
    SkinBitmap.height = static_cast<int32_t>(rows);

    // A picture of no pixels has nothing to read, and counts as unread.
    size_t bytes = static_cast<size_t>(rowBytesOf(SkinBitmap.width)) *
                   static_cast<size_t>(SkinBitmap.height);
    if (bytes == 0) return DataBroken;
    SkinBitmap.pixels = static_cast<uint8_t*>(std::malloc(bytes));
    if (!SkinBitmap.pixels) return OutOfMemory;
    if (std::fread(SkinBitmap.pixels, 1, bytes, file) != bytes) {
        std::free(SkinBitmap.pixels);
        SkinBitmap.pixels = nullptr;
        return DataBroken;
    }
    SkinBitmap.pixelsHeld = 1;
    return -1;
}

void releaseSkinBitmap()
{
    if (SkinBitmap.pixelsHeld) {
        std::free(SkinBitmap.pixels);
        SkinBitmap.pixels = nullptr;
        SkinBitmap.pixelsHeld = 0;
    }
}
