// The page's iconv: the conversions ask only for UTF-8 and code page 932, which the
// browser's C library does not know; these take the place of its own.
#include <cerrno>
#include <iconv.h>

#include "web/cp932_converter.h"

extern "C" {

iconv_t iconv_open(const char* to, const char* from)
{
    Cp932Direction direction = cp932Direction(to, from);
    if (direction == Cp932None) errno = EINVAL;
    return direction == Cp932None ? reinterpret_cast<iconv_t>(-1)
                                  : reinterpret_cast<iconv_t>(static_cast<size_t>(direction));
}

size_t iconv(iconv_t handle, char** in, size_t* inLeft, char** out, size_t* outLeft)
{
    return cp932Convert(static_cast<Cp932Direction>(reinterpret_cast<size_t>(handle)), in, inLeft,
                        out, outLeft);
}

int iconv_close(iconv_t) { return 0; }

}  // extern "C"
