#include "settings/number_text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#ifdef __EMSCRIPTEN__
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#endif

// The C locale's white space, tested without <cctype> so that neither the locale nor the
// sign of char can change the answer.
static bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal text from `start` to `end` as the nearest double; false when it lies beyond
// the range of a double. The web page's C++ library has no floating-point from_chars or
// to_chars; there its C library's conversions, correctly rounded and in the C locale
// only, stand in.
static bool readDecimal(const char* start, const char* end, double& value)
{
#ifdef __EMSCRIPTEN__
    errno = 0;
    value = std::strtod(std::string(start, end).c_str(), nullptr);
    return errno != ERANGE;
#else
    return std::from_chars(start, end, value).ec != std::errc::result_out_of_range;
#endif
}

// `value` in fixed point with `decimals` digits into `digits`; its length, 0 when it
// does not fit.
static size_t writeFixed(char (&digits)[RealTextSize], double value, int decimals)
{
#ifdef __EMSCRIPTEN__
    int length = std::snprintf(digits, sizeof digits, "%.*f", decimals, value);
    return length > 0 && static_cast<size_t>(length) < sizeof digits ? static_cast<size_t>(length) : 0;
#else
    std::to_chars_result result =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? static_cast<size_t>(result.ptr - digits) : 0;
#endif
}

static const char* skipBlanks(const char* text)
{
    while (isBlank(*text)) ++text;
    return text;
}

double parseReal(const char* text, const char** end)
{
    const char* at = skipBlanks(text);
    bool negative = *at == '-';
    if (*at == '+' || *at == '-') ++at;

    // Checks the grammar and, on the way, the decimal order of the leading significant
    // digit, which tells an overflow from an underflow when the conversion refuses.
    const char* start = at;
    long long order = 0;
    bool significant = false;
    for (; isDigit(*at); ++at) {
        significant = significant || *at != '0';
        if (significant) ++order;
    }
    bool anyDigit = at > start;
    if (*at == '.') {
        const char* fraction = ++at;
        for (; isDigit(*at); ++at) {
            significant = significant || *at != '0';
            if (!significant) --order;
        }
        anyDigit = anyDigit || at > fraction;
    }
    if (!anyDigit) {
        if (end) *end = text;
        return 0.0;
    }

    const char* stop = at;
    if (*at == 'e' || *at == 'E') {
        const char* digits = at + 1;
        bool negativeExponent = *digits == '-';
        if (*digits == '+' || *digits == '-') ++digits;
        if (isDigit(*digits)) {
            long long exponent = 0;  // held at a bound far past any double's range
            for (; isDigit(*digits); ++digits)
                if (exponent < 1000000) exponent = exponent * 10 + (*digits - '0');
            order += negativeExponent ? -exponent : exponent;
            stop = digits;
        }
    }

    double value = 0.0;
    if (!readDecimal(start, stop, value)) value = order > 0 ? HUGE_VAL : 0.0;
    if (end) *end = stop;
    return negative ? -value : value;
}

int parseInteger(const char* text)
{
    const char* at = skipBlanks(text);
    bool negative = *at == '-';
    if (*at == '+' || *at == '-') ++at;
    long long magnitude = 0;  // stops growing once past INT_MAX, so it cannot overflow
    for (; isDigit(*at); ++at)
        if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (*at - '0');
    long long value = negative ? -magnitude : magnitude;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

size_t formatReal(char* text, size_t size, double value, int width, int decimals)
{
    if (size == 0) return 0;
    char digits[RealTextSize];
    size_t length = writeFixed(digits, value, decimals);
    size_t padding = width > 0 && static_cast<size_t>(width) > length ? width - length : 0;
    size_t written = 0;
    for (; written < padding && written + 1 < size; ++written) text[written] = ' ';
    size_t copied = length < size - 1 - written ? length : size - 1 - written;
    std::memcpy(text + written, digits, copied);
    written += copied;
    text[written] = '\0';
    return written;
}
