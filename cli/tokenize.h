#pragma once
// hibarion --tokenize: each named file is a BASIC program's text, written as the tape
// image NAME.p6 beside it (or in --output-dir).

// Reads `textPath` and writes its tape image, or reports the problem that names the file
// (and the line) and writes none. `givenName`, when not null, is the name on tape.
void tokenizeFile(const char* textPath, const char* givenName);
