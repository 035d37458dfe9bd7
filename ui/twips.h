#pragma once
// Window layouts are designed in twips (1/1440 inch); at 96 dpi 15 twips make
// one pixel.

#include <QFont>
#include <QRect>

namespace typetoki {

constexpr int Px(int twips) { return (twips + 7) / 15; }

inline QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

// "ＭＳ Ｐゴシック" where it exists, else the closest Japanese proportional
// Gothic on the machine.
QFont JapaneseFont(double pointSize);

}  // namespace typetoki
