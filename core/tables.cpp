#include "core/tables.h"

// Every text below is written as readable characters; the build stores them as code
// page 932, and the tests pin the resulting bytes.

const char* const KeywordTable[128] = {
    "ＥＮＤ", "ＦＯＲ", "ＮＥＸＴ", "ＤＡＴＡ", "ＩＮＰＵＴ", "ＤＩＭ", "ＲＥＡＤ", "ＬＥＴ",
    "ＧＯＴＯ", "ＲＵＮ", "ＩＦ", "ＲＥＳＴＯＲＥ", "ＧＯＳＵＢ", "ＲＥＴＵＲＮ", "ＲＥＭ", "ＳＴＯＰ",
    "ＯＵＴ", "ＯＮ", "ＬＰＲＩＮＴ", "ＤＥＦ", "ＰＯＫＥ", "ＰＲＩＮＴ", "ＣＯＮＴ", "ＬＩＳＴ",
    "ＬＬＩＳＴ", "ＣＬＥＡＲ", "ＣＯＬＯＲ", "ＰＳＥＴ", "ＰＲＥＳＥＴ", "ＬＩＮＥ", "ＰＡＩＮＴ", "ＳＣＲＥＥＮ",
    "ＣＬＳ", "ＬＯＣＡＴＥ", "ＣＯＮＳＯＬＥ", "ＣＬＯＡＤ", "ＣＳＡＶＥ", "ＥＸＥＣ", "ＳＯＵＮＤ", "ＰＬＡＹ",
    "ＫＥＹ", "ＬＣＯＰＹ", "ＮＥＷ", "ＲＥＮＵＭ", "ＣＩＲＣＬＥ", "ＧＥＴ", "ＰＵＴ", "ＢＬＯＡＤ",
    "ＢＳＡＶＥ", "ＦＩＬＥＳ", "ＬＦＩＬＥＳ", "ＬＯＡＤ", "ＭＥＲＧＥ", "ＮＡＭＥ", "ＳＡＶＥ", "ＦＩＥＬＤ",
    "ＬＳＥＴ", "ＲＳＥＴ", "ＯＰＥＮ", "ＣＬＯＳＥ", "ＤＳＫＯ＄", "ＫＩＬＬ", "ＴＡＬＫ", "ＭＯＮ",
    "ＫＡＮＪＩ", "ＤＥＬＥＴＥ", "ＴＡＢ（", "ＴＯ", "ＦＮ", "ＳＰＣ（", "ＩＮＫＥＹ＄", "ＴＨＥＮ",
    "ＮＯＴ", "ＳＴＥＰ", "＋", "－", "＊", "／", "＾", "ＡＮＤ",
    "ＯＲ", "＞", "＝", "＜", "ＳＧＮ", "ＩＮＴ", "ＡＢＳ", "ＵＳＲ",
    "ＦＲＥ", "ＩＮＰ", "ＬＰＯＳ", "ＰＯＳ", "ＳＱＲ", "ＲＮＤ", "ＬＯＧ", "ＥＸＰ",
    "ＣＯＳ", "ＳＩＮ", "ＴＡＮ", "ＰＥＥＫ", "ＬＥＮ", "ＨＥＸ＄", "ＳＴＲ＄", "ＶＡＬ",
    "ＡＳＣ", "ＣＨＲ＄", "ＬＥＦＴ＄", "ＲＩＧＨＴ＄", "ＭＩＤ＄", "ＰＯＩＮＴ", "ＣＳＲＬＩＮ", "ＳＴＩＣＫ",
    "ＳＴＲＩＧ", "ＴＩＭＥ", "ＰＡＤ", "ＤＳＫＩ＄", "ＬＯＦ", "ＬＯＣ", "ＥＯＦ", "ＤＳＫＦ",
    "ＣＶＳ", "ＭＫＳ＄", "(0xFA)", "(0xFB)", "(0xFC)", "(0xFD)", "(0xFE)", "(0xFF)",
};

