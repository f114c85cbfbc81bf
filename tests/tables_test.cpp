#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>

#include "core/tables.h"

namespace {

// The default character table as code page 932 codes, lead byte in the high half.
const unsigned DefaultCodes[256] = {
    0x8140, 0x8C8E, 0x89CE, 0x9085, 0x96D8, 0x8BE0, 0x9379, 0x93FA, 0x944E, 0x897E, 0x8E9E, 0x95AA, 0x9562, 0x9553, 0x90E7, 0x969C,
    0x83CE, 0x84B3, 0x84B1, 0x84B2, 0x84B0, 0x84B4, 0x84AB, 0x84AA, 0x84AC, 0x84AD, 0x84AF, 0x84AE, 0x817E, 0x91E5, 0x9286, 0x8FAC,
    0x8140, 0x8149, 0x8168, 0x8194, 0x8190, 0x8193, 0x8195, 0x8166, 0x8169, 0x816A, 0x8196, 0x817B, 0x8143, 0x817C, 0x8144, 0x815E,
    0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256, 0x8257, 0x8258, 0x8146, 0x8147, 0x8183, 0x8181, 0x8184, 0x8148,
    0x8197, 0x8260, 0x8261, 0x8262, 0x8263, 0x8264, 0x8265, 0x8266, 0x8267, 0x8268, 0x8269, 0x826A, 0x826B, 0x826C, 0x826D, 0x826E,
    0x826F, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276, 0x8277, 0x8278, 0x8279, 0x816D, 0x818F, 0x816E, 0x814F, 0x8151,
    0x8140, 0x8281, 0x8282, 0x8283, 0x8284, 0x8285, 0x8286, 0x8287, 0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D, 0x828E, 0x828F,
    0x8290, 0x8291, 0x8292, 0x8293, 0x8294, 0x8295, 0x8296, 0x8297, 0x8298, 0x8299, 0x829A, 0x816F, 0x8162, 0x8170, 0x8150, 0x8140,
    0x81A3, 0x81A5, 0x819A, 0x819F, 0x819B, 0x819C, 0x82F0, 0x829F, 0x82A1, 0x82A3, 0x82A5, 0x82A7, 0x82E1, 0x82E3, 0x82E5, 0x82C1,
    0x8140, 0x82A0, 0x82A2, 0x82A4, 0x82A6, 0x82A8, 0x82A9, 0x82AB, 0x82AD, 0x82AF, 0x82B1, 0x82B3, 0x82B5, 0x82B7, 0x82B9, 0x82BB,
    0x8140, 0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362,
    0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C,
    0x835E, 0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D,
    0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389, 0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,
    0x82BD, 0x82BF, 0x82C2, 0x82C4, 0x82C6, 0x82C8, 0x82C9, 0x82CA, 0x82CB, 0x82CC, 0x82CD, 0x82D0, 0x82D3, 0x82D6, 0x82D9, 0x82DC,
    0x82DD, 0x82DE, 0x82DF, 0x82E0, 0x82E2, 0x82E4, 0x82E6, 0x82E7, 0x82E8, 0x82E9, 0x82EA, 0x82EB, 0x82ED, 0x82F1, 0x8140, 0x8140,
};

const unsigned FullWidthSpace = 0x8140;

unsigned codeAt(const char* text)
{
    return static_cast<unsigned char>(text[0]) << 8 | static_cast<unsigned char>(text[1]);
}

std::string cp932(std::initializer_list<unsigned> codes)
{
    std::string text;
    for (unsigned code : codes) {
        if (code > 0xFF) text += static_cast<char>(code >> 8);
        text += static_cast<char>(code & 0xFF);
    }
    return text;
}

}  // namespace

TEST(CharacterTable, DefaultHoldsEveryCodeAsGiven)
{
    for (unsigned c = 0; c < 256; ++c)
        EXPECT_EQ(DefaultCodes[c], codeAt(DefaultCharacterTable + 2 * c))
            << "entry " << std::hex << c;
    EXPECT_EQ('\0', DefaultCharacterTable[CharacterTableSize]);
    EXPECT_EQ(static_cast<size_t>(CharacterTableSize), std::strlen(DefaultCharacterTable));
}

TEST(CharacterTable, WorkingCopyStartsAsTheDefault)
{
    EXPECT_EQ(0, std::memcmp(CharacterTable, DefaultCharacterTable, CharacterTableSize + 1));
}

