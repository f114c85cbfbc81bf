#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <string>

#include "settings/number_text.h"

namespace {

std::string formatted(double value, int width, int decimals)
{
    char text[RealTextSize];
    size_t length = formatReal(text, sizeof text, value, width, decimals);
    EXPECT_EQ(length, std::string(text).size());
    return text;
}

TEST(ParseReal, FollowsTheGrammarAndStopsAtTheFirstMisfit)
{
    struct Case {
        const char* text;
        double value;
        size_t used;  // bytes read, blanks included; none without digits
    };
    const Case cases[] = {
        {"  1.5abc", 1.5, 5}, {"-2", -2.0, 2},    {"+3", 3.0, 2},      {".5", 0.5, 2},
        {"5.", 5.0, 2},       {"1e3", 1000.0, 3}, {"1E-2x", 0.01, 4},  {"2.5e+1", 25.0, 6},
        {"1e", 1.0, 1},       {"1e+", 1.0, 1},    {"1e-", 1.0, 1},     {"1.5.3", 1.5, 3},
        {"0x10", 0.0, 1},     {"inf", 0.0, 0},    {"nan", 0.0, 0},     {"-inf", 0.0, 0},
        {"", 0.0, 0},         {"abc", 0.0, 0},    {".", 0.0, 0},       {"-", 0.0, 0},
        {"+.e3", 0.0, 0},     {"--1", 0.0, 0},    {"- 1", 0.0, 0},     {"e5", 0.0, 0},
        {" \t\n\v\f\r7", 7.0, 7}, {"1,5", 1.0, 1}, {"\xA0" "1", 0.0, 0}, {"007.50", 7.5, 6},
        {"1e999999999999", HUGE_VAL, 14},
    };
    for (const Case& c : cases) {
        const char* end = nullptr;
        EXPECT_EQ(parseReal(c.text, &end), c.value) << '"' << c.text << '"';
        EXPECT_EQ(static_cast<size_t>(end - c.text), c.used) << '"' << c.text << '"';
    }
}

TEST(ParseReal, RoundsCorrectly)
{
    EXPECT_EQ(parseReal("0.1"), 0.1);
    EXPECT_EQ(parseReal("1.32"), 1.32);
    EXPECT_EQ(parseReal("0.1000000000000000055511151231257827021181583404541015625"), 0.1);
    EXPECT_EQ(parseReal("9007199254740993"), 9007199254740992.0);  // halfway: to even
    EXPECT_EQ(parseReal("1.7976931348623157e308"), DBL_MAX);
    EXPECT_EQ(parseReal("4.9406564584124654e-324"), std::nextafter(0.0, 1.0));
}

TEST(ParseReal, OverflowGivesHugeValAndUnderflowZero)
{
    EXPECT_EQ(parseReal("1e999"), HUGE_VAL);
    EXPECT_EQ(parseReal("-1e999"), -HUGE_VAL);
    EXPECT_EQ(parseReal("1e99999999999999999999"), HUGE_VAL);
    EXPECT_EQ(parseReal(("1" + std::string(400, '0')).c_str()), HUGE_VAL);
    EXPECT_EQ(parseReal("0.0001e313"), HUGE_VAL);

    double tiny = parseReal("1e-999");
    EXPECT_EQ(tiny, 0.0);
    EXPECT_FALSE(std::signbit(tiny));
    double negativeTiny = parseReal("-1e-999");
    EXPECT_EQ(negativeTiny, 0.0);
    EXPECT_TRUE(std::signbit(negativeTiny));
    EXPECT_EQ(parseReal(("0." + std::string(400, '0') + "1").c_str()), 0.0);
    EXPECT_EQ(parseReal("100000e-330"), 0.0);

    // A zero stays zero whatever its exponent.
    EXPECT_EQ(parseReal("0e99999"), 0.0);
    EXPECT_EQ(parseReal("000.000e-99999"), 0.0);
}

TEST(ParseInteger, FollowsTheGrammarAndClamps)
{
    struct Case {
        const char* text;
        int value;
    };
    const Case cases[] = {
        {"  42x", 42},
        {"-7", -7},
        {"+8", 8},
        {"3.9", 3},
        {"1e3", 1},
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"+-1", 0},
        {"\t\r\n 0012", 12},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"99999999999999999999999", INT_MAX},
        {"-99999999999999999999999", INT_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(parseInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(FormatReal, WritesTheSettingsFormats)
{
    EXPECT_EQ(formatted(2.0, 3, 1), "2.0");
    EXPECT_EQ(formatted(12.5, 3, 1), "12.5");
    EXPECT_EQ(formatted(0.5, 4, 2), "0.50");
    EXPECT_EQ(formatted(1.32, 4, 2), "1.32");
    EXPECT_EQ(formatted(1.23456, 4, 2), "1.23");
    EXPECT_EQ(formatted(1.0, 5, 1), "  1.0");
    EXPECT_EQ(formatted(16.0, 5, 1), " 16.0");
    EXPECT_EQ(formatted(-1.5, 5, 1), " -1.5");
    EXPECT_EQ(formatted(-0.0, 3, 1), "-0.0");
    EXPECT_EQ(formatted(HUGE_VAL, 3, 1), "inf");
    EXPECT_EQ(formatted(-HUGE_VAL, 5, 1), " -inf");
    EXPECT_EQ(formatted(NAN, 5, 1), "  nan");
}

TEST(FormatReal, RoundsHalfwayBinaryValuesToEven)
{
    EXPECT_EQ(formatted(0.125, 4, 2), "0.12");
    EXPECT_EQ(formatted(0.375, 4, 2), "0.38");
    EXPECT_EQ(formatted(0.25, 3, 1), "0.2");
    EXPECT_EQ(formatted(0.75, 3, 1), "0.8");
    EXPECT_EQ(formatted(2.675, 4, 2), "2.67");  // just below 2.675 in binary
    EXPECT_EQ(formatted(1.45, 3, 1), "1.4");    // just below 1.45
    EXPECT_EQ(formatted(2.45, 3, 1), "2.5");    // just above 2.45
}

TEST(FormatReal, MatchesPrintfInTheCLocale)
{
    const double values[] = {0.0,    0.05,   0.15,   0.95,    1.005,  9.95,   99.95,
                             -2.345, 1e-300, 123456.785, 1e22, DBL_MAX, -DBL_MAX, 5e-324};
    const int formats[][2] = {{3, 1}, {4, 2}, {5, 1}};
    char expected[RealTextSize];
    for (double value : values)
        for (const auto& format : formats) {
            std::snprintf(expected, sizeof expected, "%*.*f", format[0], format[1], value);
            EXPECT_EQ(formatted(value, format[0], format[1]), expected) << value;
        }
}

TEST(FormatReal, CutsWhatDoesNotFit)
{
    char text[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(formatReal(text, sizeof text, 1.0, 5, 1), 3u);
    EXPECT_STREQ(text, "  1");
    EXPECT_EQ(formatReal(text, sizeof text, 12.25, 0, 2), 3u);
    EXPECT_STREQ(text, "12.");
    EXPECT_EQ(formatReal(text, 1, 12.25, 0, 2), 0u);
    EXPECT_EQ(text[0], '\0');
}

// The C library would read and write "1,5" under a locale with a decimal comma; these
// numbers must not change with it.
TEST(NumberText, IgnoresTheLocale)
{
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8",
                                  "fr_FR.utf8", "nl_NL.UTF-8", "ru_RU.UTF-8"};
    bool found = false;
    for (const char* name : commaLocales)
        if (std::setlocale(LC_ALL, name) && *std::localeconv()->decimal_point == ',') {
            found = true;
            break;
        }
    if (!found) {
        std::setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    double parsed = parseReal("1.5");
    double parsedComma = parseReal("1,5");
    std::string text = formatted(1.5, 5, 1);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(parsed, 1.5);
    EXPECT_EQ(parsedComma, 1.0);
    EXPECT_EQ(text, "  1.5");
}

}  // namespace
