#include "tokenizer/code_texts.h"

#include <cstring>

#include "core/tables.h"

namespace {

enum { FirstToken = 0x80, FirstTokenWithoutKeyword = 0xFA };

void add(CodeTexts& texts, const std::string& text, unsigned first, int second, TextPlace place,
         const std::string& ascii = "")
{
    CodeText entry = {text, ascii, {static_cast<unsigned char>(first), 0}, 1, place};
    if (second >= 0) {
        entry.bytes[1] = static_cast<unsigned char>(second);
        entry.count = 2;
    }
    texts.texts.push_back(entry);
}

std::string entryText(const char* table, unsigned code) { return std::string(table + 2 * code, 2); }

// A keyword in ASCII, each full-width letter or sign replaced by the ASCII code whose
// default character it is: "ＴＡＢ（" gives "TAB(".
std::string asciiKeyword(const char* keyword)
{
    std::string ascii;
    for (const char* at = keyword; at[0] && at[1]; at += 2)
        for (unsigned code = 0x21; code < 0x7F; ++code)
            if (std::memcmp(DefaultCharacterTable + 2 * code, at, 2) == 0) {
                ascii += static_cast<char>(code);
                break;
            }
    return ascii;
}

// Printable ASCII stands for its own code, the machine's character being its full-width
// form; the grave accent has none (code 0x60 shows as a blank) and no code either.
void addAsciiTexts(CodeTexts& texts)
{
    for (unsigned code = 0x20; code < 0x7F; ++code)
        if (code != '`') add(texts, std::string(1, static_cast<char>(code)), code, -1, Anywhere);
}

void indexByFirstByte(CodeTexts& texts)
{
    for (size_t k = 0; k < texts.texts.size(); ++k) {
        const CodeText& entry = texts.texts[k];
        unsigned char first = entry.text[0];
        texts.byFirstByte[first].push_back(static_cast<int>(k));
        if (first == '\n') texts.byFirstByte[static_cast<unsigned char>('\r')].push_back(static_cast<int>(k));
        if (entry.ascii.empty()) continue;
        unsigned char ascii = entry.ascii[0];
        texts.byFirstByte[ascii].push_back(static_cast<int>(k));
        if (texts.keywordsInAnyCase && ascii >= 'A' && ascii <= 'Z')
            texts.byFirstByte[ascii - 'A' + 'a'].push_back(static_cast<int>(k));
    }
}

// Whether the ASCII byte `c` is `keyword` (an upper-case letter or a sign), or its lower
// case when `anyCase`.
bool sameAscii(char c, char keyword, bool anyCase)
{
    return c == keyword || (anyCase && keyword >= 'A' && keyword <= 'Z' && c == keyword - 'A' + 'a');
}

// Bytes of `input` at `at` that a keyword covers, each character in either width.
size_t keywordLength(const CodeText& keyword, const std::string& input, size_t at, bool anyCase)
{
    size_t start = at;
    for (size_t k = 0; k < keyword.ascii.size(); ++k) {
        if (input.compare(at, 2, keyword.text, 2 * k, 2) == 0)
            at += 2;
        else if (at < input.size() && sameAscii(input[at], keyword.ascii[k], anyCase))
            at += 1;
        else
            return 0;
    }
    return at - start;
}

// Bytes of `input` at `at` that `text` covers, 0 when it does not stand there.
size_t coveredLength(const std::string& text, const std::string& input, size_t at)
{
    size_t start = at;
    for (char c : text) {
        size_t feed = c == '\n' ? lineEndLength(input, at) : 0;
        if (feed)
            at += feed;
        else if (at < input.size() && input[at] == c)
            ++at;
        else
            return 0;
    }
    return at - start;
}

}  // namespace

size_t lineEndLength(const std::string& input, size_t at)
{
    if (at < input.size() && input[at] == '\n') return 1;
    if (at + 1 < input.size() && input[at] == '\r' && input[at + 1] == '\n') return 2;
    return 0;
}

// As the home computer's BASIC reads a line, a keyword outside a literal wins over the
// characters that spell it ("＋" is the token, not the character); the full-width space
// is 0x20, the lowest of the codes shown as it; a character the machine keeps as one
// byte wins over the same character behind GraphicPrefix.
void collectBodyTexts(CodeTexts& texts, const char* table, bool listing)
{
    texts = CodeTexts();
    texts.keywordsInAnyCase = !listing;
    for (unsigned token = FirstToken; token <= 0xFF; ++token) {
        bool keyword = token < FirstTokenWithoutKeyword;
        if (keyword)
            add(texts, keywordText(token), token, -1, OutsideLiteral, asciiKeyword(keywordText(token)));
        else if (listing)
            add(texts, keywordText(token), token, -1, OutsideLiteral);
    }
    if (listing)
        for (unsigned code = 0x01; code < 0x20; ++code)
            if (code != GraphicPrefix) add(texts, controlText(code), code, -1, Anywhere);
    for (unsigned code = 0x20; code <= 0xFF; ++code)
        add(texts, entryText(table, code), code, -1, code < FirstToken ? Anywhere : InsideLiteral);
    addAsciiTexts(texts);
    add(texts, "\t", 0x20, -1, Anywhere);
    for (unsigned code = 0xA1; code <= 0xDF; ++code)  // half-width katakana: the same codes
        add(texts, std::string(1, static_cast<char>(code)), code, -1, InsideLiteral);
    for (unsigned entry = 0x00; entry <= 0xCF; ++entry)
        add(texts, entryText(table, entry), GraphicPrefix, entry + 0x30, Anywhere);
    indexByFirstByte(texts);
}

void collectNameTexts(CodeTexts& texts, const char* table)
{
    texts = CodeTexts();
    for (unsigned k = 0; k <= 0xFF; ++k) {
        unsigned code = (k + 0x20) & 0xFF;  // 0x20 first: the blank of a name is 0x20
        add(texts, entryText(table, code), code, -1, Anywhere);
    }
    addAsciiTexts(texts);
    for (unsigned code = 0xA1; code <= 0xDF; ++code)
        add(texts, std::string(1, static_cast<char>(code)), code, -1, Anywhere);
    indexByFirstByte(texts);
}

const CodeText* longestText(const CodeTexts& texts, const std::string& input, size_t at,
                            bool literal, size_t& length)
{
    const CodeText* best = nullptr;
    length = 0;
    if (at >= input.size()) return nullptr;
    for (int k : texts.byFirstByte[static_cast<unsigned char>(input[at])]) {
        const CodeText& candidate = texts.texts[k];
        if ((candidate.place == OutsideLiteral && literal) ||
            (candidate.place == InsideLiteral && !literal))
            continue;
        size_t covered = candidate.ascii.empty() ? coveredLength(candidate.text, input, at)
                                                 : keywordLength(candidate, input, at, texts.keywordsInAnyCase);
        if (covered > length) {
            best = &candidate;
            length = covered;
        }
    }
    return best;
}
