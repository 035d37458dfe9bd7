#pragma once
// Number and text helpers shared by the game, the settings and the
// high-score files, and the windows. They follow the classic BASIC rules the
// game's files and displays were designed around.

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace typetoki {

// The number at the start of a text, as far as it parses; 0 when there is
// none. Spaces, tabs and line feeds are skipped wherever they stand, so
// "1 2" reads as 12. Accepts an optional sign, digits, an optional point with
// digits and an optional exponent (E or D), or "&H" / "&O" followed by a
// hexadecimal / octal integer, read as a signed 16-bit pattern when it fits
// in 16 bits ("&HFFFF" is -1), else as a signed 32-bit one. The rest of the
// text is ignored.
double ReadNumber(QStringView text);

// Whole-text conversions that fail on anything but a number (spaces and tabs
// around it allowed). Fractions are rounded half to even; values outside the
// target range fail.
std::optional<std::int16_t> ToInt16(QStringView text);
std::optional<float> ToSingle(QStringView text);

// Rounds half to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double x);

// Rounds half to even into the 16-bit range; nullopt when it does not fit.
std::optional<std::int16_t> RoundToInt16(double x);

// floor(x * 100) / 100: rates and scores are cut, never rounded up.
double CutFigure(double x);

// Doubles to 15 and singles to 7 significant digits, no trailing zeros, no
// trailing point, a point as separator and the leading zero kept ("0.5").
QString FormatNumber(double x);
QString FormatSingle(float x);

// FormatNumber(CutFigure(x)): how every rate and score is shown.
QString CutText(double x);

// True for the blanks a player never has to type: the ASCII space, the
// ideographic space U+3000 that Japanese texts indent with, and the tab,
// which no player can type into the input box (Tab moves the focus).
bool IsBlank(QChar c);

// The text without leading and trailing blanks (see IsBlank).
QString TrimBlanks(QStringView text);

}  // namespace typetoki
