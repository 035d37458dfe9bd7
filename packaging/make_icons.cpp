// Writes the desktop icons from the logo the program paints for itself, so the
// application menu shows the very badge of the splash and About screens:
// typetoki.svg and <n>x<n>/typetoki.png under the folder given, one PNG for
// each size the hicolor theme is offered. Run at build time on the offscreen
// platform.

#include "ui/artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));

    for (const int n : {32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1").arg(n);
        // A QImage rather than ProgramLogo's QPixmap: the size is exact, with
        // no device pixel ratio of the offscreen screen in between.
        QImage image(n, n, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            typetoki::PaintProgramLogo(p, QSizeF(n, n));
        }
        if (!out.mkpath(folder) || !image.save(out.filePath(folder + QStringLiteral("/typetoki.png")))) {
            std::fprintf(stderr, "make_icons: cannot write the %d px icon\n", n);
            return 1;
        }
    }

    QSvgGenerator svg;
    svg.setFileName(out.filePath(QStringLiteral("typetoki.svg")));
    svg.setSize(QSize(256, 256));
    svg.setViewBox(QRect(0, 0, 256, 256));
    svg.setTitle(QStringLiteral("タイプ闘記"));
    {
        QPainter p;
        if (!p.begin(&svg)) {
            std::fprintf(stderr, "make_icons: cannot write the SVG icon\n");
            return 1;
        }
        typetoki::PaintProgramLogo(p, QSizeF(256, 256));
    }
    return 0;
}
