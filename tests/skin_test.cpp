#include "shell/skin.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "tests/test_files.h"

namespace {

// What a test BMP file holds; the defaults make the 200 x 100 16-colour picture.
struct BmpShape {
    const char* type = "BM";
    uint32_t infoSize = 40;
    int32_t width = 200;
    int32_t height = 100;
    uint16_t bitCount = 4;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    long paletteBytes = -1;  // -1: four bytes for each colour the header names
    long gap = 0;            // bytes between the palette and the pixels, in bfOffBits
    long pixelBytes = -1;    // -1: rowBytes x |height|
    long trailing = 0;       // bytes after the pixel rows
};

void putU16(Bytes& bytes, uint32_t value)
{
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void putU32(Bytes& bytes, uint32_t value)
{
    putU16(bytes, value & 0xFFFF);
    putU16(bytes, value >> 16);
}

long rowBytesFor(int32_t width) { return (width + 7) / 8 * 4; }

uint8_t paletteByte(long i) { return static_cast<uint8_t>(0x10 + i * 3); }
uint8_t pixelByte(long i) { return static_cast<uint8_t>(i * 7 + 3); }

Bytes buildBmp(const BmpShape& shape)
{
    long colours = shape.clrUsed ? shape.clrUsed : 16;
    long paletteBytes = shape.paletteBytes >= 0 ? shape.paletteBytes : 4 * colours;
    long rows = shape.height < 0 ? -static_cast<long>(shape.height) : shape.height;
    long pixelBytes = shape.pixelBytes >= 0 ? shape.pixelBytes : rowBytesFor(shape.width) * rows;
    uint32_t offBits = static_cast<uint32_t>(14 + shape.infoSize + paletteBytes + shape.gap);

    Bytes bytes;
    bytes.push_back(static_cast<uint8_t>(shape.type[0]));
    bytes.push_back(static_cast<uint8_t>(shape.type[1]));
    putU32(bytes, static_cast<uint32_t>(offBits + pixelBytes));
    putU32(bytes, 0);
    putU32(bytes, offBits);
    putU32(bytes, shape.infoSize);
    putU32(bytes, static_cast<uint32_t>(shape.width));
    putU32(bytes, static_cast<uint32_t>(shape.height));
    putU16(bytes, 1);
    putU16(bytes, shape.bitCount);
    putU32(bytes, shape.compression);
    putU32(bytes, static_cast<uint32_t>(pixelBytes));
    putU32(bytes, 2835);
    putU32(bytes, 2835);
    putU32(bytes, shape.clrUsed);
    putU32(bytes, 0);
    bytes.resize(14 + shape.infoSize, 0);
    for (long i = 0; i < paletteBytes; i++) bytes.push_back(paletteByte(i));
    bytes.insert(bytes.end(), static_cast<size_t>(shape.gap), 0xEE);
    for (long i = 0; i < pixelBytes; i++) bytes.push_back(pixelByte(i));
    bytes.insert(bytes.end(), static_cast<size_t>(shape.trailing), 0xDD);
    return bytes;
}

// Loads `bytes` as the skin; `consumed` receives how far the loader read.
int loadBytes(const Bytes& bytes, long* consumed = nullptr)
{
    FILE* file = std::tmpfile();
    if (!file) return -100;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    int result = loadSkinBitmap(file);
    if (consumed) *consumed = std::ftell(file);
    std::fclose(file);
    return result;
}

int loadShape(const BmpShape& shape) { return loadBytes(buildBmp(shape)); }

bool pixelsMatchFile(const Bytes& file, size_t from, size_t count)
{
    return SkinBitmap.pixels && std::memcmp(SkinBitmap.pixels, file.data() + from, count) == 0;
}

class SkinBitmapTest : public testing::Test {
protected:
    // Every test starts from the record as the program starts with it.
    void SetUp() override
    {
        releaseSkinBitmap();
        std::memset(&SkinBitmap.header, 0, sizeof SkinBitmap.header);
        std::memset(SkinBitmap.palette, 0, sizeof SkinBitmap.palette);
        SkinBitmap.width = 200;
        SkinBitmap.height = 100;
    }
    void TearDown() override { releaseSkinBitmap(); }

    void expectStartSizeWithoutPixels()
    {
        EXPECT_EQ(SkinBitmap.width, 200);
        EXPECT_EQ(SkinBitmap.height, 100);
        EXPECT_FALSE(SkinBitmap.pixelsHeld);
        EXPECT_EQ(SkinBitmap.pixels, nullptr);
    }
};

TEST_F(SkinBitmapTest, LoadsTheSixteenColourPicture)
{
    BmpShape shape;
    shape.trailing = 30;
    Bytes file = buildBmp(shape);
    long consumed = 0;
    ASSERT_EQ(loadBytes(file, &consumed), -1);
    EXPECT_EQ(consumed, 14 + 40 + 64 + 10000);  // nothing after the pixel rows is read
    EXPECT_EQ(SkinBitmap.width, 200);
    EXPECT_EQ(SkinBitmap.height, 100);
    EXPECT_TRUE(SkinBitmap.pixelsHeld);
    EXPECT_TRUE(pixelsMatchFile(file, 118, 10000));

    const SkinInfoHeader& header = SkinBitmap.header;
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 200);
    EXPECT_EQ(header.biHeight, 100);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 4);
    EXPECT_EQ(header.biSizeImage, 10000u);
    EXPECT_EQ(header.biXPelsPerMeter, 2835);
    EXPECT_EQ(header.biClrUsed, 16u);  // 0 in the file
    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(SkinBitmap.palette[i].rgbBlue, paletteByte(i * 4));
        EXPECT_EQ(SkinBitmap.palette[i].rgbGreen, paletteByte(i * 4 + 1));
        EXPECT_EQ(SkinBitmap.palette[i].rgbRed, paletteByte(i * 4 + 2));
        EXPECT_EQ(SkinBitmap.palette[i].rgbReserved, paletteByte(i * 4 + 3));
    }
}

