#include "cli/tokenize.h"

#include <cstdio>
#include <string>
#include <vector>

#include "cli/image_file.h"
#include "cli/platform.h"
#include "core/input_file.h"
#include "core/output_file.h"
#include "core/output_folder.h"
#include "core/platform.h"
#include "core/tables.h"
#include "tokenizer/tokenizer.h"

namespace {

// At most TextSizeLimit + 1 bytes: enough for the tokenizer to tell a text too long.
bool readText(const char* path, std::string& text)
{
    InputFile file(path);
    if (!file.get()) return false;
    char buffer[65536];
    size_t count;
    while (text.size() <= TextSizeLimit && (count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        text.append(buffer, count);
    return std::ferror(file.get()) == 0;
}

}  // namespace

void tokenizeFile(const char* textPath, const char* givenName)
{
    // NAME: the file's name without its folder and its last extension.
    std::string path(textPath);
    std::string::size_type slash = path.rfind('/');
    std::string::size_type nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string::size_type dot = path.rfind('.');
    std::string::size_type nameEnd = dot == std::string::npos || dot <= nameStart ? path.size() : dot;
    std::string stem = path.substr(nameStart, nameEnd - nameStart);
    std::string imagePath = placeOutput(path.substr(0, nameEnd) + ".p6");
    if (imagePath == path) return reportProblem(textPath, "the tape image would replace its own text");

    std::string text;
    if (!readText(textPath, text)) return reportProblem(textPath, "cannot be read");
    std::vector<unsigned char> image;
    TokenizeProblem problem;
    if (!tokenizeProgram(text, stem, givenName, CharacterTable, image, problem))
        return reportProblem(textPath, problem.line > 0 ? "line " + std::to_string(problem.line) + ": " + problem.text
                                                 : problem.text);

    std::string failure = writeImageFile(imagePath, image);
    if (!failure.empty()) {
        showWriteFailure(nullptr, MessageId::CannotWrite, imagePath.c_str(), failure);
        return;
    }
    reportFileWritten(textPath, imagePath.c_str(), image.size(), "bytes");
}
