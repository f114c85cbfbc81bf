// make_tape_image: turns a readable BASIC program into a tape image of the home computer.
//
//   make_tape_image NAME PROGRAM.bas IMAGE.p6
//
// PROGRAM.bas is UTF-8 text, one numbered line a line ("10 PRINT "HELLO""). Keyword
// names become their tokens through KeywordTable; every other character becomes the code
// whose entry in the default CharacterTable is that character (ASCII is taken as its
// full-width form, so "A" is code 0x41 and "カ" code 0xB6). Inside string literals and
// after REM or DATA nothing is tokenized, as the home computer's BASIC does it. NAME,
// up to six characters, is the program's name on tape.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <string>
#include <vector>

#include "core/tables.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const unsigned long firstLineAddress = 0x8001;  // only the link's non-zero value matters
const unsigned char headerMark = 0xD3;          // the ten bytes before the name on tape

bool convert(const char* from, const char* to, const std::string& text, std::string* out)
{
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::string input(text);
    char* in = &input[0];
    size_t inLeft = input.size();
    std::vector<char> buffer(input.size() * 4 + 16);
    char* outStart = buffer.data();
    size_t outLeft = buffer.size();
    bool ok = iconv(converter, &in, &inLeft, &outStart, &outLeft) != static_cast<size_t>(-1);
    iconv_close(converter);
    out->assign(buffer.data(), outStart - buffer.data());
    return ok;
}

// The code page 932 form a character table entry would hold for one character: the
// full-width form of printable ASCII, the character itself otherwise. Four signs have
// full-width forms of their own in the table.
std::string fullWidth(const std::string& cp932Character)
{
    unsigned char c = cp932Character[0];
    if (cp932Character.size() != 1 || c < 0x21 || c > 0x7E) return cp932Character;
    if (c == '"') return "”";
    if (c == '\'') return "’";
    if (c == '\\') return "￥";
    if (c == '~') return "￣";
    unsigned code = 0xFF01 + (c - 0x21);  // U+FF01 ... U+FF5E stand for 0x21 ... 0x7E
    std::string utf8 = {char(0xE0 | (code >> 12)), char(0x80 | ((code >> 6) & 0x3F)),
                        char(0x80 | (code & 0x3F))};
    std::string cp932;
    convert("UTF-8", "CP932", utf8, &cp932);
    return cp932;
}

int characterCode(const std::string& cp932Character)
{
    if (cp932Character == " ") return 0x20;
    std::string wanted = fullWidth(cp932Character);
    if (wanted.size() != 2) return -1;
    for (int code = 0x20; code < 256; ++code)
        if (std::memcmp(DefaultCharacterTable + 2 * code, wanted.data(), 2) == 0) return code;
    return -1;
}

// The keyword names in ASCII, from the full-width texts of KeywordTable.
std::vector<std::string> asciiKeywords()
{
    std::vector<std::string> names;
    for (int token = 0x80; token <= 0xF9; ++token) {
        std::string utf8, name;
        convert("CP932", "UTF-8", KeywordTable[token - 0x80], &utf8);
        for (size_t k = 0; k + 3 <= utf8.size(); k += 3) {
            unsigned code = ((utf8[k] & 0x0F) << 12) | ((utf8[k + 1] & 0x3F) << 6) | (utf8[k + 2] & 0x3F);
            name += static_cast<char>(code - 0xFF01 + 0x21);
        }
        names.push_back(name);
    }
    return names;
}

// Splits code page 932 text into characters of one or two bytes.
std::vector<std::string> characters(const std::string& text)
{
    std::vector<std::string> result;
    for (size_t k = 0; k < text.size();) {
        unsigned char c = text[k];
        size_t length = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
        result.push_back(text.substr(k, length));
        k += length;
    }
    return result;
}

