#include "ui/keyboardwidget.h"

#include "ui/layout.h"

#include <QEvent>
#include <QHash>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace typetoki {

namespace {

struct KeyDesign {
    QString label;    // the main legend
    QString shifted;  // the legend above it
    double width;     // in key widths
    QString types;    // the characters it types, after width folding
};

struct PlacedKey {
    KeyDesign design;
    QRectF rect;  // in key widths; for Enter, the upper part
    QPainterPath shape;
};

constexpr double kGap = 0.06;  // between two keys, in key widths
constexpr double kRowWidth = 15;

KeyDesign Key(const char *label, const char *shifted, double width, const char *types)
{
    return {QString::fromUtf8(label), QString::fromUtf8(shifted), width, QString::fromUtf8(types)};
}

std::vector<KeyDesign> Letters(const char *letters)
{
    std::vector<KeyDesign> keys;
    for (const char *c = letters; *c; ++c) {
        const QString upper(QChar::fromLatin1(*c));
        keys.push_back({upper, QString(), 1, upper.toLower() + upper});
    }
    return keys;
}

std::vector<KeyDesign> Row(std::initializer_list<std::vector<KeyDesign>> parts)
{
    std::vector<KeyDesign> row;
    for (const auto &part : parts)
        row.insert(row.end(), part.begin(), part.end());
    return row;
}

// The JIS layout of 106/109-key keyboards. The signs an input method turns
// a key into (、。ー「」・〜) count for that key.
const std::vector<PlacedKey> &Layout()
{
    static const std::vector<PlacedKey> layout = [] {
        const std::vector<KeyDesign> rows[] = {
            Row({{Key("半/全", "", 1, "")},
                 {Key("1", "!", 1, "1!"), Key("2", "\"", 1, "2\""), Key("3", "#", 1, "3#"),
                  Key("4", "$", 1, "4$"), Key("5", "%", 1, "5%"), Key("6", "&", 1, "6&"),
                  Key("7", "'", 1, "7'"), Key("8", "(", 1, "8("), Key("9", ")", 1, "9)"),
                  Key("0", "", 1, "0"), Key("-", "=", 1, "-=ー"), Key("^", "~", 1, "^~〜"),
                  Key("¥", "|", 1, "¥|"), Key("BS", "", 1, "")}}),
            Row({{Key("Tab", "", 1.5, "")}, Letters("QWERTYUIOP"),
                 {Key("@", "`", 1, "@`"), Key("[", "{", 1, "[{「"), Key("Enter", "", 1.5, "")}}),
            Row({{Key("英数", "", 1.75, "")}, Letters("ASDFGHJKL"),
                 {Key(";", "+", 1, ";+"), Key(":", "*", 1, ":*"), Key("]", "}", 1, "]}」"),
                  Key("Enter", "", 1.25, "")}}),
            Row({{Key("Shift", "", 2.25, "")}, Letters("ZXCVBNM"),
                 {Key(",", "<", 1, ",<、"), Key(".", ">", 1, ".>。"), Key("/", "?", 1, "/?・"),
                  Key("＼", "_", 1, "\\_"), Key("Shift", "", 1.75, "")}}),
            Row({{Key("Ctrl", "", 1.5, ""), Key("Win", "", 1.25, ""), Key("Alt", "", 1.25, ""),
                  Key("無変換", "", 1.25, ""), Key("", "", 4.5, " "), Key("変換", "", 1.25, ""),
                  Key("かな", "", 1.25, ""), Key("Alt", "", 1.25, ""), Key("Ctrl", "", 1.5, "")}}),
        };
        std::vector<PlacedKey> keys;
        for (int y = 0; y < int(std::size(rows)); ++y) {
            double x = 0;
            for (const KeyDesign &design : rows[y]) {
                const QRectF rect(x, y, design.width, 1);
                x += design.width;
                auto upper = std::find_if(keys.begin(), keys.end(), [&](const PlacedKey &k) {
                    return k.design.label == design.label && k.rect.bottom() == y;
                });
                if (design.label == QLatin1String("Enter") && upper != keys.end()) {
                    // Enter spans two rows, narrower below: one L-shaped key.
                    const QRectF top = upper->rect;
                    QPainterPath l;
                    l.addPolygon(QPolygonF({{top.left() + kGap, top.top() + kGap},
                                            {top.right() - kGap, top.top() + kGap},
                                            {rect.right() - kGap, rect.bottom() - kGap},
                                            {rect.left() + kGap, rect.bottom() - kGap},
                                            {rect.left() + kGap, top.bottom() - kGap},
                                            {top.left() + kGap, top.bottom() - kGap}}));
                    l.closeSubpath();
                    upper->shape = l;
                    continue;
                }
                QPainterPath shape;
                shape.addRoundedRect(rect.adjusted(kGap, kGap, -kGap, -kGap), 0.12, 0.12);
                keys.push_back({design, rect, shape});
            }
            Q_ASSERT(std::abs(x - kRowWidth) < 1e-9);
        }
        return keys;
    }();
    return layout;
}

int KeyOfTarget(const QString &target)
{
    const QString folded = target.normalized(QString::NormalizationForm_KC);
    if (folded.size() != 1)
        return -1;
    const std::vector<PlacedKey> &keys = Layout();
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].design.types.contains(folded[0]))
            return int(i);
    }
    return -1;
}

