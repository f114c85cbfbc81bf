#include "tokenizer/text_encoding.h"

#include <cstdio>
#include <iconv.h>

namespace {

// Bytes of the UTF-8 sequence that `lead` opens, 0 for a byte that opens none.
size_t utf8Length(unsigned char lead)
{
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool convert(const char* from, const char* to, const std::string& input, std::string& output,
             size_t& failedAt)
{
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        failedAt = 0;
        return false;
    }
    std::string in(input);
    std::string out(in.size() * 4 + 16, '\0');  // no character grows more than fourfold
    char* inAt = &in[0];
    size_t inLeft = in.size();
    char* outAt = &out[0];
    size_t outLeft = out.size();
    bool converted = iconv(converter, &inAt, &inLeft, &outAt, &outLeft) != static_cast<size_t>(-1);
    iconv_close(converter);
    failedAt = static_cast<size_t>(inAt - &in[0]);
    out.resize(out.size() - outLeft);
    output.swap(out);
    return converted;
}

std::string byteValues(const std::string& text, size_t at, size_t length)
{
    std::string shown = "byte";
    for (size_t k = at; k < at + length && k < text.size(); ++k) {
        char value[8];
        std::snprintf(value, sizeof value, " 0x%02X", static_cast<unsigned char>(text[k]));
        shown += value;
    }
    return shown;
}

}  // namespace

bool isUtf8(const std::string& text)
{
    for (size_t at = 0; at < text.size();) {
        size_t length = utf8Length(static_cast<unsigned char>(text[at]));
        if (length == 0 || text.size() - at < length) return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return false;
        at += length;
    }
    return true;
}

bool convertUtf8To932(const std::string& utf8, std::string& cp932, size_t& failedAt)
{
    return convert("UTF-8", "CP932", utf8, cp932, failedAt);
}

std::string shownUtf8Character(const std::string& utf8, size_t at)
{
    if (at >= utf8.size()) return "the end";
    size_t length = utf8Length(static_cast<unsigned char>(utf8[at]));
    unsigned char lead = static_cast<unsigned char>(utf8[at]);
    if (length == 0 || lead < 0x20 || lead == 0x7F) return byteValues(utf8, at, 1);
    return "\"" + utf8.substr(at, length) + "\"";
}

std::string shown932Character(const std::string& cp932, size_t at)
{
    if (at >= cp932.size()) return "the end";
    unsigned char lead = static_cast<unsigned char>(cp932[at]);
    size_t length = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC) ? 2 : 1;
    std::string utf8;
    size_t failedAt;
    if (lead < 0x20 || lead == 0x7F ||
        !convert("CP932", "UTF-8", cp932.substr(at, length), utf8, failedAt))
        return byteValues(cp932, at, length);
    return "\"" + utf8 + "\"";
}