TEST(CharacterTable, CharacterTextReadsTheWorkingCopy)
{
    EXPECT_EQ(FullWidthSpace, codeAt(characterText(0x60)));
    EXPECT_EQ(0x818Fu, codeAt(characterText(0x5C)));  // ￥
    EXPECT_EQ(0x8150u, codeAt(characterText(0x7E)));  // ￣
    EXPECT_EQ(0x8168u, codeAt(characterText(0x22)));  // ”
    EXPECT_EQ(0x8166u, codeAt(characterText(0x27)));  // ’
    EXPECT_EQ(FullWidthSpace, codeAt(characterText(0x00)));
    EXPECT_EQ(0x83CEu, codeAt(characterText(0x10)));  // π
    EXPECT_EQ(0x8260u, codeAt(characterText(0x41)));  // Ａ

    CharacterTable[2 * 0x41] = '\x83';
    CharacterTable[2 * 0x41 + 1] = '\x41';
    EXPECT_EQ(0x8341u, codeAt(characterText(0x41)));  // ア
    EXPECT_EQ(0x8341u, codeAt(graphicCharacterText(0x71)));
    std::memcpy(CharacterTable, DefaultCharacterTable, sizeof CharacterTable);
}

TEST(CharacterTable, GraphicTextIsShiftedByThirty)
{
    EXPECT_EQ(FullWidthSpace, codeAt(graphicCharacterText(0x30)));
    EXPECT_EQ(0x8C8Eu, codeAt(graphicCharacterText(0x31)));  // 月
    EXPECT_EQ(0x8FACu, codeAt(graphicCharacterText(0x4F)));  // 小
    EXPECT_EQ(FullWidthSpace, codeAt(graphicCharacterText(0x50)));
    EXPECT_EQ(0x8149u, codeAt(graphicCharacterText(0x51)));  // ！
    EXPECT_EQ(DefaultCodes[0xCF], codeAt(graphicCharacterText(0xFF)));
}

TEST(CharacterTable, BytesWithoutAnEntryStayInsideTheTable)
{
    // Below 0x30 a byte after the prefix is its own ordinary character.
    for (unsigned b = 0x20; b < 0x30; ++b)
        EXPECT_EQ(DefaultCodes[b], codeAt(graphicCharacterText(b))) << std::hex << b;
    // Only the low eight bits of a code select an entry.
    EXPECT_EQ(characterText(0x41), characterText(0x141));
    EXPECT_EQ(characterText(0xFF), characterText(0xFFFFFFFFu));
    EXPECT_EQ(graphicCharacterText(0x31), graphicCharacterText(0x131));
}

TEST(KeywordTable, KeywordsAreFullWidthLettersAndSigns)
{
    const unsigned signs[] = {0x8190, 0x8169, 0x817B, 0x817C, 0x8196,
                              0x815E, 0x814F, 0x8184, 0x8181, 0x8183};
    for (unsigned token = 0x80; token <= 0xF9; ++token) {
        const char* text = keywordText(token);
        size_t length = std::strlen(text);
        ASSERT_TRUE(length >= 2 && length % 2 == 0) << std::hex << token;
        for (size_t i = 0; i < length; i += 2) {
            unsigned code = codeAt(text + i);
            bool letter = code >= 0x8260 && code <= 0x8279;
            bool sign = std::find(std::begin(signs), std::end(signs), code) != std::end(signs);
            EXPECT_TRUE(letter || sign) << std::hex << token << ": " << code;
        }
    }
}

TEST(KeywordTable, PinnedKeywords)
{
    EXPECT_EQ(cp932({0x8264, 0x826D, 0x8263}), keywordText(0x80));                  // ＥＮＤ
    EXPECT_EQ(cp932({0x8263, 0x8260, 0x8273, 0x8260}), keywordText(0x83));          // ＤＡＴＡ
    EXPECT_EQ(cp932({0x8271, 0x8264, 0x826C}), keywordText(0x8E));                  // ＲＥＭ
    EXPECT_EQ(cp932({0x826F, 0x8271, 0x8268, 0x826D, 0x8273}), keywordText(0x95));  // ＰＲＩＮＴ
    EXPECT_EQ(cp932({0x8273, 0x8260, 0x8261, 0x8169}), keywordText(0xC2));          // ＴＡＢ（
    EXPECT_EQ(cp932({0x8268, 0x826D, 0x826A, 0x8264, 0x8278, 0x8190}), keywordText(0xC6));
    EXPECT_EQ(cp932({0x817B}), keywordText(0xCA));
    EXPECT_EQ(cp932({0x817C}), keywordText(0xCB));  // －, not the minus sign of Shift_JIS
    EXPECT_EQ(cp932({0x8196}), keywordText(0xCC));
    EXPECT_EQ(cp932({0x815E}), keywordText(0xCD));
    EXPECT_EQ(cp932({0x814F}), keywordText(0xCE));
    EXPECT_EQ(cp932({0x8184}), keywordText(0xD1));
    EXPECT_EQ(cp932({0x8181}), keywordText(0xD2));
    EXPECT_EQ(cp932({0x8183}), keywordText(0xD3));
    EXPECT_EQ(cp932({0x826C, 0x826A, 0x8272, 0x8190}), keywordText(0xF9));          // ＭＫＳ＄
}

