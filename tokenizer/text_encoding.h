#pragma once
// The two encodings a program's text may come in, and characters shown in messages.
#include <string>

// True when `text` is made of whole UTF-8 sequences (plain ASCII is).
bool isUtf8(const std::string& text);

// Converts UTF-8 to code page 932. False when a character has none; `failedAt` is then
// its offset in `utf8`.
bool convertUtf8To932(const std::string& utf8, std::string& cp932, size_t& failedAt);

// The character at `at`, for a message in UTF-8: itself when it is printable, its byte
// values otherwise.
std::string shownUtf8Character(const std::string& utf8, size_t at);
std::string shown932Character(const std::string& cp932, size_t at);
