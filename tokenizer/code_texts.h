#pragma once
// The texts through which the listing writer spells out a program's bytes, each with the
// bytes it stands for, looked up in reverse: from text back to bytes.
#include <string>
#include <vector>

enum TextPlace { Anywhere, OutsideLiteral, InsideLiteral };

struct CodeText {
    std::string text;  // code page 932; a line feed in it stands for CR LF or LF
    // For a keyword: the ASCII form of each full-width character of `text`, either of
    // which the input may hold in its place ("ＴＡＢ（", "TAB(" and "TＡB(" alike).
    std::string ascii;
    unsigned char bytes[2];
    int count;
    TextPlace place;
};

struct CodeTexts {
    std::vector<CodeText> texts;       // in the order of preference among equally long ones
    std::vector<int> byFirstByte[256];  // indexes into texts
    bool keywordsInAnyCase = false;     // ASCII letters of keywords in either case
};

// What a line's body may hold: keywords, characters of `table`, semigraphics, ASCII, and
// a tab as a blank; with `listing`, also the control texts and the texts of the tokens
// without keyword, and without it keywords in ASCII in either case, as people type them.
void collectBodyTexts(CodeTexts& texts, const char* table, bool listing);
// What a name on tape may hold: every character of `table` as its own code, and ASCII.
void collectNameTexts(CodeTexts& texts, const char* table);

// The longest text allowed in the literal state `literal` that stands at `at` in
// `input`, or null; `length` receives the count of input bytes it covers.
const CodeText* longestText(const CodeTexts& texts, const std::string& input, size_t at,
                            bool literal, size_t& length);

// Bytes of the line end at `at` (CR LF or LF), 0 when none stands there.
size_t lineEndLength(const std::string& input, size_t at);
