#pragma once
// The game's own marks: its pictures, painted in code (nothing is loaded
// from a file, so the program runs from any folder and every picture scales
// cleanly), and the lines that name who made it.

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

class QPainter;

namespace typetoki {

// Short enough for the narrowest box that carries it (the splash's, at 12 pt).
// UTF-8, so the windows' layout tables can hold them.
inline constexpr char kCopyrightLine[] = "© 2026 typetoki";
inline constexpr char kCreditLine[] = "typetoki project";

// The 16 × 16 toolbar pictures, by key: "start", "end", "settei", "score",
// "help2", "stuff", "help". An unknown key gives a null pixmap.
QPixmap ToolbarPicture(const QString &key);

// The program's badge: the kanji 闘 on a red medallion. Designed at
// 32 × 32; any other size paints the same design stretched to it, as the
// splash and About screens show it in boxes of their own proportions.
QPixmap ProgramLogo(QSize size = QSize(32, 32));

// The same badge painted into any device, filling size; the desktop icons
// are made with it, the SVG one included.
void PaintProgramLogo(QPainter &painter, QSizeF size);

// Window icons of the how-to-play screen (a keyboard) and the staff screen
// (two people), 16 × 16.
QIcon HowToPlayIcon();
QIcon StaffIcon();

// The staff screen's landscape, 493 × 227: blue sky, a red sun, a
// snow-capped mountain on green ground.
QPixmap StaffPicture();

}  // namespace typetoki
