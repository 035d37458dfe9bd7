#include "ui/artwork.h"

#include "ui/layout.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>
#include <cmath>
#include <functional>
#include <numbers>

namespace typetoki {

namespace {

using Painting = std::function<void(QPainter &)>;

// A transparent picture of the given size with the design painted in a
// coordinate space of designWidth × designHeight units.
QPixmap Paint(QSize size, QSizeF design, const Painting &paint)
{
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size.width() / design.width(), size.height() / design.height());
    paint(p);
    return picture;
}

QPixmap Paint16(const Painting &paint) { return Paint({16, 16}, {16, 16}, paint); }

QPen Outline(QColor color, double width = 1.0)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// ---- Toolbar -------------------------------------------------------------------

void PaintStart(QPainter &p)
{
    const QPointF triangle[] = {{4, 2}, {13.5, 8}, {4, 14}};
    QLinearGradient fill(4, 2, 4, 14);
    fill.setColorAt(0, QColor(0x5C, 0xD6, 0x5C));
    fill.setColorAt(1, QColor(0x1E, 0x9A, 0x1E));
    p.setBrush(fill);
    p.setPen(Outline(QColor(0x10, 0x5A, 0x10)));
    p.drawPolygon(triangle, 3);
}

void PaintEnd(QPainter &p)
{
    // A door with an arrow leaving through it.
    p.setPen(Outline(QColor(0x4A, 0x2C, 0x10)));
    p.setBrush(QColor(0x9C, 0x62, 0x2E));
    p.drawRect(QRectF(2.5, 1.5, 7, 13));
    p.setBrush(QColor(0x3A, 0x22, 0x0C));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(8, 8.5), 0.9, 0.9);
    p.setBrush(QColor(0xD8, 0x20, 0x20));
    p.setPen(Outline(QColor(0x80, 0x08, 0x08)));
    const QPointF arrow[] = {{6, 6.8}, {10.5, 6.8}, {10.5, 4}, {15, 8}, {10.5, 12}, {10.5, 9.2}, {6, 9.2}};
    p.drawPolygon(arrow, 7);
}

void PaintSettei(QPainter &p)
{
    // A gear: eight teeth round a wheel, with an axle hole.
    QPainterPath gear;
    gear.addEllipse(QPointF(8, 8), 5.2, 5.2);
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth;
        tooth.addRect(QRectF(-1.5, -7.6, 3, 3.4));
        gear = gear.united(QTransform().translate(8, 8).rotate(45.0 * i).map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(QPointF(8, 8), 2.1, 2.1);
    gear = gear.subtracted(hole);
    QRadialGradient steel(QPointF(6.5, 6.5), 8);
    steel.setColorAt(0, QColor(0xD8, 0xDE, 0xE6));
    steel.setColorAt(1, QColor(0x6A, 0x76, 0x86));
    p.setBrush(steel);
    p.setPen(Outline(QColor(0x33, 0x3B, 0x46), 0.8));
    p.drawPath(gear);
}

void PaintScore(QPainter &p)
{
    // A trophy cup with two handles on a stem and a base.
    const QColor gold(0xF2, 0xC2, 0x2E);
    const QColor rim(0x8A, 0x62, 0x00);
    p.setPen(Outline(rim, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(1.2, 3, 4.5, 4.5), 90 * 16, 180 * 16);
    p.drawArc(QRectF(10.3, 3, 4.5, 4.5), 90 * 16, -180 * 16);

    QPainterPath cup;
    cup.moveTo(3.5, 1.5);
    cup.lineTo(12.5, 1.5);
    cup.cubicTo(12.5, 7, 10.5, 9.5, 8, 9.8);
    cup.cubicTo(5.5, 9.5, 3.5, 7, 3.5, 1.5);
    cup.closeSubpath();
    QLinearGradient shine(3.5, 0, 12.5, 0);
    shine.setColorAt(0, gold.lighter(130));
    shine.setColorAt(0.45, gold);
    shine.setColorAt(1, gold.darker(130));
    p.setBrush(shine);
    p.setPen(Outline(rim, 0.8));
    p.drawPath(cup);
    p.drawRect(QRectF(7, 9.8, 2, 2.4));
    p.drawRect(QRectF(4.5, 12.2, 7, 2.3));
}

void PaintHelp2(QPainter &p)
{
    // An open book.
    p.setPen(Outline(QColor(0x1C, 0x3C, 0x8C), 0.9));
    p.setBrush(QColor(0xFA, 0xFA, 0xF0));
    const QPointF left[] = {{1, 3.5}, {8, 5}, {8, 14}, {1, 12.5}};
    const QPointF right[] = {{15, 3.5}, {8, 5}, {8, 14}, {15, 12.5}};
    p.drawPolygon(left, 4);
    p.drawPolygon(right, 4);
    p.setPen(Outline(QColor(0x80, 0x88, 0xA8), 0.7));
    for (double y : {7.0, 9.0, 11.0}) {
        p.drawLine(QPointF(2.6, y - 1.2), QPointF(6.6, y - 0.3));
        p.drawLine(QPointF(13.4, y - 1.2), QPointF(9.4, y - 0.3));
    }
}

void Medallion(QPainter &p, QColor color)
{
    QRadialGradient fill(QPointF(6, 5.5), 9);
    fill.setColorAt(0, color.lighter(150));
    fill.setColorAt(1, color);
    p.setBrush(fill);
    p.setPen(Outline(color.darker(160), 0.9));
    p.drawEllipse(QPointF(8, 8), 7, 7);
}

void PaintStuff(QPainter &p)
{
    Medallion(p, QColor(0x1E, 0x5E, 0xC8));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.6), 1.35, 1.35);
    p.drawRoundedRect(QRectF(6.9, 6.8, 2.2, 6), 0.6, 0.6);
}

