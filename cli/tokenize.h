#pragma once
// hibarion --tokenize: each named file is a BASIC program's text, written as the tape
// image NAME.p6 beside it (or in --output-dir).

// Reads `textPath` and writes its tape image; false, after a problem reported that names
// the file (and the line), when no image was written. `givenName`,
// when not null, is the name on tape.
bool tokenizeFile(const char* textPath, const char* givenName);
