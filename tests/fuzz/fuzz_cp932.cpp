// Fuzzes the web page's converter between UTF-8 and code page 932 against glibc's iconv,
// the converter of the command-line program: for any bytes, given the room the tokenizer
// gives, both must succeed or fail alike, with the same error, at the same input byte,
// having written the same bytes. The first input byte's lowest bit picks the direction.
// UTF-8 reaches the converter only once the tokenizer has found it whole, so only such
// text is converted from UTF-8.
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tokenizer/text_encoding.h"
#include "web/cp932_converter.h"

namespace {

struct Outcome {
    bool failed;
    int error;
    size_t taken;
    std::vector<char> written;
};

template <typename Convert>
Outcome run(const uint8_t* data, size_t size, size_t room, Convert convert)
{
    std::vector<char> input(data, data + size);
    std::vector<char> output(room + 1);
    char* in = input.data();
    size_t inLeft = input.size();
    char* out = output.data();
    size_t outLeft = room;
    errno = 0;
    bool failed = convert(&in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1);
    Outcome outcome = {failed, failed ? errno : 0, static_cast<size_t>(in - input.data()), {}};
    outcome.written.assign(output.data(), out);
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const bool fromUtf8 = (data[0] & 1) != 0;
    const char* from = fromUtf8 ? "UTF-8" : "CP932";
    const char* to = fromUtf8 ? "CP932" : "UTF-8";
    if (fromUtf8 && !isUtf8(std::string(data + 1, data + size))) return 0;
    const size_t room = 4 * size + 16;

    Outcome page = run(data + 1, size - 1, room, [&](char** in, size_t* inLeft, char** out, size_t* outLeft) {
        return cp932Convert(cp932Direction(to, from), in, inLeft, out, outLeft);
    });
    iconv_t glibc = iconv_open(to, from);
    FUZZ_CHECK(glibc != reinterpret_cast<iconv_t>(-1));
    Outcome reference = run(data + 1, size - 1, room, [&](char** in, size_t* inLeft, char** out, size_t* outLeft) {
        return iconv(glibc, in, inLeft, out, outLeft);
    });
    iconv_close(glibc);

    FUZZ_CHECK(page.failed == reference.failed);
    FUZZ_CHECK(page.error == reference.error);
    FUZZ_CHECK(page.taken == reference.taken);
    FUZZ_CHECK(page.written == reference.written);
    return 0;
}