// Pale green for a key that never slips, through yellow, to red from one
// miss in seven on.
QColor MissColour(double rate)
{
    struct Stop {
        double rate;
        QColor colour;
    };
    static const Stop stops[] = {{0, QColor(198, 239, 198)},
                                 {0.04, QColor(255, 242, 150)},
                                 {0.08, QColor(255, 170, 90)},
                                 {0.15, QColor(232, 72, 72)}};
    if (rate <= stops[0].rate)
        return stops[0].colour;
    for (size_t i = 1; i < std::size(stops); ++i) {
        if (rate <= stops[i].rate) {
            const double t = (rate - stops[i - 1].rate) / (stops[i].rate - stops[i - 1].rate);
            const QColor a = stops[i - 1].colour, b = stops[i].colour;
            return QColor::fromRgbF(float(a.redF() + t * (b.redF() - a.redF())),
                                    float(a.greenF() + t * (b.greenF() - a.greenF())),
                                    float(a.blueF() + t * (b.blueF() - a.blueF())));
        }
    }
    return stops[std::size(stops) - 1].colour;
}

const QColor kUntyped(236, 236, 236);
const QColor kNoCharacter(208, 208, 212);

QString Percent(double rate)
{
    return QString::number(rate * 100, 'f', rate < 0.1 ? 2 : 1) + u'%';
}

// ---- the fingers ----

constexpr int kFlashMs = 300;
const QColor kStripBackground(40, 44, 52);
const QColor kLit(255, 196, 40);
const QColor kFlash(232, 60, 60);

// Which finger types each key from the home row, little finger of the left
// hand (0) to that of the right (7); thumbs 8.
int FingerOf(const QString &label)
{
    static const QHash<QString, int> fingers = [] {
        QHash<QString, int> map;
        const char *const columns[] = {
            "半/全 1 Q A Z Tab 英数 Shift", "2 W S X", "3 E D C", "4 5 R T F G V B",
            "6 7 Y U H J N M", "8 I K ,", "9 O L .", "0 - ^ ¥ BS P @ [ Enter ; : ] / ＼",
        };
        for (int finger = 0; finger < int(std::size(columns)); ++finger) {
            for (const QString &key : QString::fromUtf8(columns[finger]).split(u' '))
                map.insert(key, finger);
        }
        return map;
    }();
    return fingers.value(label, 8);
}

// Mirrored tints, a shade deeper on the home row where each finger rests.
QColor FingerColour(const QString &label, const QRectF &rect)
{
    static const QColor tints[] = {QColor(214, 190, 240), QColor(180, 210, 245), QColor(190, 235, 195),
                                   QColor(250, 235, 170)};
    int finger = FingerOf(label);
    // Two keys are called Shift: the one on the right is the right hand's.
    if (finger == 0 && rect.left() > kRowWidth / 2)
        finger = 7;
    const QColor colour = finger == 8 ? QColor(215, 215, 220) : tints[finger < 4 ? finger : 7 - finger];
    return rect.top() == 2 && finger != 8 ? colour.darker(115) : colour;
}

// The scale of colours under the keys.
void PaintScale(QPainter &p, const QTransform &toPixels, double u)
{
    QFont small = JapaneseFont(7);
    small.setPixelSize(std::max(7, int(u * 0.2)));
    p.setFont(small);
    const QRectF bar = toPixels.mapRect(QRectF(3, 5.35, 6, 0.35));
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    for (double r : {0.0, 0.04, 0.08, 0.15})
        gradient.setColorAt(r / 0.15, MissColour(r));
    p.setPen(QColor(96, 96, 104));
    p.setBrush(gradient);
    p.drawRect(bar);
    p.setPen(QColor(32, 32, 40));
    const QRectF caption = toPixels.mapRect(QRectF(0, 5.3, 2.9, 0.45));
    p.drawText(caption, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("ミス率 0%"));
    p.drawText(toPixels.mapRect(QRectF(9.1, 5.3, 2, 0.45)), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("15% 以上"));
    const QRectF untyped = toPixels.mapRect(QRectF(11.3, 5.35, 0.5, 0.35));
    p.setPen(QColor(96, 96, 104));
    p.setBrush(kUntyped);
    p.drawRect(untyped);
    p.setPen(QColor(32, 32, 40));
    p.drawText(toPixels.mapRect(QRectF(11.9, 5.3, 3, 0.45)), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("まだ打っていないキー"));
}

}  // namespace