TEST(KeywordTable, TokensWithoutKeywordAreAscii)
{
    EXPECT_STREQ("(0xFA)", keywordText(0xFA));
    EXPECT_STREQ("(0xFB)", keywordText(0xFB));
    EXPECT_STREQ("(0xFC)", keywordText(0xFC));
    EXPECT_STREQ("(0xFD)", keywordText(0xFD));
    EXPECT_STREQ("(0xFE)", keywordText(0xFE));
    EXPECT_STREQ("(0xFF)", keywordText(0xFF));
    // Only the low seven bits of a token select an entry.
    EXPECT_EQ(keywordText(0x80), keywordText(0x00));
    EXPECT_EQ(keywordText(0xFF), keywordText(0x17F));
}

TEST(ControlCodeTexts, EveryCodeHasItsParenthesisedText)
{
    for (unsigned code = 0x01; code <= 0x1F; ++code) {
        if (code == GraphicPrefix) continue;
        std::string text = controlText(code);
        ASSERT_GE(text.size(), 3u) << std::hex << code;
        EXPECT_EQ('(', text.front());
        EXPECT_EQ(')', text.back());
    }
    EXPECT_STREQ("(CTRL-A)", controlText(0x01));
    EXPECT_STREQ("(CTRL-N)", controlText(0x0E));
    EXPECT_STREQ("(CTRL-S)", controlText(0x13));
    EXPECT_STREQ("(CTRL-V)", controlText(0x16));
    EXPECT_STREQ("(ESC)", controlText(0x1B));
}

TEST(ControlCodeTexts, PinnedJapaneseTexts)
{
    // (ブザーを鳴らす)
    EXPECT_EQ("(" + cp932({0x8375, 0x8355, 0x815B, 0x82F0, 0x96C2, 0x82E7, 0x82B7}) + ")",
              controlText(0x07));
    // (キャリッジ・リターン)
    EXPECT_EQ("(" + cp932({0x834C, 0x8383, 0x838A, 0x8362, 0x8357, 0x8145, 0x838A, 0x835E,
                           0x815B, 0x8393}) + ")",
              controlText(0x0D));
    // (ＴＡＢ．８カラムごとにカーソルを右へ移動する)
    EXPECT_EQ("(" + cp932({0x8273, 0x8260, 0x8261, 0x8144, 0x8257, 0x834A, 0x8389, 0x8380,
                           0x82B2, 0x82C6, 0x82C9, 0x834A, 0x815B, 0x835C, 0x838B, 0x82F0,
                           0x8945, 0x82D6, 0x88DA, 0x93AE, 0x82B7, 0x82E9}) + ")",
              controlText(0x09));
    // (カーソルのある行を１行削除する), the first code behind the prefix
    EXPECT_EQ("(" + cp932({0x834A, 0x815B, 0x835C, 0x838B, 0x82CC, 0x82A0, 0x82E9, 0x8D73,
                           0x82F0, 0x8250, 0x8D73, 0x8DED, 0x8F9C, 0x82B7, 0x82E9}) + ")",
              controlText(0x15));
    EXPECT_EQ("(" + cp932({0x81A9}) + ")", controlText(0x1C));
    EXPECT_EQ("(" + cp932({0x81AA}) + ")", controlText(0x1E));
    EXPECT_EQ("(" + cp932({0x81AB}) + ")", controlText(0x1F));
}

TEST(ControlCodeTexts, CodesWithoutTextGiveNothing)
{
    EXPECT_STREQ("", controlText(0x00));
    EXPECT_STREQ("", controlText(GraphicPrefix));
    EXPECT_STREQ("", controlText(0x20));
    EXPECT_STREQ("", controlText(0xFFFFFFFFu));
}
