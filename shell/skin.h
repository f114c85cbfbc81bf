#pragma once
// The window's face: a 16-colour BMP read from "Hibarion.bmp" beside the program. Its
// size is the size of the window's client area.
#include <cstdint>
#include <cstdio>

// BITMAPINFOHEADER and RGBQUAD as the file and the platform lay them out, so that
// `header` followed by `palette` is the BITMAPINFO that painting hands to the platform.
struct SkinInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
struct SkinColour {
    uint8_t rgbBlue, rgbGreen, rgbRed, rgbReserved;
};

struct SkinBitmapRecord {
    SkinInfoHeader header;
    SkinColour palette[16];
    uint8_t* pixels;   // rowBytes x height bytes, owned
    int pixelsHeld;
    int32_t width;     // 200 until a picture's header has been taken over
    int32_t height;    // 100 likewise
};

extern SkinBitmapRecord SkinBitmap;

enum { SkinMessageCount = 9 };
extern const char* const skinMessages[SkinMessageCount];

// -1 on success, otherwise the index of the first problem in skinMessages. A top-down
// picture (negative biHeight) loads with `height` its row count while `header` keeps the
// negative biHeight, so the header still describes the rows as stored. Sides beyond
// 32767 pixels and negative widths are refused before the window takes the size over.
int loadSkinBitmap(FILE* file);
// Releases the pixel block if one is held.
void releaseSkinBitmap();
