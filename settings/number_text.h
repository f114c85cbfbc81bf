#pragma once
// Numbers as the settings file and the settings dialog read and write them: decimal text
// with '.' as the point whatever the C locale says, so that a file written on one machine
// reads the same on every other.
#include <cstddef>

// Reads a decimal real leniently: leading white space is skipped, then an optional sign,
// digits with an optional point and an optional exponent ("e" or "E", optional sign,
// digits). Reading stops at the first byte that does not fit; no digits give 0.0. The
// value is correctly rounded; beyond the range of a double it is +-HUGE_VAL, below the
// smallest subnormal it is a zero of the number's sign. Hexadecimal, "inf" and "nan" are
// not numbers here. `end`, when given, receives where reading stopped: `text` itself when
// there were no digits.
double parseReal(const char* text, const char** end = nullptr);

// Reads a decimal integer the same way, without point or exponent. Values beyond the
// range of int are clamped to INT_MAX or INT_MIN.
int parseInteger(const char* text);

// Room for any double written with up to 9 decimals, its sign and the zero byte.
enum { RealTextSize = 330 };

// Writes `value` as printf "%<width>.<decimals>f" does in the C locale: fixed point with
// `decimals` digits (0 to 9), rounded from the exact binary value (halfway cases to even),
// then blanks on the left up to `width`. Infinities and NaNs come out as "inf", "-inf",
// "nan" or "-nan", padded the same way. `text` always ends with a zero byte; what does
// not fit in `size` bytes is cut off. Returns the length written.
size_t formatReal(char* text, size_t size, double value, int width, int decimals);