void PaintHelp(QPainter &p)
{
    Medallion(p, QColor(0x7A, 0x3E, 0xC8));
    QPainterPath hook;
    hook.moveTo(5.4, 6);
    hook.arcTo(QRectF(5.4, 3.3, 5.2, 5.2), 180, -250);
    hook.quadTo(8, 8.6, 8, 10);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 12.4), 1.2, 1.2);
}

// ---- Window icons ----------------------------------------------------------------

void PaintKeyboard(QPainter &p)
{
    p.setPen(Outline(QColor(0x20, 0x20, 0x28), 0.9));
    p.setBrush(QColor(0x55, 0x5A, 0x66));
    p.drawRoundedRect(QRectF(0.5, 3.5, 15, 9.5), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF0, 0xF0, 0xF4));
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 5; ++col)
            p.drawRect(QRectF(2 + col * 2.5 + row * 0.8, 5 + row * 2.5, 1.8, 1.8));
    p.drawRect(QRectF(4, 10, 8, 1.6));
}

void Person(QPainter &p, QPointF head, double scale, QColor color)
{
    p.setBrush(color);
    p.setPen(Outline(color.darker(170), 0.7));
    p.drawEllipse(head, 2.4 * scale, 2.4 * scale);
    QPainterPath body;
    const double top = head.y() + 0.5 * scale;
    body.moveTo(head.x() - 4.3 * scale, 15.5);
    body.cubicTo(head.x() - 4.3 * scale, top, head.x() + 4.3 * scale, top,
                 head.x() + 4.3 * scale, 15.5);
    body.closeSubpath();
    p.drawPath(body);
}

void PaintStaff(QPainter &p)
{
    Person(p, {10.5, 4}, 0.9, QColor(0x4A, 0x78, 0xC0));
    Person(p, {5.8, 6.3}, 1.0, QColor(0xF0, 0x8A, 0x24));
}

// ---- Logo ------------------------------------------------------------------------