bool tokenizeLine(const std::string& body, const std::vector<std::string>& keywords, Bytes* out,
                  std::string* problem)
{
    std::vector<std::string> chars = characters(body);
    bool literal = false;
    for (size_t k = 0; k < chars.size();) {
        if (!literal && chars[k].size() == 1) {
            size_t bestLength = 0;
            int bestToken = 0;
            for (size_t t = 0; t < keywords.size(); ++t) {
                const std::string& name = keywords[t];
                if (name.size() <= bestLength || k + name.size() > chars.size()) continue;
                bool match = true;
                for (size_t n = 0; n < name.size() && match; ++n)
                    match = chars[k + n].size() == 1 && chars[k + n][0] == name[n];
                if (match) {
                    bestLength = name.size();
                    bestToken = static_cast<int>(0x80 + t);
                }
            }
            if (bestLength) {
                out->push_back(static_cast<unsigned char>(bestToken));
                if (bestToken == 0x83 || bestToken == 0x8E) literal = true;  // DATA, REM
                k += bestLength;
                continue;
            }
        }
        int code = characterCode(chars[k]);
        if (code < 0) {
            *problem = "no character code for \"" + chars[k] + "\"";
            return false;
        }
        out->push_back(static_cast<unsigned char>(code));
        if (code == 0x22) literal = !literal;
        ++k;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fputs("usage: make_tape_image NAME PROGRAM.bas IMAGE.p6\n", stderr);
        return 2;
    }
    FILE* source = std::fopen(argv[2], "rb");
    if (!source) {
        std::fprintf(stderr, "make_tape_image: cannot open %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    std::vector<std::string> keywords = asciiKeywords();

    Bytes image(10, headerMark);
    std::string name;
    if (!convert("UTF-8", "CP932", argv[1], &name)) name.clear();
    std::vector<std::string> nameChars = characters(name);
    for (size_t k = 0; k < 6; ++k) {
        int code = k < nameChars.size() ? characterCode(nameChars[k]) : 0x20;
        image.push_back(static_cast<unsigned char>(code < 0 ? 0x20 : code));
    }

    char buffer[4096];
    int lineNumberInFile = 0;
    while (std::fgets(buffer, sizeof buffer, source)) {
        ++lineNumberInFile;
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line.empty()) continue;
        size_t digits = 0;
        while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
        unsigned long number = digits && digits <= 5 ? std::stoul(line.substr(0, digits)) : 70000;
        if (number > 65535) {
            std::fprintf(stderr, "make_tape_image: %s:%d: no line number\n", argv[2], lineNumberInFile);
            return 1;
        }
        size_t start = digits;
        if (start < line.size() && line[start] == ' ') ++start;
        std::string body, problem;
        Bytes tokens;
        if (!convert("UTF-8", "CP932", line.substr(start), &body) ||
            !tokenizeLine(body, keywords, &tokens, &problem)) {
            std::fprintf(stderr, "make_tape_image: %s:%d: %s\n", argv[2], lineNumberInFile,
                         problem.empty() ? "not UTF-8 text" : problem.c_str());
            return 1;
        }
        unsigned long next = firstLineAddress + (image.size() - 16) + 4 + tokens.size() + 1;
        image.push_back(static_cast<unsigned char>(next));
        image.push_back(static_cast<unsigned char>(next >> 8));
        image.push_back(static_cast<unsigned char>(number));
        image.push_back(static_cast<unsigned char>(number >> 8));
        image.insert(image.end(), tokens.begin(), tokens.end());
        image.push_back(0);
    }
    std::fclose(source);
    // The program ends with a zero link; the home computer pads with zero bytes.
    image.insert(image.end(), 12, 0);

    FILE* output = std::fopen(argv[3], "wb");
    if (!output || std::fwrite(image.data(), 1, image.size(), output) != image.size() ||
        std::fclose(output) != 0) {
        std::fprintf(stderr, "make_tape_image: cannot write %s\n", argv[3]);
        return 1;
    }
    std::printf("%s: %zu bytes\n", argv[3], image.size());
    return 0;
}
