#include "engine/numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

using namespace typetoki;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// GoogleTest prints parameters through this; the raw bytes of a QString
// would be useless in a failure message.
std::string Show(const char16_t *text)
{
    return QString::fromUtf16(text).toStdString();
}

// ---------------------------------------------------------------- ReadNumber

struct ReadCase {
    const char16_t *text;
    double expected;
};

void PrintTo(const ReadCase &c, std::ostream *os)
{
    *os << '"' << Show(c.text) << '"';
}

class ReadNumberTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadNumberTest, ReadsTheLeadingNumber)
{
    const ReadCase &c = GetParam();
    const double got = ReadNumber(c.text);
    EXPECT_EQ(got, c.expected);
    // A negative zero would show as "-0" wherever it is formatted without care.
    if (c.expected == 0) {
        EXPECT_FALSE(std::signbit(got));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, ReadNumberTest,
    testing::Values(ReadCase{u"12", 12}, ReadCase{u"+5", 5}, ReadCase{u"-7", -7},
                    ReadCase{u"12.5", 12.5}, ReadCase{u".5", 0.5}, ReadCase{u"-.25", -0.25},
                    ReadCase{u"5.", 5}, ReadCase{u"007", 7}, ReadCase{u"0.001", 0.001},
                    ReadCase{u"123456789012345678", 123456789012345678.0}));

INSTANTIATE_TEST_SUITE_P(
    BlanksAnywhere, ReadNumberTest,
    testing::Values(ReadCase{u" 1 2", 12}, ReadCase{u"1 2.5", 12.5}, ReadCase{u"- 3", -3},
                    ReadCase{u"\t\n 7", 7}, ReadCase{u"1 . 5", 1.5}, ReadCase{u"1 e 2", 100},
                    // A carriage return is no blank to BASIC: the number ends there.
                    ReadCase{u"1\r2", 1},
                    // Neither is the ideographic space.
                    ReadCase{u"1\u30002", 1}));

INSTANTIATE_TEST_SUITE_P(
    Exponent, ReadNumberTest,
    testing::Values(ReadCase{u"1e3", 1000}, ReadCase{u"1E3", 1000}, ReadCase{u"2D2", 200},
                    ReadCase{u"2d-2", 0.02}, ReadCase{u"1.5e+1", 15}, ReadCase{u"1.5e-3", 1.5e-3},
                    ReadCase{u"3e", 3}, ReadCase{u"3e+", 3}, ReadCase{u"3ex", 3},
                    ReadCase{u"1e400", kInf}, ReadCase{u"-1e400", -kInf},
                    ReadCase{u"1e99999999999999999999", kInf}, ReadCase{u"1e-400", 0},
                    ReadCase{u"0e999999", 0}, ReadCase{u"0.0001e310", 1e306}));

INSTANTIATE_TEST_SUITE_P(
    HexAndOctal, ReadNumberTest,
    testing::Values(ReadCase{u"&H1F", 31}, ReadCase{u"&h1f", 31}, ReadCase{u"&O17", 15},
                    ReadCase{u"&o17", 15}, ReadCase{u"&H7FFF", 32767}, ReadCase{u"&H8000", -32768},
                    ReadCase{u"&HFFFF", -1}, ReadCase{u"&H10000", 65536},
                    ReadCase{u"&H7FFFFFFF", 2147483647}, ReadCase{u"&H80000000", -2147483648.0},
                    ReadCase{u"&HFFFFFFFF", -1}, ReadCase{u"&O177777", -1},
                    ReadCase{u"&O100000", -32768}, ReadCase{u" & H 1 0", 16},
                    ReadCase{u"&H1G", 1}, ReadCase{u"&O78", 7}, ReadCase{u"&H", 0},
                    ReadCase{u"&O9", 0}, ReadCase{u"&X1", 0}, ReadCase{u"-&H10", 0}));

INSTANTIATE_TEST_SUITE_P(
    TrailingTextAndNoNumber, ReadNumberTest,
    testing::Values(ReadCase{u"4abc", 4}, ReadCase{u"12.5.6", 12.5}, ReadCase{u"1-2", 1},
                    ReadCase{u"abc", 0}, ReadCase{u"", 0}, ReadCase{u"-", 0}, ReadCase{u".", 0},
                    ReadCase{u"+.", 0}, ReadCase{u"e5", 0}, ReadCase{u"-0", 0},
                    // Full-width digits are text, not a number.
                    ReadCase{u"\uFF11\uFF12", 0}));

TEST(ReadNumberTest, HugeDigitStringsStayFinite)
{
    // 400 digits overflow a double; 400 leading fraction zeros underflow it.
    const QString big = QStringLiteral("1") + QString(400, u'0');
    EXPECT_EQ(ReadNumber(big), kInf);
    const QString tiny = QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("1");
    EXPECT_EQ(ReadNumber(tiny), 0.0);
    // The exponent makes up for the leading zeros.
    const QString balanced = QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("1e402");
    EXPECT_DOUBLE_EQ(ReadNumber(balanced), 10.0);
}

// --------------------------------------------------------- ToInt16, ToSingle

struct Int16Case {
    const char16_t *text;
    std::optional<int> expected;
};

void PrintTo(const Int16Case &c, std::ostream *os)
{
    *os << '"' << Show(c.text) << '"';
}

class ToInt16Test : public testing::TestWithParam<Int16Case> {};

TEST_P(ToInt16Test, ConvertsOnlyAWholeNumber)
{
    const Int16Case &c = GetParam();
    const auto got = ToInt16(c.text);
    ASSERT_EQ(got.has_value(), c.expected.has_value());
    if (got) {
        EXPECT_EQ(int(*got), *c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, ToInt16Test,
    testing::Values(Int16Case{u"60", 60}, Int16Case{u" 60 ", 60}, Int16Case{u"\t60\t", 60},
                    Int16Case{u"-5", -5}, Int16Case{u"+5", 5}, Int16Case{u"2.5", 2},
                    Int16Case{u"3.5", 4}, Int16Case{u"-2.5", -2}, Int16Case{u"2.51", 3},
                    Int16Case{u"1e2", 100}, Int16Case{u"1D2", 100}, Int16Case{u".5", 0},
                    Int16Case{u"1.", 1}, Int16Case{u"&H1F", 31}, Int16Case{u"&HFFFF", -1},
                    Int16Case{u"&O17", 15}, Int16Case{u"32767", 32767},
                    Int16Case{u"32767.4", 32767}, Int16Case{u"-32768", -32768},
                    Int16Case{u"-32768.5", -32768}));

INSTANTIATE_TEST_SUITE_P(
    Refused, ToInt16Test,
    testing::Values(Int16Case{u"", std::nullopt}, Int16Case{u"   ", std::nullopt},
                    Int16Case{u"4abc", std::nullopt}, Int16Case{u"1 2", std::nullopt},
                    Int16Case{u"abc", std::nullopt}, Int16Case{u"-", std::nullopt},
                    Int16Case{u"3e", std::nullopt}, Int16Case{u"12.5.6", std::nullopt},
                    Int16Case{u"\n60", std::nullopt}, Int16Case{u"60\r", std::nullopt},
                    Int16Case{u"\u300060", std::nullopt}, Int16Case{u"32768", std::nullopt},
                    Int16Case{u"32767.5", std::nullopt}, Int16Case{u"-32768.6", std::nullopt},
                    Int16Case{u"-32769", std::nullopt}, Int16Case{u"&H10000", std::nullopt},
                    Int16Case{u"1e400", std::nullopt}, Int16Case{u"&H", std::nullopt}));

struct SingleCase {
    const char16_t *text;
    std::optional<float> expected;
};

void PrintTo(const SingleCase &c, std::ostream *os)
{
    *os << '"' << Show(c.text) << '"';
}

class ToSingleTest : public testing::TestWithParam<SingleCase> {};

TEST_P(ToSingleTest, ConvertsOnlyAWholeNumberInRange)
{
    const SingleCase &c = GetParam();
    const auto got = ToSingle(c.text);
    ASSERT_EQ(got.has_value(), c.expected.has_value());
    if (got) {
        EXPECT_EQ(*got, *c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, ToSingleTest,
    testing::Values(SingleCase{u"0", 0.0f}, SingleCase{u"0.1", 0.1f}, SingleCase{u" 0.35 ", 0.35f},
                    SingleCase{u"-12.5", -12.5f}, SingleCase{u"1e38", 1e38f},
                    SingleCase{u"3.4028234663852886e38", FLT_MAX},
                    SingleCase{u"-3.4028234663852886e38", -FLT_MAX},
                    // Just under halfway to the next power of two still rounds to FLT_MAX.
                    SingleCase{u"3.40282356e38", FLT_MAX}, SingleCase{u"1e-50", 0.0f},
                    SingleCase{u"&HFFFF", -1.0f}));

INSTANTIATE_TEST_SUITE_P(
    Refused, ToSingleTest,
    testing::Values(SingleCase{u"", std::nullopt}, SingleCase{u" ", std::nullopt},
                    SingleCase{u"abc", std::nullopt}, SingleCase{u"0.1x", std::nullopt},
                    SingleCase{u"1 2", std::nullopt}, SingleCase{u"1e39", std::nullopt},
                    SingleCase{u"-1e39", std::nullopt},
                    // Halfway and beyond round to infinity.
                    SingleCase{u"3.4028235677973366e38", std::nullopt},
                    SingleCase{u"1e400", std::nullopt}));

// ------------------------------------------------------------------ Rounding

struct RoundCase {
    double x;
    double halfEven;
    std::optional<int> int16;
};

class RoundTest : public testing::TestWithParam<RoundCase> {};

TEST_P(RoundTest, RoundsHalfToEven)
{
    const RoundCase &c = GetParam();
    EXPECT_EQ(RoundHalfEven(c.x), c.halfEven) << "x = " << c.x;
    const auto got = RoundToInt16(c.x);
    ASSERT_EQ(got.has_value(), c.int16.has_value()) << "x = " << c.x;
    if (got) {
        EXPECT_EQ(int(*got), *c.int16);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RoundTest,
    testing::Values(RoundCase{0.5, 0, 0}, RoundCase{1.5, 2, 2}, RoundCase{2.5, 2, 2},
                    RoundCase{3.5, 4, 4}, RoundCase{-0.5, 0, 0}, RoundCase{-1.5, -2, -2},
                    RoundCase{-2.5, -2, -2}, RoundCase{2.4999999999999996, 2, 2},
                    RoundCase{2.5000000000000004, 3, 3}, RoundCase{-2.6, -3, -3},
                    RoundCase{0, 0, 0}, RoundCase{7, 7, 7},
                    // Past 2^52 every double is whole already.
                    RoundCase{4503599627370497.0, 4503599627370497.0, std::nullopt},
                    RoundCase{32767.5, 32768, std::nullopt}, RoundCase{32766.5, 32766, 32766},
                    RoundCase{-32768.5, -32768, -32768}, RoundCase{-32769.5, -32770, std::nullopt},
                    RoundCase{1e300, 1e300, std::nullopt}));

TEST(RoundTest, NonFiniteValuesDoNotFitInt16)
{
    for (const double x : {kInf, -kInf, kNaN}) {
        SCOPED_TRACE(x);
        EXPECT_FALSE(RoundToInt16(x).has_value());
    }
    EXPECT_EQ(RoundHalfEven(kInf), kInf);
    EXPECT_TRUE(std::isnan(RoundHalfEven(kNaN)));
}

// -------------------------------------------------------- Cutting, formatting

struct CutCase {
    double x;
    double cut;
    const char *text;
};

class CutTest : public testing::TestWithParam<CutCase> {};

TEST_P(CutTest, CutsToHundredthsAndShowsThem)
{
    const CutCase &c = GetParam();
    EXPECT_EQ(CutFigure(c.x), c.cut) << "x = " << c.x;
    EXPECT_EQ(CutText(c.x).toStdString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CutTest,
    testing::Values(CutCase{2.0 / 3 * 100, 66.66, "66.66"}, CutCase{12.3456, 12.34, "12.34"},
                    CutCase{100, 100, "100"}, CutCase{0, 0, "0"}, CutCase{12.5, 12.5, "12.5"},
                    CutCase{99.999, 99.99, "99.99"},
                    // Cutting, not rounding: negatives move away from zero.
                    CutCase{-1.234, -1.24, "-1.24"},
                    // 0.29 * 100 is 28.999999999999996 in doubles; the cut keeps
                    // what the arithmetic gives rather than what a person expects.
                    CutCase{0.29, 0.28, "0.28"}, CutCase{1.15, 1.14, "1.14"}));

struct FormatCase {
    double x;
    const char *text;
};

class FormatNumberTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumberTest, WritesFifteenSignificantDigitsAtMost)
{
    EXPECT_EQ(FormatNumber(GetParam().x).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Plain, FormatNumberTest,
    testing::Values(FormatCase{12.5, "12.5"}, FormatCase{300, "300"}, FormatCase{0, "0"},
                    FormatCase{-0.0, "0"}, FormatCase{0.1 + 0.2, "0.3"}, FormatCase{2.5, "2.5"},
                    FormatCase{66.66, "66.66"}, FormatCase{1234.56, "1234.56"},
                    FormatCase{0.5, "0.5"}, FormatCase{-0.5, "-0.5"}, FormatCase{-42, "-42"},
                    FormatCase{1234567, "1234567"}, FormatCase{2.0 / 3, "0.666666666666667"},
                    FormatCase{0.0001, "0.0001"}, FormatCase{123456789012345.0, "123456789012345"},
                    FormatCase{1e14, "100000000000000"}));

INSTANTIATE_TEST_SUITE_P(
    ExponentForm, FormatNumberTest,
    testing::Values(FormatCase{1e20, "1E+20"}, FormatCase{1.5e-7, "1.5E-07"},
                    FormatCase{1e15, "1E+15"}, FormatCase{0.00001, "1E-05"},
                    FormatCase{-2.5e100, "-2.5E+100"}, FormatCase{1234567890123456.0, "1.23456789012346E+15"}));

TEST(FormatNumberTest, NonFiniteValuesGiveSomeText)
{
    for (const double x : {kInf, -kInf, kNaN}) {
        SCOPED_TRACE(x);
        EXPECT_FALSE(FormatNumber(x).isEmpty());
    }
    EXPECT_NE(FormatNumber(kInf), FormatNumber(-kInf));
}

TEST(FormatNumberTest, ReadsBackToTheSameValue)
{
    // Anything with at most 15 significant digits must survive a trip through
    // a file; the exponent form has to stay readable too.
    for (const double x : {12.5, 0.3, 66.66, 1234.56, -0.001, 1e20, 1.5e-7, 123456789012345.0,
                           98.76, 3.14159265358979}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(ReadNumber(FormatNumber(x)), x);
    }
}

TEST(FormatNumberTest, IgnoresTheCLocale)
{
    // QApplication adopts the environment's locale, and in many of them the
    // C library writes a decimal comma.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char *german = nullptr;
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            german = name;
            break;
        }
    }
    if (!german)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const QString written = FormatNumber(12.5);
    const QString single = FormatSingle(0.35f);
    const double read = ReadNumber(u"12.5");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(written, QStringLiteral("12.5"));
    EXPECT_EQ(single, QStringLiteral("0.35"));
    EXPECT_EQ(read, 12.5);
}

struct SingleFormatCase {
    float x;
    const char *text;
};

class FormatSingleTest : public testing::TestWithParam<SingleFormatCase> {};

TEST_P(FormatSingleTest, WritesSevenSignificantDigitsAtMost)
{
    EXPECT_EQ(FormatSingle(GetParam().x).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatSingleTest,
    testing::Values(SingleFormatCase{0.1f, "0.1"}, SingleFormatCase{0.15f, "0.15"},
                    SingleFormatCase{0.2f, "0.2"}, SingleFormatCase{0.01f, "0.01"},
                    SingleFormatCase{12.5f, "12.5"}, SingleFormatCase{0.35f, "0.35"},
                    SingleFormatCase{0.0f, "0"}, SingleFormatCase{-0.0f, "0"},
                    SingleFormatCase{-3.25f, "-3.25"}, SingleFormatCase{1.0f / 3, "0.3333333"},
                    SingleFormatCase{1234567.0f, "1234567"}, SingleFormatCase{1e7f, "1E+07"},
                    SingleFormatCase{1.5e-7f, "1.5E-07"}, SingleFormatCase{FLT_MAX, "3.402823E+38"}));

TEST(FormatSingleTest, ReadsBackThroughToSingle)
{
    // Settings store singles as text; a value a person typed (six significant
    // digits at most, all a float holds for sure) must read back as the very
    // same float.
    for (const float x : {0.1f, 0.15f, 0.35f, 12.5f, 99.99f, 1e-3f, 7.7f, 123.456f, 0.000123f,
                          -654321.0f}) {
        SCOPED_TRACE(x);
        const auto back = ToSingle(FormatSingle(x));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, x);
    }
}

// ------------------------------------------------------------------- Blanks

TEST(BlankTest, OnlyTheTwoSpacesAndTheTabAreBlanks)
{
    struct Case {
        char16_t c;
        bool blank;
    };
    const Case cases[] = {{u' ', true},       {u'\u3000', true}, {u'\t', true},
                          {u'\n', false},      {u'\r', false},     {u'\v', false},
                          {u'\u00A0', false}, {u'\u2003', false}, {u'a', false},
                          {u'\u3042', false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.c));
        EXPECT_EQ(IsBlank(QChar(c.c)), c.blank);
    }
}

TEST(BlankTest, TrimsBlanksAtBothEndsOnly)
{
    struct Case {
        const char16_t *text;
        const char16_t *trimmed;
    };
    const Case cases[] = {
        {u"", u""},
        {u"   ", u""},
        {u"\u3000\u3000", u""},
        {u" abc ", u"abc"},
        {u"\u3000\u3042\u3044 ", u"\u3042\u3044"},
        {u" \u3000 a b \u3000", u"a b"},
        {u"a \u3000 b", u"a \u3000 b"},
        {u"\tabc\t", u"abc"},
        {u" \t\u3000abc", u"abc"},
        {u"a\tb", u"a\tb"},
        {u"\nabc\n", u"\nabc\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(Show(c.text));
        EXPECT_EQ(TrimBlanks(c.text), QString::fromUtf16(c.trimmed));
    }
}

}  // namespace
