#include "tokenizer/tokenizer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/tables.h"
#include "tokenizer/code_texts.h"
#include "tokenizer/text_encoding.h"

namespace {

enum {
    HeaderMark = 0xD3,      // the ten bytes before the name on tape
    HeaderLength = 10,
    NameLength = 6,
    FirstLineAddress = 0x8001,
    LastAddress = 0xFFFF,
    DoubleQuote = 0x22,
};

const char ListingHeading[] = "FILENAME = ";
const char Utf8ByteOrderMark[] = "\xEF\xBB\xBF";

typedef std::vector<unsigned char> Bytes;

struct Reading {
    const std::string& text;  // code page 932
    size_t at;
    TokenizeProblem& problem;
};

// The problem, on the line that holds the byte at `lineStart`.
bool refuse(Reading& reading, size_t lineStart, const std::string& what)
{
    reading.problem.line =
        1 + static_cast<int>(std::count(reading.text.begin(), reading.text.begin() + lineStart, '\n'));
    reading.problem.text = what;
    return false;
}

std::string numberText(unsigned long number)
{
    char text[24];
    std::snprintf(text, sizeof text, "%lu", number);
    return text;
}

// Up to six codes from the characters at the reading position, padded with blanks; it
// stops at the sixth character or before a byte that no character covers.
size_t readName(Reading& reading, const CodeTexts& texts, bool upperCase, Bytes& image)
{
    size_t count = 0;
    size_t length;
    const CodeText* found;
    while (count < NameLength &&
           (found = longestText(texts, reading.text, reading.at, false, length))) {
        unsigned char code = found->bytes[0];
        if (upperCase && code >= 'a' && code <= 'z') code = static_cast<unsigned char>(code - 0x20);
        image.push_back(code);
        reading.at += length;
        ++count;
    }
    image.insert(image.end(), NameLength - count, 0x20);
    return count;
}

// Blanks and tabs, as people indent lines.
void skipBlanks(Reading& reading)
{
    const std::string& text = reading.text;
    for (;;) {
        if (text.compare(reading.at, 1, " ") == 0 || text.compare(reading.at, 1, "\t") == 0)
            reading.at += 1;
        else if (text.compare(reading.at, 2, "\x81\x40") == 0)
            reading.at += 2;
        else
            return;
    }
}

// The digits of a line number, ASCII or full-width, and the one blank or tab after them.
bool readLineNumber(Reading& reading, size_t lineStart, unsigned& number)
{
    const std::string& text = reading.text;
    unsigned long value = 0;
    bool any = false;
    for (;;) {
        unsigned digit;
        if (reading.at < text.size() && text[reading.at] >= '0' && text[reading.at] <= '9') {
            digit = text[reading.at] - '0';
            reading.at += 1;
        } else if (reading.at + 1 < text.size() && text[reading.at] == '\x82' &&
                   text[reading.at + 1] >= '\x4F' && text[reading.at + 1] <= '\x58') {
            digit = text[reading.at + 1] - '\x4F';
            reading.at += 2;
        } else {
            break;
        }
        any = true;
        value = std::min(value * 10 + digit, 100000ul);  // beyond any line number
    }
    if (!any) return refuse(reading, lineStart, "no line number");
    if (value > 65535)
        return refuse(reading, lineStart,
                      "line number " + (value < 100000 ? numberText(value) : std::string("of six digits or more")) +
                          ", above 65535");
    number = static_cast<unsigned>(value);
    if (text.compare(reading.at, 1, " ") == 0 || text.compare(reading.at, 1, "\t") == 0)
        reading.at += 1;
    else if (text.compare(reading.at, 2, "\x81\x40") == 0)
        reading.at += 2;
    return true;
}

// One program line's body up to its line end; literal is kept as the listing writer
// keeps it, judged on the last byte a text stands for.
bool readLineBody(Reading& reading, const CodeTexts& texts, size_t lineStart, Bytes& body)
{
    bool literal = false;
    while (reading.at < reading.text.size()) {
        size_t length;
        const CodeText* found = longestText(texts, reading.text, reading.at, literal, length);
        if (!found) {
            size_t end = lineEndLength(reading.text, reading.at);
            if (end) {
                reading.at += end;
                break;
            }
            return refuse(reading, lineStart,
                          "a character with no code: " + shown932Character(reading.text, reading.at));
        }
        body.insert(body.end(), found->bytes, found->bytes + found->count);
        unsigned char last = found->bytes[found->count - 1];
        if (last == DoubleQuote)
            literal = !literal;
        else if (last == DataToken || last == RemToken)
            literal = true;
        reading.at += length;
    }
    if (body.size() > LineBodyLimit)
        return refuse(reading, lineStart,
                      "a line of " + numberText(body.size()) + " bytes, longer than the " +
                          numberText(LineBodyLimit) + " the machine takes");
    return true;
}

// The lines one after another, each with the address of the next as its link, then the
// three zero bytes of the end.
bool readProgram(Reading& reading, const CodeTexts& texts, Bytes& image)
{
    while (reading.at < reading.text.size()) {
        size_t lineStart = reading.at;
        skipBlanks(reading);
        size_t end = lineEndLength(reading.text, reading.at);
        if (end || reading.at == reading.text.size()) {  // blank lines are skipped
            reading.at += end;
            continue;
        }
        unsigned number;
        Bytes body;
        if (!readLineNumber(reading, lineStart, number) || !readLineBody(reading, texts, lineStart, body))
            return false;
        unsigned long next = FirstLineAddress + (image.size() - HeaderLength - NameLength) + 4 +
                             body.size() + 1;
        if (next + 2 > LastAddress)  // the end's zero link must fit as well
            return refuse(reading, lineStart, "the program does not fit in the machine's memory");
        image.push_back(static_cast<unsigned char>(next & 0xFF));
        image.push_back(static_cast<unsigned char>(next >> 8));
        image.push_back(static_cast<unsigned char>(number & 0xFF));
        image.push_back(static_cast<unsigned char>(number >> 8));
        image.insert(image.end(), body.begin(), body.end());
        image.push_back(0x00);
    }
    image.insert(image.end(), 3, 0x00);
    return true;
}

// The name given or taken from the file's name, UTF-8 (or code page 932), through the
// default table: its first six characters.
bool readGivenName(const std::string& name, bool upperCase, Bytes& image, TokenizeProblem& problem)
{
    std::string cp932 = name;
    size_t failedAt;
    if (isUtf8(name) && !convertUtf8To932(name, cp932, failedAt)) {
        problem = {0, "the name on tape: a character with no code: " + shownUtf8Character(name, failedAt)};
        return false;
    }
    CodeTexts texts;
    collectNameTexts(texts, DefaultCharacterTable);
    Reading reading = {cp932, 0, problem};
    if (readName(reading, texts, upperCase, image) < NameLength && reading.at < cp932.size()) {
        problem = {0, "the name on tape: a character with no code: " + shown932Character(cp932, reading.at)};
        return false;
    }
    return true;
}

// The program in `text`, code page 932.
bool tokenizeText(const std::string& text, const std::string& fileStem, const char* givenName,
                  const char* characterTable, Bytes& image, TokenizeProblem& problem)
{
    problem = {0, ""};
    image.assign(HeaderLength, HeaderMark);
    bool listing = text.compare(0, sizeof ListingHeading - 1, ListingHeading) == 0;
    Reading reading = {text, 0, problem};
    if (listing) {
        CodeTexts nameTexts;
        collectNameTexts(nameTexts, characterTable);
        reading.at = sizeof ListingHeading - 1;
        readName(reading, nameTexts, false, image);
        size_t end = lineEndLength(text, reading.at);
        if (end == 0 && reading.at < text.size())
            return refuse(reading, 0, longestText(nameTexts, text, reading.at, false, end)
                                          ? std::string("a name of more than six characters")
                                          : "a character with no code: " + shown932Character(text, reading.at));
        reading.at += end;
    }
    if (givenName || !listing) {
        image.resize(HeaderLength);
        if (!readGivenName(givenName ? givenName : fileStem, !givenName, image, problem)) return false;
    }

    CodeTexts bodyTexts;
    collectBodyTexts(bodyTexts, listing ? characterTable : DefaultCharacterTable, listing);
    return readProgram(reading, bodyTexts, image);
}

}  // namespace

