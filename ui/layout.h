#pragma once
// What every window of the game is built from: places designed in twips
// (1/1440 inch; 15 twips make one pixel at 96 dpi), colours as 0xRRGGBB, the
// Japanese Gothic face, and the chant ornaments behind the controls.

#include "engine/interfaces.h"

#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QWidget;

namespace typetoki {

inline const QString kApplicationTitle = QStringLiteral("タイプ闘記");

// "ﾊﾞｰｼﾞｮﾝ 0.2.1": half-width katakana, one ASCII blank, the version.
QString VersionText();

// Nearest pixel; division alone would round negative places toward zero.
constexpr int Px(int twips) { return (twips >= 0 ? twips + 7 : twips - 7) / 15; }

inline QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

// "ＭＳ Ｐゴシック" where it exists, else the closest Japanese proportional
// Gothic on the machine.
QFont JapaneseFont(double pointSize);

constexpr int kNoColor = -1;

// Text colour and background of a control; kNoColor keeps the inherited one.
// A background makes the control paint it.
void SetColors(QWidget *widget, int foreground, int background);

// A container's own background; the boxes inside keep their white base.
void SetContainerColor(QWidget *widget, Rgb background);

// A chant written over and over in a large, word-wrapped, transparent label
// behind every other control.
QLabel *ChantOrnament(QWidget *parent, const QString &chant, int times, Rgb color, QRect place);

}  // namespace typetoki
