#include "ui/layout.h"

#include <QAbstractButton>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QStringList>
#include <QWidget>

namespace typetoki {

QString VersionText()
{
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ " TYPETOKI_VERSION);
}

QFont JapaneseFont(double pointSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(pointSize);
    return font;
}

void SetColors(QWidget *widget, int foreground, int background)
{
    QPalette palette = widget->palette();
    if (foreground != kNoColor) {
        const QColor color{QRgb(foreground)};
        palette.setColor(QPalette::WindowText, color);
        palette.setColor(QPalette::Text, color);
        palette.setColor(QPalette::ButtonText, color);
    }
    if (background != kNoColor) {
        const QColor color{QRgb(background)};
        palette.setColor(QPalette::Window, color);
        palette.setColor(QPalette::Base, color);
        widget->setAutoFillBackground(true);
    }
    widget->setPalette(palette);
}

void SetContainerColor(QWidget *widget, Rgb background)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, QColor(QRgb(background)));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

namespace {

QLabel *ChantOrnament(QWidget *parent, const QString &chant, int times, Rgb color, QRect place)
{
    auto *label = new QLabel(chant.repeated(times), parent);
    label->setGeometry(place);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFont(JapaneseFont(12));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    SetColors(label, int(color), kNoColor);
    label->lower();
    return label;
}

}  // namespace

QLabel *HeroChant(QWidget *parent, Rgb color, QRect place)
{
    return ChantOrnament(parent, QStringLiteral("エヤ"), 400, color, place);
}

QLabel *RivalChant(QWidget *parent, Rgb color, QRect place)
{
    return ChantOrnament(parent, QStringLiteral("非苦"), 344, color, place);
}

namespace {

// A dialog closes on Escape as if cancelled; these windows close only by
// their close box and their own buttons, so an Escape still typed from play
// never skips past a result or a half-typed name.
class EscapeIgnored final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            event->accept();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void SetUpSizableDialog(QDialog *dialog, const QString &title)
{
    dialog->setWindowTitle(title);
    dialog->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    dialog->setFont(JapaneseFont(9));
    dialog->installEventFilter(new EscapeIgnored(dialog));
}

QGroupBox *ScoreBoardFrame(QWidget *parent, QRect place, Rgb background)
{
    auto *frame = new QGroupBox(QStringLiteral("スコアボード"), parent);
    frame->setGeometry(place);
    SetContainerColor(frame, background);
    SetColors(frame, kWhite, kNoColor);
    return frame;
}

void ApplyDesign(QWidget *control, const ControlDesign &design)
{
    control->setGeometry(TwipsRect(design.left, design.top, design.width, design.height));
    const bool hasText = design.text != nullptr;
    const QString text = QString::fromUtf8(design.text);
    if (auto *label = qobject_cast<QLabel *>(control)) {
        if (hasText)
            label->setText(text);
        label->setWordWrap(design.wrap);
        if (design.align)
            label->setAlignment(design.align);
    } else if (auto *box = qobject_cast<QLineEdit *>(control)) {
        if (hasText)
            box->setText(text);
        if (design.align)
            box->setAlignment(design.align);
    } else if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        if (hasText)
            button->setText(text);
    } else if (auto *frame = qobject_cast<QGroupBox *>(control)) {
        if (hasText)
            frame->setTitle(text);
    }
    if (design.points > 0) {
        QFont font = JapaneseFont(design.points);
        font.setBold(design.bold);
        control->setFont(font);
    }
    SetColors(control, design.foreground, design.background);
}

}  // namespace typetoki