bool tokenizeProgram(const std::string& source, const std::string& fileStem, const char* givenName,
                     const char* characterTable, std::vector<unsigned char>& image,
                     TokenizeProblem& problem)
{
    problem = {0, ""};
    if (source.size() > TextSizeLimit) {
        problem.text = "longer than " + numberText(TextSizeLimit) + " bytes, more than any program";
        return false;
    }
    if (!isUtf8(source))
        return tokenizeText(source, fileStem, givenName, characterTable, image, problem);

    // Some texts read as either encoding (the bytes C3 B1 of "ﾃｱ" are an accented letter
    // in UTF-8): the one whose every character has a code is taken, UTF-8 when both are.
    // Of a text that is a program in neither, the reading that got further is meant.
    std::string utf8 = source.compare(0, 3, Utf8ByteOrderMark) == 0 ? source.substr(3) : source;
    std::string cp932;
    size_t failedAt;
    TokenizeProblem utf8Problem;
    if (convertUtf8To932(utf8, cp932, failedAt)) {
        if (tokenizeText(cp932, fileStem, givenName, characterTable, image, utf8Problem)) return true;
    } else {
        Reading reading = {utf8, failedAt, utf8Problem};
        refuse(reading, failedAt, "a character with no code: " + shownUtf8Character(utf8, failedAt));
    }
    if (tokenizeText(source, fileStem, givenName, characterTable, image, problem)) return true;
    if (utf8Problem.line >= problem.line) problem = utf8Problem;
    return false;
}