void PaintLogo(QPainter &p)
{
    // Gold rim, red face, and the fighting kanji of the title in the middle.
    QRadialGradient rim(QPointF(12, 10), 20);
    rim.setColorAt(0, QColor(0xFF, 0xE8, 0x8A));
    rim.setColorAt(1, QColor(0xC0, 0x86, 0x10));
    p.setPen(Outline(QColor(0x6A, 0x40, 0x00), 0.8));
    p.setBrush(rim);
    p.drawEllipse(QPointF(16, 16), 15.3, 15.3);

    QRadialGradient face(QPointF(12, 11), 16);
    face.setColorAt(0, QColor(0xE8, 0x3A, 0x2A));
    face.setColorAt(1, QColor(0x90, 0x10, 0x10));
    p.setPen(Outline(QColor(0x60, 0x08, 0x08), 0.6));
    p.setBrush(face);
    p.drawEllipse(QPointF(16, 16), 12.6, 12.6);

    QFont font = JapaneseFont(20);
    font.setBold(true);
    QPainterPath glyph;
    glyph.addText(0, 0, font, QStringLiteral("闘"));
    // Fitted by its outline rather than the font's metrics, so the kanji
    // fills the face the same way whichever Gothic face drew it.
    const QRectF bounds = glyph.boundingRect();
    const QRectF target(8.6, 8.6, 14.8, 14.8);
    if (!bounds.isEmpty()) {
        const double s = std::min(target.width() / bounds.width(), target.height() / bounds.height());
        QTransform fit;
        fit.translate(target.center().x(), target.center().y());
        fit.scale(s, s);
        fit.translate(-bounds.center().x(), -bounds.center().y());
        glyph = fit.map(glyph);
    }
    p.setPen(Outline(QColor(0x50, 0x00, 0x00), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(glyph.translated(0.5, 0.6));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFF, 0xF4, 0xD0));
    p.drawPath(glyph);
}

// ---- Staff landscape ---------------------------------------------------------------