// One double-byte character for each code, a row of 16 codes a line. Written once and
// used for both the constant default and the working copy's first contents.
#define DEFAULT_CHARACTERS                  \
    "　月火水木金土日年円時分秒百千万"     \
    "π┻┳┫┣╋┃━┏┓┗┛×大中小"     \
    "　！”＃＄％＆’（）＊＋，－．／"     \
    "０１２３４５６７８９：；＜＝＞？"     \
    "＠ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯ"     \
    "ＰＱＲＳＴＵＶＷＸＹＺ［￥］＾＿"     \
    "　ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏ"     \
    "ｐｑｒｓｔｕｖｗｘｙｚ｛｜｝￣　"     \
    "▲▼★◆○●をぁぃぅぇぉゃゅょっ"     \
    "　あいうえおかきくけこさしすせそ"     \
    "　。「」、・ヲァィゥェォャュョッ"     \
    "ーアイウエオカキクケコサシスセソ"     \
    "タチツテトナニヌネノハヒフヘホマ"     \
    "ミムメモヤユヨラリルレロワン゛゜"     \
    "たちつてとなにぬねのはひふへほま"     \
    "みむめもやゆよらりるれろわん　　"

static_assert(sizeof(DEFAULT_CHARACTERS) == CharacterTableSize + 1,
              "every character must be two bytes in code page 932");

const char DefaultCharacterTable[CharacterTableSize + 1] = DEFAULT_CHARACTERS;
char CharacterTable[CharacterTableSize + 1] = DEFAULT_CHARACTERS;

#undef DEFAULT_CHARACTERS

const char* const ControlCodeTexts[30] = {
    "(CTRL-A)",                                          // 0x01
    "(カーソルを１項目ごとに左へずらす)",                // 0x02
    "(プログラムの実行を中止して、キー入力待ちになる)",  // 0x03
    "(CTRL-D)",                                          // 0x04
    "(カーソルキーから後ろを削除する)",                  // 0x05
    "(カーソルを１項目ごとに右へずらす)",                // 0x06
    "(ブザーを鳴らす)",                                  // 0x07
    "(１文字削除する)",                                  // 0x08
    "(ＴＡＢ．８カラムごとにカーソルを右へ移動する)",    // 0x09
    "(ラインフィード)",                                  // 0x0A
    "(ホーム。カーソルを左上に戻す)",                    // 0x0B
    "(画面全体をクリアする)",                            // 0x0C
    "(キャリッジ・リターン)",                            // 0x0D
    "(CTRL-N)",                                          // 0x0E
    "(CTRL-O)",                                          // 0x0F
    "(CTRL-P)",                                          // 0x10
    "(CTRL-Q)",                                          // 0x11
    "(インサート)",                                      // 0x12
    "(CTRL-S)",                                          // 0x13
    "(カーソルのある行を１行削除する)",                  // 0x15
    "(CTRL-V)",                                          // 0x16
    "(CTRL-W)",                                          // 0x17
    "(CTRL-X)",                                          // 0x18
    "(CTRL-Y)",                                          // 0x19
    "(CTRL-Z)",                                          // 0x1A
    "(ESC)",                                             // 0x1B
    "(←)",                                              // 0x1C
    "(→)",                                              // 0x1D
    "(↑)",                                              // 0x1E
    "(↓)",                                              // 0x1F
};

// The lookups take any unsigned value and never reach outside their table: only the low
// bits that select an entry are used.

const char* keywordText(unsigned token) { return KeywordTable[(token - 0x80) & 0x7F]; }

const char* characterText(unsigned code) { return CharacterTable + 2 * (code & 0xFF); }

// Bytes from 0x30 on reach entries 0x00 to 0xCF. A byte below 0x30 has no semigraphic
// entry and is shown as the ordinary character of its own code.
const char* graphicCharacterText(unsigned code)
{
    code &= 0xFF;
    return characterText(code >= 0x30 ? code - 0x30 : code);
}

// Codes without a text (0x00, GraphicPrefix, anything above 0x1F) give the empty text.
const char* controlText(unsigned code)
{
    if (code < 0x01 || code > 0x1F || code == GraphicPrefix) return "";
    return ControlCodeTexts[code < GraphicPrefix ? code - 1 : code - 2];
}