TEST_F(SkinBitmapTest, RowsArePaddedToEightPixels)
{
    const struct { int32_t width; long rowBytes; } cases[] = {
        {1, 4}, {7, 4}, {8, 4}, {9, 8}, {16, 8}, {17, 12}, {200, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        BmpShape shape;
        shape.width = c.width;
        shape.height = 3;
        shape.pixelBytes = c.rowBytes * 3;
        shape.trailing = 8;
        Bytes file = buildBmp(shape);
        long consumed = 0;
        EXPECT_EQ(loadBytes(file, &consumed), -1);
        EXPECT_EQ(consumed, 118 + c.rowBytes * 3);
        EXPECT_TRUE(pixelsMatchFile(file, 118, static_cast<size_t>(c.rowBytes * 3)));

        shape.pixelBytes = c.rowBytes * 3 - 1;
        shape.trailing = 0;
        EXPECT_EQ(loadShape(shape), 8);
    }
}

TEST_F(SkinBitmapTest, RefusesOtherKindsOfFileInOrder)
{
    struct Case {
        const char* what;
        BmpShape shape;
        int expected;
    };
    Case cases[] = {
        {"256 colours", {}, 4},
        {"24 bits", {}, 4},
        {"RLE", {}, 5},
        {"108-byte header", {}, 3},
        {"124-byte header", {}, 3},
        {"12-byte header", {}, 3},
        {"not BM", {}, 1},
        {"header size checked before bit count", {}, 3},
        {"bit count checked before compression", {}, 4},
        {"17 colours", {}, 6},
        {"palette short of whole entries", {}, 6},
        {"palette ends inside an entry", {}, 6},
    };
    cases[0].shape.bitCount = 8;
    cases[1].shape.bitCount = 24;
    cases[2].shape.compression = 2;
    cases[3].shape.infoSize = 108;
    cases[4].shape.infoSize = 124;
    cases[5].shape.infoSize = 12;
    cases[6].shape.type = "MB";
    cases[7].shape.infoSize = 108;
    cases[7].shape.bitCount = 8;
    cases[8].shape.bitCount = 1;
    cases[8].shape.compression = 1;
    cases[9].shape.clrUsed = 17;
    cases[10].shape.paletteBytes = 40;
    cases[10].shape.pixelBytes = 0;
    cases[11].shape.paletteBytes = 63;
    cases[11].shape.pixelBytes = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(loadShape(c.shape), c.expected);
        expectStartSizeWithoutPixels();
    }
}

