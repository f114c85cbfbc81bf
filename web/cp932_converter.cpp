#include "web/cp932_converter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <strings.h>

#include "cp932_table.h"

namespace {

bool named(const char* name, const char* expected) { return strcasecmp(name, expected) == 0; }

// The table's partner of `key`, or -1.
template <size_t N>
long lookUp(const Cp932Pair (&pairs)[N], unsigned key)
{
    const Cp932Pair* found = std::lower_bound(
        std::begin(pairs), std::end(pairs), key,
        [](const Cp932Pair& pair, unsigned value) { return pair.from < value; });
    return found != std::end(pairs) && found->from == key ? found->to : -1;
}

// Reads one character; its length, 0 for a broken sequence, -1 for one cut short.
int readUtf8(const unsigned char* in, size_t left, unsigned& point)
{
    unsigned char lead = in[0];
    int length = lead < 0x80                   ? 1
                 : lead >= 0xC2 && lead <= 0xDF ? 2
                 : lead >= 0xE0 && lead <= 0xEF ? 3
                 : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                : 0;
    if (length == 0) return 0;
    point = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        if (static_cast<size_t>(k) >= left) return -1;
        if ((in[k] & 0xC0) != 0x80) return 0;
        point = point << 6 | (in[k] & 0x3F);
    }
    static const unsigned shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < shortest[length] || point > 0x10FFFF || (point >= 0xD800 && point < 0xE000))
        return 0;
    return length;
}

int writeUtf8(unsigned point, unsigned char* out)
{
    if (point < 0x80) {
        out[0] = static_cast<unsigned char>(point);
        return 1;
    }
    if (point < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | point >> 6);
        out[1] = static_cast<unsigned char>(0x80 | (point & 0x3F));
        return 2;
    }
    out[0] = static_cast<unsigned char>(0xE0 | point >> 12);
    out[1] = static_cast<unsigned char>(0x80 | (point >> 6 & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (point & 0x3F));
    return 3;
}

const unsigned languageTags = 0xE0000;

bool isLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// One character from `in` into `out`: the bytes taken and written, or an errno.
int convertOne(Cp932Direction direction, const unsigned char* in, size_t left, unsigned char* out,
               size_t& taken, size_t& written)
{
    long partner;
    if (direction == Cp932FromUtf8) {
        unsigned point = 0;
        int length = readUtf8(in, left, point);
        if (length <= 0) return length < 0 ? EINVAL : EILSEQ;
        partner = lookUp(unicodeToCp932, point);
        taken = static_cast<size_t>(length);
        // Language tags (U+E0000 ... U+E007F) carry no character: iconv, and so the
        // command line, passes over them, and the page must give the same bytes.
        if (partner < 0 && point >> 7 == languageTags >> 7) {
            written = 0;
            return 0;
        }
        if (partner < 0) return EILSEQ;
        written = partner > 0xFF ? 2 : 1;
        out[0] = static_cast<unsigned char>(partner > 0xFF ? partner >> 8 : partner);
        out[written - 1] = static_cast<unsigned char>(partner);
        return 0;
    }
    unsigned code = in[0];
    taken = 1;
    if (isLeadByte(in[0])) {
        if (left < 2) return EINVAL;
        code = code << 8 | in[1];
        taken = 2;
    }
    partner = lookUp(cp932ToUnicode, code);
    if (partner < 0) return EILSEQ;
    written = static_cast<size_t>(writeUtf8(static_cast<unsigned>(partner), out));
    return 0;
}

}  // namespace

Cp932Direction cp932Direction(const char* to, const char* from)
{
    if (named(from, "UTF-8") && named(to, "CP932")) return Cp932FromUtf8;
    if (named(from, "CP932") && named(to, "UTF-8")) return Cp932ToUtf8;
    return Cp932None;
}

size_t cp932Convert(Cp932Direction direction, char** in, size_t* inLeft, char** out,
                    size_t* outLeft)
{
    // No state is kept between calls, so there is nothing to reset or flush.
    if (!in || !*in) return 0;
    while (*inLeft > 0) {
        unsigned char character[4];
        size_t taken = 0, written = 0;
        int problem = convertOne(direction, reinterpret_cast<unsigned char*>(*in), *inLeft,
                                 character, taken, written);
        if (problem == 0 && written > *outLeft) problem = E2BIG;
        if (problem != 0) {
            errno = problem;
            return static_cast<size_t>(-1);
        }
        std::memcpy(*out, character, written);
        *in += taken;
        *inLeft -= taken;
        *out += written;
        *outLeft -= written;
    }
    return 0;
}
