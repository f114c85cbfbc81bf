#pragma once
// Conversion between UTF-8 and code page 932 with glibc's table and glibc's answers, for
// the page, whose C library knows no code page 932: EILSEQ at a character that has no
// counterpart or a broken sequence, EINVAL at a sequence cut by the input's end, E2BIG
// when the output is full, each with the input left at that character.
#include <cstddef>

enum Cp932Direction { Cp932None, Cp932FromUtf8, Cp932ToUtf8 };

// The direction iconv_open(to, from) names; Cp932None for any other pair.
Cp932Direction cp932Direction(const char* to, const char* from);

// As iconv converts: the count of irreversible conversions (none), or -1 with errno set.
size_t cp932Convert(Cp932Direction direction, char** in, size_t* inLeft, char** out,
                    size_t* outLeft);