TEST_F(SkinBitmapTest, RefusesTruncatedHeaders)
{
    Bytes file = buildBmp(BmpShape());
    EXPECT_EQ(loadBytes(Bytes()), 0);
    EXPECT_EQ(loadBytes(Bytes(file.begin(), file.begin() + 13)), 0);
    EXPECT_EQ(loadBytes(Bytes(file.begin(), file.begin() + 14)), 2);
    EXPECT_EQ(loadBytes(Bytes(file.begin(), file.begin() + 53)), 2);
    EXPECT_EQ(loadBytes(Bytes(file.begin(), file.begin() + 54)), 6);
    expectStartSizeWithoutPixels();
}

TEST_F(SkinBitmapTest, ReadsOnlyTheColoursTheHeaderNames)
{
    std::memset(SkinBitmap.palette, 0x5A, sizeof SkinBitmap.palette);
    BmpShape shape;
    shape.clrUsed = 2;
    Bytes file = buildBmp(shape);
    ASSERT_EQ(loadBytes(file), -1);
    EXPECT_EQ(SkinBitmap.header.biClrUsed, 2u);
    EXPECT_EQ(SkinBitmap.palette[0].rgbBlue, paletteByte(0));
    EXPECT_EQ(SkinBitmap.palette[1].rgbReserved, paletteByte(7));
    for (int i = 2; i < 16; i++) {
        EXPECT_EQ(SkinBitmap.palette[i].rgbBlue, 0x5A) << i;
        EXPECT_EQ(SkinBitmap.palette[i].rgbReserved, 0x5A) << i;
    }
    EXPECT_TRUE(pixelsMatchFile(file, 14 + 40 + 8, 10000));
}

TEST_F(SkinBitmapTest, ShortPixelRowsKeepThePicturesSize)
{
    BmpShape shape;
    shape.width = 40;
    shape.height = 30;
    shape.pixelBytes = 20 * 30 - 1;
    EXPECT_EQ(loadShape(shape), 8);
    EXPECT_EQ(SkinBitmap.width, 40);
    EXPECT_EQ(SkinBitmap.height, 30);
    EXPECT_FALSE(SkinBitmap.pixelsHeld);
    EXPECT_EQ(SkinBitmap.pixels, nullptr);

    shape.pixelBytes = 0;
    EXPECT_EQ(loadShape(shape), 8);
    EXPECT_FALSE(SkinBitmap.pixelsHeld);
}

TEST_F(SkinBitmapTest, EmptyPictureCountsAsUnread)
{
    BmpShape shape;
    shape.width = 0;
    shape.height = 50;
    EXPECT_EQ(loadShape(shape), 8);
    EXPECT_EQ(SkinBitmap.width, 0);
    EXPECT_EQ(SkinBitmap.height, 50);
    EXPECT_FALSE(SkinBitmap.pixelsHeld);

    shape.width = 50;
    shape.height = 0;
    shape.trailing = 100;
    EXPECT_EQ(loadShape(shape), 8);
    EXPECT_EQ(SkinBitmap.width, 50);
    EXPECT_EQ(SkinBitmap.height, 0);
    EXPECT_FALSE(SkinBitmap.pixelsHeld);
}

TEST_F(SkinBitmapTest, NegativeWidthKeepsTheStartSize)
{
    BmpShape shape;
    shape.width = -16;
    shape.height = 4;
    shape.pixelBytes = 32;
    EXPECT_EQ(loadShape(shape), 8);
    expectStartSizeWithoutPixels();
}

TEST_F(SkinBitmapTest, LoadsTopDownPicture)
{
    BmpShape shape;
    shape.width = 24;
    shape.height = -5;
    Bytes file = buildBmp(shape);
    ASSERT_EQ(loadBytes(file), -1);
    EXPECT_EQ(SkinBitmap.width, 24);
    EXPECT_EQ(SkinBitmap.height, 5);
    EXPECT_EQ(SkinBitmap.header.biHeight, -5);  // painting relies on the sign
    EXPECT_TRUE(pixelsMatchFile(file, 118, 12 * 5));
}

