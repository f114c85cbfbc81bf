// escape_cp932 SOURCE OUTPUT: copies a UTF-8 source file with every non-ASCII character
// replaced by its code page 932 bytes written as octal escapes ("\203\163").
//
// clang, which libFuzzer needs, compiles string literals only as UTF-8, while the
// program's texts must be code page 932 bytes. glibc's iconv is the converter that g++
// uses for -fexec-charset=CP932, so the escaped copy compiles to the same bytes. Octal
// escapes end after three digits, so a digit that follows one stays a digit. Outside
// literals the program's sources hold such characters only in comments, where the
// escapes are harmless.
#include <cerrno>
#include <cstdio>
#include <iconv.h>
#include <string>

static bool readWhole(const char* path, std::string& text)
{
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

// Converts one run of non-ASCII UTF-8 bytes; false when a character has no code page
// 932 form.
static bool appendEscaped(iconv_t converter, const std::string& run, std::string& out)
{
    std::string input(run);
    char* in = &input[0];
    size_t inLeft = input.size();
    char converted[1024];
    while (inLeft > 0) {
        char* to = converted;
        size_t toLeft = sizeof converted;
        size_t done = iconv(converter, &in, &inLeft, &to, &toLeft);
        for (char* c = converted; c < to; ++c) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03o", static_cast<unsigned char>(*c));
            out += escape;
        }
        if (done == static_cast<size_t>(-1) && errno != E2BIG) return false;
    }
    return true;
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: escape_cp932 SOURCE OUTPUT\n", stderr);
        return 2;
    }
    std::string text;
    if (!readWhole(argv[1], text)) {
        std::fprintf(stderr, "escape_cp932: cannot read %s\n", argv[1]);
        return 1;
    }
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        std::fputs("escape_cp932: no UTF-8 to CP932 converter\n", stderr);
        return 1;
    }

    std::string out;
    size_t lineNumber = 1;
    for (size_t at = 0; at < text.size();) {
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            if (text[at] == '\n') ++lineNumber;
            out += text[at++];
            continue;
        }
        size_t end = at;
        while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80) ++end;
        if (!appendEscaped(converter, text.substr(at, end - at), out)) {
            std::fprintf(stderr, "%s:%zu: a character without a code page 932 form\n", argv[1],
                         lineNumber);
            return 1;
        }
        at = end;
    }
    iconv_close(converter);

    FILE* file = std::fopen(argv[2], "wb");
    if (!file) {
        std::fprintf(stderr, "escape_cp932: cannot create %s\n", argv[2]);
        return 1;
    }
    bool failed = std::fwrite(out.data(), 1, out.size(), file) != out.size();
    failed = std::fclose(file) != 0 || failed;
    return failed ? 1 : 0;
}
