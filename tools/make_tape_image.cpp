// make_tape_image: turns a readable BASIC program into a tape image of the home computer,
// with the code of hibarion --tokenize.
//
//   make_tape_image NAME PROGRAM.bas IMAGE.p6
//
// PROGRAM.bas is UTF-8 text, one numbered line a line ("10 PRINT "HELLO""), or a listing
// as hibarion writes it. NAME, up to six characters, is the program's name on tape.
#include <cstdio>
#include <string>
#include <vector>

#include "core/tables.h"
#include "tokenizer/tokenizer.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fputs("usage: make_tape_image NAME PROGRAM.bas IMAGE.p6\n", stderr);
        return 2;
    }
    FILE* source = std::fopen(argv[2], "rb");
    if (!source) {
        std::fprintf(stderr, "make_tape_image: cannot open %s\n", argv[2]);
        return 1;
    }
    std::string text;
    char buffer[4096];
    for (size_t count; (count = std::fread(buffer, 1, sizeof buffer, source)) > 0 &&
                       text.size() <= TextSizeLimit;)
        text.append(buffer, count);
    std::fclose(source);

    std::vector<unsigned char> image;
    TokenizeProblem problem;
    if (!tokenizeProgram(text, "", argv[1], DefaultCharacterTable, image, problem)) {
        std::string line = problem.line > 0 ? "line " + std::to_string(problem.line) + ": " : "";
        std::fprintf(stderr, "make_tape_image: %s: %s%s\n", argv[2], line.c_str(), problem.text.c_str());
        return 1;
    }
    FILE* output = std::fopen(argv[3], "wb");
    if (!output || std::fwrite(image.data(), 1, image.size(), output) != image.size() ||
        std::fclose(output) != 0) {
        std::fprintf(stderr, "make_tape_image: cannot write %s\n", argv[3]);
        return 1;
    }
    std::printf("%s: %zu bytes\n", argv[3], image.size());
    return 0;
}