TEST_F(SkinBitmapTest, HugeSizesAreRefusedBeforeAnyAllocation)
{
    const struct { int32_t width, height; } cases[] = {
        {0x7FFFFFFF, 1}, {8, 0x7FFFFFFF}, {0x7FFFFFFF, 0x7FFFFFFF}, {32768, 1}, {1, 32768},
        {8, -32768}, {8, INT32_MIN}, {INT32_MIN, 1}, {-1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        BmpShape shape;
        shape.width = c.width;
        shape.height = c.height;
        shape.pixelBytes = 64;
        EXPECT_EQ(loadShape(shape), 8);
        expectStartSizeWithoutPixels();
    }
}

TEST_F(SkinBitmapTest, LargestSidesLoad)
{
    BmpShape shape;
    shape.width = 32767;
    shape.height = 1;
    ASSERT_EQ(loadShape(shape), -1);
    EXPECT_EQ(SkinBitmap.width, 32767);

    shape.width = 1;
    shape.height = -32767;
    ASSERT_EQ(loadShape(shape), -1);
    EXPECT_EQ(SkinBitmap.height, 32767);
}

TEST_F(SkinBitmapTest, GapBeforePixelsIsReadAsPixels)
{
    BmpShape shape;
    shape.gap = 6;
    Bytes file = buildBmp(shape);
    long consumed = 0;
    ASSERT_EQ(loadBytes(file, &consumed), -1);
    EXPECT_EQ(consumed, 118 + 10000);
    EXPECT_TRUE(pixelsMatchFile(file, 118, 10000));  // six gap bytes, then shifted rows
    EXPECT_EQ(SkinBitmap.pixels[5], 0xEE);
    EXPECT_EQ(SkinBitmap.pixels[6], pixelByte(0));
}

TEST_F(SkinBitmapTest, FailedLoadReleasesTheEarlierPicture)
{
    ASSERT_EQ(loadShape(BmpShape()), -1);
    BmpShape broken;
    broken.bitCount = 8;
    EXPECT_EQ(loadShape(broken), 4);
    EXPECT_FALSE(SkinBitmap.pixelsHeld);
    EXPECT_EQ(SkinBitmap.pixels, nullptr);
}

TEST(SkinMessages, AreCodePage932)
{
    const char* const expected[SkinMessageCount] = {
        "82 B1 82 CC 20 48 69 62 61 72 69 6F 6E 2E 62 6D 70 20 82 CD 83 74 83 40 83 43 83 8B "
        "83 77 83 62 83 5F 81 5B 82 AA 89 F3 82 EA 82 C4 82 A2 82 DC 82 B7 81 42",
        "82 B1 82 CC 20 48 69 62 61 72 69 6F 6E 2E 62 6D 70 20 82 CD 20 42 4D 50 20 83 74 83 "
        "40 83 43 83 8B 82 C5 82 CD 82 A0 82 E8 82 DC 82 B9 82 F1 81 42",
        "82 B1 82 CC 20 48 69 62 61 72 69 6F 6E 2E 62 6D 70 20 82 CD 83 43 83 93 83 74 83 48 "
        "83 77 83 62 83 5F 81 5B 82 AA 89 F3 82 EA 82 C4 82 A2 82 DC 82 B7 81 42",
        "82 B1 82 CC 20 48 69 62 61 72 69 6F 6E 2E 62 6D 70 20 82 CD 20 57 69 6E 64 6F 77 73 "
        "20 82 CC 20 42 4D 50 20 83 74 83 40 83 43 83 8B 82 C5 82 CD 82 A0 82 E8 82 DC 82 B9 "
        "82 F1 81 42",
        "82 B1 82 CC 20 48 69 62 61 72 69 6F 6E 2E 62 6D 70 20 82 CD 82 50 82 55 90 46 83 74 "
        "83 48 81 5B 83 7D 83 62 83 67 82 C5 82 CD 82 A0 82 E8 82 DC 82 B9 82 F1 81 42",
        "82 B1 82 CC 20 48 69 62 61 72 69 6F 6E 2E 62 6D 70 20 82 CD 94 F1 88 B3 8F 6B 8C 60 "
        "8E AE 82 C5 82 CD 82 A0 82 E8 82 DC 82 B9 82 F1 81 42",
        "82 B1 82 CC 20 48 69 62 61 72 69 6F 6E 2E 62 6D 70 20 82 CD 83 70 83 8C 83 62 83 67 "
        "82 AA 89 F3 82 EA 82 C4 82 A2 82 DC 82 B7 81 42",
        "83 81 83 82 83 8A 82 AA 82 BD 82 E8 82 DC 82 B9 82 F1 81 42",
        "82 B1 82 CC 20 48 69 62 61 72 69 6F 6E 2E 62 6D 70 20 82 CD 83 66 81 5B 83 5E 82 AA "
        "89 F3 82 EA 82 C4 82 A2 82 DC 82 B7 81 42",
    };
    for (int i = 0; i < SkinMessageCount; i++) EXPECT_EQ(hexOf(skinMessages[i]), expected[i]) << i;
}

// The artwork scripts are run from the source tree, as the Windows build runs them.
class SkinArtworkTest : public SkinBitmapTest {
protected:
    std::string runTool(const char* script, const char* output)
    {
        std::string path = makeScratchFolder() + output;
        std::string command = std::string("python3 '") + HIBARION_SOURCE_DIR + "/tools/" +
                              script + "' '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }
};

TEST_F(SkinArtworkTest, SkinScriptDrawsALoadablePicture)
{
    Bytes file = readFileBytes(runTool("make_skin.py", "Hibarion.bmp"));
    ASSERT_EQ(loadBytes(file), -1);
    EXPECT_EQ(SkinBitmap.width, 320);
    EXPECT_EQ(SkinBitmap.height, 160);
    EXPECT_GT(SkinBitmap.header.biHeight, 0);
    EXPECT_EQ(file.size(), 118u + 160 * 160);
    // The face is a picture, not one flat colour.
    int counts[16] = {};
    for (size_t i = 0; i < 160 * 160; i++) {
        counts[SkinBitmap.pixels[i] >> 4]++;
        counts[SkinBitmap.pixels[i] & 15]++;
    }
    int used = 0;
    for (int count : counts) used += count > 0;
    EXPECT_GE(used, 12);
}

uint32_t u32At(const Bytes& bytes, size_t at)
{
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<uint32_t>(bytes[at + 3]) << 24;
}

TEST_F(SkinArtworkTest, IconScriptWritesTwoSixteenColourImages)
{
    Bytes icon = readFileBytes(runTool("make_icon.py", "hibarion.ico"));
    ASSERT_GE(icon.size(), 6u + 2 * 16);
    EXPECT_EQ(u32At(icon, 0), 0x00010000u);  // reserved 0, type 1 (icon)
    EXPECT_EQ(icon[4] | icon[5] << 8, 2);
    const int sizes[2] = {32, 16};
    size_t end = 6 + 2 * 16;
    for (int i = 0; i < 2; i++) {
        SCOPED_TRACE(sizes[i]);
        size_t entry = 6 + 16 * static_cast<size_t>(i);
        int size = sizes[i];
        EXPECT_EQ(icon[entry], size);
        EXPECT_EQ(icon[entry + 1], size);
        EXPECT_EQ(icon[entry + 2], 16);  // colours
        size_t length = u32At(icon, entry + 8);
        size_t offset = u32At(icon, entry + 12);
        EXPECT_EQ(offset, end);  // images follow each other without gaps
        size_t xorBytes = static_cast<size_t>(size) * size / 2;
        size_t andBytes = static_cast<size_t>(size) * 4;  // rows padded to 32 bits
        ASSERT_EQ(length, 40 + 64 + xorBytes + andBytes);
        ASSERT_LE(offset + length, icon.size());
        EXPECT_EQ(u32At(icon, offset), 40u);
        EXPECT_EQ(u32At(icon, offset + 4), static_cast<uint32_t>(size));
        EXPECT_EQ(u32At(icon, offset + 8), static_cast<uint32_t>(2 * size));
        EXPECT_EQ(icon[offset + 14], 4);  // bits a pixel
        EXPECT_EQ(u32At(icon, offset + 16), 0u);
        end = offset + length;
    }
    EXPECT_EQ(end, icon.size());
}

}  // namespace