// A target as a label: blanks would not show.
QString Shown(const QString &target)
{
    if (target == QLatin1String(" "))
        return QStringLiteral("␣");
    if (target == QStringLiteral("\u3000"))
        return QStringLiteral("全␣");
    return target;
}

// What was typed instead of a target, most often first: "x 3 回、z 1 回".
QString TypedInstead(const std::vector<std::pair<QString, qint64>> &typed, size_t most)
{
    QStringList parts;
    for (const auto &[ch, times] : typed) {
        if (parts.size() == qsizetype(most))
            break;
        parts << QStringLiteral("%1 %2 回").arg(Shown(ch)).arg(times);
    }
    return parts.join(QStringLiteral("、"));
}

KeyboardPicture::KeyboardPicture(QWidget *parent, Look look)
    : QWidget(parent), look_(look), sums_(Layout().size()), flashEnd_(new QTimer(this))
{
    setMouseTracking(look == Look::Misses);
    if (look == Look::Misses) {
        setMinimumSize(450, 190);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    // Opaque: the whole widget is the picture, nothing behind it is drawn.
    setAttribute(Qt::WA_OpaquePaintEvent);
    flashEnd_->setSingleShot(true);
    flashEnd_->setInterval(kFlashMs);
    connect(flashEnd_, &QTimer::timeout, this, [this] { relight(flashing_, -1); });
}

QSize KeyboardPicture::sizeHint() const
{
    return {760, 320};
}

void KeyboardPicture::setTargets(const std::vector<TargetFigures> &targets)
{
    sums_.assign(Layout().size(), Sum{});
    for (const TargetFigures &t : targets) {
        const int key = KeyOfTarget(t.target);
        if (key < 0)
            continue;
        Sum &s = sums_[size_t(key)];
        s.targeted += t.targeted;
        s.missed += t.missed;
        s.timedHits += t.timedHits;
        s.hitSeconds += t.hitSeconds;
        for (const auto &[typed, times] : t.typedInstead)
            s.typedInstead[typed] += times;
    }
    base_ = QPixmap();
    update();
}

void KeyboardPicture::relight(int &which, int key)
{
    if (which == key)
        return;
    // Only the keys that change are drawn again, over the picture kept.
    if (which >= 0)
        update(pixelsOf(which));
    which = key;
    if (which >= 0)
        update(pixelsOf(which));
}

void KeyboardPicture::setNextKey(QChar key)
{
    relight(lit_, key.isNull() ? -1 : KeyOfTarget(QString(key)));
}

void KeyboardPicture::flashKey(QChar key)
{
    relight(flashing_, key.isNull() ? -1 : KeyOfTarget(QString(key)));
    flashEnd_->start();
}

QString KeyboardPicture::litKey() const
{
    return lit_ < 0 ? QString() : Layout()[size_t(lit_)].design.label;
}

QString KeyboardPicture::flashingKey() const
{
    return flashing_ < 0 ? QString() : Layout()[size_t(flashing_)].design.label;
}

// The rows, and in the statistics window the scale of colours below them.
double KeyboardPicture::rows() const
{
    return look_ == Look::Misses ? 6.6 : 5.2;
}

int KeyboardPicture::heightForWidth(int width) const
{
    return int(std::ceil(width / (kRowWidth + 0.2) * rows()));
}

// Key widths in pixels: the rows and the legend below them fill the widget.
double KeyboardPicture::unit() const
{
    return std::min(width() / (kRowWidth + 0.2), height() / rows());
}

QTransform KeyboardPicture::toPixels() const
{
    const double u = unit();
    // Centred across, at the top: the room below goes to the list under it.
    return QTransform::fromTranslate((width() - kRowWidth * u) / 2, 0.1 * u).scale(u, u);
}

int KeyboardPicture::keyAt(QPointF point) const
{
    const QPointF inKeys = toPixels().inverted().map(point);
    const std::vector<PlacedKey> &keys = Layout();
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].shape.contains(inKeys))
            return int(i);
    }
    return -1;
}

QRect KeyboardPicture::pixelsOf(int key) const
{
    return toPixels().mapRect(Layout()[size_t(key)].shape.boundingRect()).toAlignedRect().adjusted(-2, -2, 2, 2);
}

