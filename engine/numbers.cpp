#include "engine/numbers.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace typetoki {
namespace {

bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int HexValue(QChar c)
{
    if (IsAsciiDigit(c))
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// Exponents this large already take any digit string far past the double
// range either way; capping keeps the arithmetic from overflowing.
constexpr int kExponentCap = 100000;

// BASIC reads "&H" and "&O" constants as the signed integer of the smallest
// width (16, then 32 bits) whose bit pattern holds them, so "&HFFFF" is -1.
// Beyond 32 bits BASIC would overflow; the plain value is the sanest answer.
// Without a digit after the prefix there is no number.
std::optional<double> RadixValue(QStringView text, qsizetype &pos)
{
    const QChar kind = text[pos + 1];
    const int radix = (kind == u'H' || kind == u'h') ? 16 : 8;
    qsizetype i = pos + 2;
    double value = 0;
    while (i < text.size()) {
        const int digit = HexValue(text[i]);
        if (digit < 0 || digit >= radix)
            break;
        value = value * radix + digit;
        ++i;
    }
    if (i == pos + 2)
        return std::nullopt;
    pos = i;
    if (value <= 0xFFFF)
        return value > 0x7FFF ? value - 65536.0 : value;
    if (value <= 0xFFFFFFFFu)
        return value > 0x7FFFFFFF ? value - 4294967296.0 : value;
    return value;
}

// Reads the number starting at pos and leaves pos after it; pos is left
// untouched when no number starts there. An exponent mark without digits is
// not part of the number, so pos then stops before the mark.
std::optional<double> ParseNumber(QStringView text, qsizetype &pos)
{
    const qsizetype n = text.size();
    qsizetype i = pos;
    if (i + 1 < n && text[i] == u'&') {
        const QChar kind = text[i + 1];
        if (kind == u'H' || kind == u'h' || kind == u'O' || kind == u'o')
            return RadixValue(text, pos);
        return std::nullopt;
    }

    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }

    // The digits go to from_chars as a plain ASCII number, which converts
    // correctly rounded and without regard to the C locale the application
    // may have switched to.
    // On the stack: a board of a million records reads six numbers each.
    QVarLengthArray<char, 64> digits;
    qsizetype significant = 0;  // digits before the point, leading zeros aside
    qsizetype leadingFractionZeros = 0;
    bool anyDigit = false;
    bool nonZeroSeen = false;
    while (i < n && IsAsciiDigit(text[i])) {
        digits.append(char(text[i].unicode()));
        anyDigit = true;
        if (text[i] != u'0' || nonZeroSeen) {
            nonZeroSeen = true;
            ++significant;
        }
        ++i;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        digits.append('.');
        while (i < n && IsAsciiDigit(text[i])) {
            digits.append(char(text[i].unicode()));
            anyDigit = true;
            if (text[i] != u'0')
                nonZeroSeen = true;
            else if (!nonZeroSeen)
                ++leadingFractionZeros;
            ++i;
        }
    }
    if (!anyDigit)
        return std::nullopt;

    long exponent = 0;
    if (i < n && (text[i] == u'E' || text[i] == u'e' || text[i] == u'D' || text[i] == u'd')) {
        qsizetype j = i + 1;
        bool negativeExponent = false;
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            negativeExponent = text[j] == u'-';
            ++j;
        }
        if (j < n && IsAsciiDigit(text[j])) {
            while (j < n && IsAsciiDigit(text[j])) {
                if (exponent < kExponentCap)
                    exponent = exponent * 10 + (text[j].unicode() - u'0');
                ++j;
            }
            if (negativeExponent)
                exponent = -exponent;
            i = j;
        }
    }
    pos = i;

    if (!nonZeroSeen)
        return 0.0;

    char exponentText[24] = {'e'};
    const auto written = std::to_chars(exponentText + 1, std::end(exponentText), exponent);
    digits.append(exponentText, written.ptr - exponentText);
    double value = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars reports both ends of the range the same way; the
        // position of the first significant digit tells which one it was.
        const long magnitude = significant > 0 ? exponent + long(significant)
                                                : exponent - long(leadingFractionZeros);
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    // No negative zero: BASIC has none, and "-0" would show up in displays.
    if (value == 0)
        return 0.0;
    return negative ? -value : value;
}

bool IsSpaceOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

// The strict conversions: one number and nothing else but spaces and tabs
// around it.
std::optional<double> WholeNumber(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsSpaceOrTab(text[begin]))
        ++begin;
    while (end > begin && IsSpaceOrTab(text[end - 1]))
        --end;
    const QStringView core = text.sliced(begin, end - begin);
    qsizetype pos = 0;
    const auto value = ParseNumber(core, pos);
    if (!value || pos != core.size())
        return std::nullopt;
    return value;
}

// printf's "%.*g", which already drops trailing zeros, but in the C locale
// whatever the application's locale, and with BASIC's "1E+20" exponent style.
template <typename T>
QString FormatSignificant(T x, int precision)
{
    if (std::isnan(x))
        return QStringLiteral("NaN");
    if (std::isinf(x))
        return x < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
    if (x == 0)
        return QStringLiteral("0");  // also for -0, which a player should never see

    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, x,
                                      std::chars_format::general, precision);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (const qsizetype e = text.indexOf(u'e'); e >= 0)
        text[e] = u'E';
    return text;
}

}  // namespace

double ReadNumber(QStringView text)
{
    const auto skipped = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; };
    qsizetype pos = 0;
    if (std::none_of(text.begin(), text.end(), skipped))
        return ParseNumber(text, pos).value_or(0.0);
    QVarLengthArray<QChar, 64> packed;
    for (const QChar c : text) {
        if (!skipped(c))
            packed.append(c);
    }
    return ParseNumber(QStringView(packed.data(), packed.size()), pos).value_or(0.0);
}

std::optional<std::int16_t> ToInt16(QStringView text)
{
    const auto value = WholeNumber(text);
    if (!value)
        return std::nullopt;
    return RoundToInt16(*value);
}

std::optional<float> ToSingle(QStringView text)
{
    const auto value = WholeNumber(text);
    if (!value)
        return std::nullopt;
    // Halfway between FLT_MAX and the next power of two: anything from here on
    // rounds to infinity, and converting it would not even be defined.
    constexpr double kSingleLimit = 0x1.ffffffp127;
    if (!(std::fabs(*value) < kSingleLimit))
        return std::nullopt;
    return static_cast<float>(*value);
}

double RoundHalfEven(double x)
{
    if (!std::isfinite(x))
        return x;
    const double below = std::floor(x);
    const double fraction = x - below;  // exact: both share x's exponent range
    if (fraction < 0.5)
        return below;
    if (fraction > 0.5)
        return below + 1;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

std::optional<std::int16_t> RoundToInt16(double x)
{
    const double rounded = RoundHalfEven(x);
    if (!(rounded >= std::numeric_limits<std::int16_t>::min()
          && rounded <= std::numeric_limits<std::int16_t>::max()))
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

double CutFigure(double x)
{
    return std::floor(x * 100) / 100;
}

QString FormatNumber(double x)
{
    return FormatSignificant(x, 15);
}

QString FormatSingle(float x)
{
    return FormatSignificant(x, 7);
}

QString CutText(double x)
{
    return FormatNumber(CutFigure(x));
}

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\u3000';
}

QString TrimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toString();
}

}  // namespace typetoki
