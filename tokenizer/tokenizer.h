#pragma once
// Turns a BASIC program written as text back into the tape image the home computer
// saves. Two kinds of text, told apart by their content: a listing as the listing writer
// writes it (code page 932, opening with "FILENAME = "), or plain text, one numbered line
// a line, with keywords and characters in ASCII, full-width forms or kana, keywords in
// ASCII in either case, tabs as blanks.
#include <string>
#include <vector>

#include "core/tables.h"

enum { TextSizeLimit = 4 << 20 };  // bytes of text; a listing of the largest program is far less

struct TokenizeProblem {
    int line;          // the text's line, from 1; 0 when the problem lies in the name
    std::string text;  // what is wrong, in UTF-8
};

// `text`: the file's bytes, UTF-8 or code page 932: the reading that makes a program,
// UTF-8 when both do.
// The name on tape is `givenName` when it is not null, else a listing's heading, else
// `fileStem` in upper case; either of the first two is taken as written. A listing's
// characters are read through `characterTable` (CharacterTableSize bytes), the table it
// was written with; plain text through the default table. False, with `problem` filled
// and no program in `image`, when the text is not a program.
bool tokenizeProgram(const std::string& text, const std::string& fileStem, const char* givenName,
                     const char* characterTable, std::vector<unsigned char>& image,
                     TokenizeProblem& problem);
