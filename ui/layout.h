#pragma once
// What every window of the game is built from: places designed in twips
// (1/1440 inch; 15 twips make one pixel at 96 dpi), colours as 0xRRGGBB, the
// Japanese Gothic face, and the chant ornaments behind the controls.

#include "engine/interfaces.h"

#include <QFont>
#include <QRect>
#include <QString>

class QDialog;
class QGroupBox;
class QLabel;
class QWidget;

namespace typetoki {

inline const QString kApplicationTitle = QStringLiteral("タイプ闘記");

// "ﾊﾞｰｼﾞｮﾝ 0.2.1": half-width katakana, one ASCII blank, the version of
// the build (project(VERSION) in CMakeLists.txt).
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

// Colours that more than one window is drawn in; a shade only one window
// uses stays with that window.
constexpr int kBlack = 0x000000;
constexpr int kWhite = 0xFFFFFF;
constexpr int kRed = 0xFF0000;
constexpr int kGreen = 0x00FF00;
constexpr int kYellow = 0xFFFF00;
constexpr int kCyan = 0x00FFFF;
constexpr int kMagenta = 0xFF00FF;
constexpr int kPaleGreen = 0xC0FFC0;
constexpr int kPaleYellow = 0xFFFFC0;

// Text colour and background of a control; kNoColor keeps the inherited one.
// A background makes the control paint it.
void SetColors(QWidget *widget, int foreground, int background);

// A container's own background; the boxes inside keep their white base.
void SetContainerColor(QWidget *widget, Rgb background);

// The hero's エヤ and the rival's 非苦, written over and over in a large,
// word-wrapped, transparent label behind every other control.
QLabel *HeroChant(QWidget *parent, Rgb color, QRect place);
QLabel *RivalChant(QWidget *parent, Rgb color, QRect place);

// The title bar of the result, high-score, staff and how-to-play windows:
// minimise and maximise boxes besides the close box, which Qt's dialogs lack.
// The window's font is the game's, and Escape does not close it.
void SetUpSizableDialog(QDialog *dialog, const QString &title);

// The score board of the main window and of the result screen: a frame
// titled スコアボード, its caption white on the window's own colour.
QGroupBox *ScoreBoardFrame(QWidget *parent, QRect place, Rgb background);

inline const Qt::Alignment kTopLeft = Qt::AlignLeft | Qt::AlignTop;
inline const Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
inline const Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;

// ---- Design tables ----------------------------------------------------------
//
// Every window is built from tables of its design: one row a control, in the
// order they are made (a later control lies above an earlier one and comes
// after it in the focus chain), each naming the member of the window that
// keeps the control.

// How one control looks as designed: its place in twips within its parent,
// its text (a label's, a button's or a box's, a frame's title; nullptr
// leaves the control's own), colours, alignment and font.
struct ControlDesign {
    int left, top, width, height;
    const char *text = "";
    int foreground = kNoColor;
    int background = kNoColor;  // kNoColor: transparent
    Qt::Alignment align = {};   // none: the control's own
    double points = 0;          // 0: the window's font
    bool bold = false;
    bool wrap = false;          // a label's text wraps within its place
};

// Makes a row's control under a parent and keeps it in the window's member.
template <class Window>
using MakeControl = QWidget *(*)(Window &window, QWidget *parent);

template <class Window>
struct Designed {
    MakeControl<Window> make;
    ControlDesign design;
};

template <class>
struct MemberOf;
template <class Window, class Type>
struct MemberOf<Type Window::*> {
    using Class = Window;
};

// The maker of a row: ControlOf<&Window::member> for a member,
// ControlOf<&Window::array, i> for element i of an array; the control is of
// the member's type.
template <auto member, int index = -1>
QWidget *ControlOf(typename MemberOf<decltype(member)>::Class &window, QWidget *parent)
{
    auto &slot = [&]() -> auto & {
        if constexpr (index < 0)
            return window.*member;
        else
            return (window.*member)[std::size_t(index)];
    }();
    slot = new std::remove_pointer_t<std::remove_reference_t<decltype(slot)>>(parent);
    return slot;
}

// Gives a control made elsewhere its place, text and look.
void ApplyDesign(QWidget *control, const ControlDesign &design);

// Makes every control of a table under parent, in table order.
template <class Window, std::size_t n>
void BuildDesign(Window &window, QWidget *parent, const Designed<Window> (&table)[n])
{
    for (const Designed<Window> &row : table)
        ApplyDesign(row.make(window, parent), row.design);
}

}  // namespace typetoki