void PaintLandscape(QPainter &p)
{
    constexpr double w = 493, h = 227;

    QLinearGradient sky(0, 0, 0, 170);
    sky.setColorAt(0, QColor(0x1C, 0x5C, 0xC8));
    sky.setColorAt(1, QColor(0xA8, 0xD4, 0xF8));
    p.fillRect(QRectF(0, 0, w, h), sky);

    // The sun: a red disc in a crown of pointed rays, long and short in turn.
    const QPointF sun(395, 62);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF0, 0x48, 0x30));
    for (int i = 0; i < 16; ++i) {
        const double a = Radians(22.5 * i);
        const double reach = i % 2 == 0 ? 54 : 43;
        const double half = Radians(6.5);
        const QPointF ray[] = {
            sun + QPointF(std::cos(a - half), std::sin(a - half)) * 30,
            sun + QPointF(std::cos(a), std::sin(a)) * reach,
            sun + QPointF(std::cos(a + half), std::sin(a + half)) * 30,
        };
        p.drawPolygon(ray, 3);
    }
    QRadialGradient disc(sun - QPointF(8, 8), 40);
    disc.setColorAt(0, QColor(0xFF, 0x50, 0x40));
    disc.setColorAt(1, QColor(0xC8, 0x10, 0x10));
    p.setBrush(disc);
    p.drawEllipse(sun, 32, 32);

    // Two clouds drifting across.
    p.setBrush(QColor(255, 255, 255, 225));
    for (const QPointF &c : {QPointF(70, 42), QPointF(270, 24)}) {
        p.drawEllipse(c, 26, 10);
        p.drawEllipse(c + QPointF(-16, 4), 16, 8);
        p.drawEllipse(c + QPointF(18, 3), 18, 8);
        p.drawEllipse(c + QPointF(2, -6), 14, 9);
    }

    // A far range in haze behind the great mountain.
    QPainterPath range;
    range.moveTo(0, 150);
    range.lineTo(40, 118);
    range.lineTo(75, 132);
    range.lineTo(110, 105);
    range.lineTo(150, 140);
    range.lineTo(330, 140);
    range.lineTo(380, 112);
    range.lineTo(420, 128);
    range.lineTo(455, 108);
    range.lineTo(w, 130);
    range.lineTo(w, 175);
    range.lineTo(0, 175);
    range.closeSubpath();
    p.setBrush(QColor(0x7C, 0x98, 0xB8));
    p.drawPath(range);

    // The mountain, lit from the left where the sun stands high.
    const QPointF peak(215, 30);
    QPainterPath mountain;
    mountain.moveTo(35, 180);
    mountain.lineTo(peak);
    mountain.lineTo(385, 180);
    mountain.closeSubpath();
    QLinearGradient rock(120, 0, 330, 0);
    rock.setColorAt(0, QColor(0x5E, 0x6E, 0x8E));
    rock.setColorAt(0.5, QColor(0x4A, 0x58, 0x76));
    rock.setColorAt(1, QColor(0x34, 0x40, 0x58));
    p.setBrush(rock);
    p.drawPath(mountain);

    // Its snow cap ends in a ragged line where the rock shows through.
    QPainterPath snow;
    snow.moveTo(peak);
    const double slope = (180 - peak.y()) / (peak.x() - 35);  // same on both flanks
    auto flank = [&](double y, double side) {
        return QPointF(peak.x() + side * (y - peak.y()) / slope, y);
    };
    snow.lineTo(flank(84, 1));
    const double edge[][2] = {{0.74, 74}, {0.5, 92}, {0.22, 76}, {-0.05, 96},
                              {-0.3, 78}, {-0.55, 94}, {-0.78, 80}};
    const double half = (84 - peak.y()) / slope;
    for (const auto &e : edge)
        snow.lineTo(peak.x() + e[0] * half, e[1]);
    snow.lineTo(flank(84, -1));
    snow.closeSubpath();
    QLinearGradient shade(peak.x() - 40, 0, peak.x() + 50, 0);
    shade.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
    shade.setColorAt(0.55, QColor(0xF2, 0xF6, 0xFF));
    shade.setColorAt(1, QColor(0xC8, 0xD6, 0xEE));
    p.setBrush(shade);
    p.drawPath(snow);

    // Green ground in two rolling hills, the nearer one darker.
    const auto hill = [&](double left, QPointF c1, QPointF c2, double right, const QBrush &brush) {
        QPainterPath ground;
        ground.moveTo(0, left);
        ground.cubicTo(c1, c2, QPointF(w, right));
        ground.lineTo(w, h);
        ground.lineTo(0, h);
        ground.closeSubpath();
        p.setBrush(brush);
        p.drawPath(ground);
    };
    QLinearGradient meadow(0, 150, 0, h);
    meadow.setColorAt(0, QColor(0x6C, 0xC0, 0x4A));
    meadow.setColorAt(1, QColor(0x3A, 0x8C, 0x2E));
    hill(172, {120, 150}, {260, 176}, 160, meadow);
    hill(205, {150, 182}, {330, 214}, 192, QColor(0x2C, 0x74, 0x24));
}

}  // namespace

QPixmap ToolbarPicture(const QString &key)
{
    static const struct {
        const char *key;
        void (*paint)(QPainter &);
    } pictures[] = {
        {"start", PaintStart}, {"end", PaintEnd},   {"settei", PaintSettei}, {"score", PaintScore},
        {"help2", PaintHelp2}, {"stuff", PaintStuff}, {"help", PaintHelp},
    };
    for (const auto &picture : pictures)
        if (key == QLatin1String(picture.key))
            return Paint16(picture.paint);
    return {};
}

QPixmap ProgramLogo(QSize size)
{
    return Paint(size, {32, 32}, PaintLogo);
}

void PaintProgramLogo(QPainter &painter, QSizeF size)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size.width() / 32.0, size.height() / 32.0);
    PaintLogo(painter);
    painter.restore();
}

QIcon HowToPlayIcon() { return QIcon(Paint16(PaintKeyboard)); }

QIcon StaffIcon() { return QIcon(Paint16(PaintStaff)); }

QPixmap StaffPicture()
{
    return Paint({493, 227}, {493, 227}, PaintLandscape);
}

}  // namespace typetoki