QRectF KeyboardPicture::keyRect(const QString &label) const
{
    for (const PlacedKey &key : Layout()) {
        if (key.design.label == label)
            return toPixels().mapRect(key.rect);
    }
    return {};
}

QString KeyboardPicture::figuresAt(QPoint point) const
{
    // The strip under the game has no figures to tell.
    const int key = look_ == Look::Misses ? keyAt(point) : -1;
    if (key < 0 || Layout()[size_t(key)].design.types.isEmpty())
        return {};
    const KeyDesign &design = Layout()[size_t(key)].design;
    const QString name = design.label.isEmpty() ? QStringLiteral("スペース") : design.label;
    const Sum &s = sums_[size_t(key)];
    if (s.targeted == 0)
        return QStringLiteral("%1 キー：まだ打っていません").arg(name);
    QString text = QStringLiteral("%1 キー：出題 %2 回、ミス %3 回（%4）")
                       .arg(name)
                       .arg(s.targeted)
                       .arg(s.missed)
                       .arg(Percent(double(s.missed) / double(s.targeted)));
    if (s.timedHits > 0)
        text += QStringLiteral("\n打つまでの平均 %1 秒").arg(MillisText(s.hitSeconds * 1000 / double(s.timedHits)));
    if (!s.typedInstead.empty()) {
        std::vector<std::pair<QString, qint64>> typed(s.typedInstead.begin(), s.typedInstead.end());
        std::stable_sort(typed.begin(), typed.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
        text += QStringLiteral("\nよく打ち間違える文字：") + TypedInstead(typed);
    }
    return text;
}

bool KeyboardPicture::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString text = figuresAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

void KeyboardPicture::paintKey(QPainter &p, int index, const QColor &fill, bool bold) const
{
    const PlacedKey &key = Layout()[size_t(index)];
    const Sum &s = sums_[size_t(index)];
    const double u = unit();
    const QTransform toPixels = this->toPixels();
    QFont legend = JapaneseFont(9);
    legend.setPixelSize(std::max(8, int(u * 0.32)));
    legend.setBold(bold);
    p.setPen(QPen(bold ? QColor(32, 32, 40) : QColor(96, 96, 104), bold ? 2.5 : 1));
    p.setBrush(fill);
    p.drawPath(toPixels.map(key.shape));

    const QRectF box = toPixels.mapRect(key.rect.adjusted(kGap + 0.08, kGap + 0.04, -kGap - 0.08, -kGap - 0.04));
    p.setPen(QColor(32, 32, 40));
    p.setFont(legend);
    const bool twoLegends = !key.design.shifted.isEmpty();
    p.drawText(box, (twoLegends ? Qt::AlignLeft | Qt::AlignBottom : Qt::AlignLeft | Qt::AlignTop),
               key.design.label);
    if (twoLegends)
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop, key.design.shifted);
    if (look_ == Look::Misses && s.targeted > 0) {
        QFont small = JapaneseFont(7);
        small.setPixelSize(std::max(7, int(u * 0.2)));
        p.setFont(small);
        p.drawText(box, Qt::AlignRight | Qt::AlignBottom, Percent(double(s.missed) / double(s.targeted)));
    }
}

void KeyboardPicture::paintBase()
{
    const qreal ratio = devicePixelRatioF();
    base_ = QPixmap(size() * ratio);
    base_.setDevicePixelRatio(ratio);
    base_.fill(look_ == Look::Misses ? palette().color(backgroundRole()) : kStripBackground);
    QPainter p(&base_);
    p.setRenderHint(QPainter::Antialiasing);
    const std::vector<PlacedKey> &keys = Layout();
    for (size_t i = 0; i < keys.size(); ++i) {
        const PlacedKey &key = keys[i];
        const Sum &s = sums_[i];
        QColor fill;
        if (look_ == Look::Fingers)
            fill = FingerColour(key.design.label, key.rect);
        else
            fill = key.design.types.isEmpty() ? kNoCharacter
                   : s.targeted == 0          ? kUntyped
                                              : MissColour(double(s.missed) / double(s.targeted));
        paintKey(p, int(i), fill, false);
    }
    if (look_ == Look::Misses)
        PaintScale(p, toPixels(), unit());
}

void KeyboardPicture::paintEvent(QPaintEvent *)
{
    if (base_.isNull() || base_.deviceIndependentSize().toSize() != size())
        paintBase();
    QPainter p(this);
    p.drawPixmap(0, 0, base_);
    p.setRenderHint(QPainter::Antialiasing);
    if (lit_ >= 0)
        paintKey(p, lit_, kLit, true);
    if (flashing_ >= 0)
        paintKey(p, flashing_, kFlash, true);
}

}  // namespace typetoki
