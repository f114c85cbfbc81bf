#include "tokenizer/code_texts.h"

#include <cstring>

#include "core/tables.h"

namespace {

enum { FirstToken = 0x80, FirstTokenWithoutKeyword = 0xFA };

void add(CodeTexts& texts, const std::string& text, unsigned first, int second, TextPlace place)
{
    CodeText entry = {text, {static_cast<unsigned char>(first), 0}, 1, place};
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

void indexByFirstByte(CodeTexts& texts)
{
    for (size_t k = 0; k < texts.texts.size(); ++k) {
        unsigned char first = texts.texts[k].text[0];
        texts.byFirstByte[first].push_back(static_cast<int>(k));
        if (first == '\n') texts.byFirstByte['\r'].push_back(static_cast<int>(k));
    }
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
    for (unsigned token = FirstToken; token <= 0xFF; ++token) {
        bool keyword = token < FirstTokenWithoutKeyword;
        if (keyword || listing) add(texts, keywordText(token), token, -1, OutsideLiteral);
        if (keyword) add(texts, asciiKeyword(keywordText(token)), token, -1, OutsideLiteral);
    }
    if (listing)
        for (unsigned code = 0x01; code < 0x20; ++code)
            if (code != GraphicPrefix) add(texts, controlText(code), code, -1, Anywhere);
    for (unsigned code = 0x20; code <= 0xFF; ++code)
        add(texts, entryText(table, code), code, -1, code < FirstToken ? Anywhere : InsideLiteral);
    for (unsigned code = 0x20; code < 0x7F; ++code)
        add(texts, std::string(1, static_cast<char>(code)), code, -1, Anywhere);
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
    for (unsigned code = 0x20; code < 0x7F; ++code)
        add(texts, std::string(1, static_cast<char>(code)), code, -1, Anywhere);
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
        size_t covered = coveredLength(candidate.text, input, at);
        if (covered > length) {
            best = &candidate;
            length = covered;
        }
    }
    return best;
}
