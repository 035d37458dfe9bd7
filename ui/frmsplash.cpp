#include "ui/frmsplash.h"

#include "ui/artwork.h"
#include "ui/layout.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

namespace typetoki {

namespace {

constexpr Rgb kTeal = 0x004040;

struct SplashLabel {
    QLabel *frmSplash::*member;
    int left, top, width, height;  // within Frame1
    const char *text;
    int foreground, background;    // kNoColor: transparent
    Qt::Alignment align;
    double points;
    bool bold;
    bool autoSize;
};

const SplashLabel kLabels[] = {
    {&frmSplash::lblCompanyProduct, 120, 240, 6804, 480, "", 0xFFC080, int(kTeal),
     kTopLeft, 18, true, true},
    {&frmSplash::lblProductName, 4440, 1560, 1020, 324, "製品名", 0xE0E0E0, int(kTeal),
     Qt::AlignHCenter | Qt::AlignTop, 16.2, true, true},
    {&frmSplash::lblVersion, 5880, 2040, 888, 288, "ﾊﾞｰｼﾞｮﾝ", 0x80FFFF, int(kTeal),
     Qt::AlignRight | Qt::AlignTop, 12, true, true},
    {&frmSplash::Label2, 4320, 3000, 2292, 252, kCopyrightLine, 0xFFC0C0, kNoColor,
     kTopLeft, 12, false, false},
    {&frmSplash::Label1, 240, 3480, 6660, 360, "", 0x80FF80, int(kTeal), kTopLeft, 18, true, true},
};

// The label takes the size of its text. It grows away from the side its
// text is aligned to, so a centred title stays centred on its design box and
// a right-aligned version keeps its right edge.
void AutoSize(QLabel *label, QRect design)
{
    const QSize size = label->sizeHint();
    int left = design.left();
    if (label->alignment() & Qt::AlignRight)
        left = design.left() + design.width() - size.width();
    else if (label->alignment() & Qt::AlignHCenter)
        left = design.left() + (design.width() - size.width()) / 2;
    label->setGeometry(QRect(QPoint(left, design.top()), size));
}

}  // namespace

frmSplash::frmSplash(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    // What follows the splash is the caller's to decide (see the header).
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QString());
    setFont(JapaneseFont(9));
    setFocusPolicy(Qt::StrongFocus);
    SetContainerColor(this, kTeal);
    setFixedSize(Px(7380), Px(4236));

    Frame1 = new QFrame(this);
    Frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Frame1->setGeometry(TwipsRect(150, 120, 7080, 4050));
    SetContainerColor(Frame1, kTeal);

    imgLogo = new QLabel(Frame1);
    imgLogo->setGeometry(TwipsRect(120, 840, 2772, 2388));
    imgLogo->setPixmap(ProgramLogo(imgLogo->size()));
    imgLogo->setScaledContents(true);

    for (const SplashLabel &s : kLabels) {
        auto *label = new QLabel(QString::fromUtf8(s.text), Frame1);
        label->setGeometry(TwipsRect(s.left, s.top, s.width, s.height));
        label->setAlignment(s.align);
        QFont font = JapaneseFont(s.points);
        font.setBold(s.bold);
        label->setFont(font);
        label->setWordWrap(!s.autoSize);
        SetColors(label, s.foreground, s.background);
        this->*(s.member) = label;
    }
    lblCompanyProduct->setText(QStringLiteral("エヤ").repeated(24));
    Label1->setText(QStringLiteral("非苦").repeated(12));

    // Form_Load
    lblVersion->setText(VersionText());
    lblProductName->setText(kApplicationTitle);

    for (const SplashLabel &s : kLabels)
        if (s.autoSize)
            AutoSize(this->*(s.member), TwipsRect(s.left, s.top, s.width, s.height));

    // Only the frame's own surface is clickable; the key preview covers
    // every control, although none of them takes the focus today.
    for (QWidget *w : {static_cast<QWidget *>(imgLogo), static_cast<QWidget *>(lblCompanyProduct),
                       static_cast<QWidget *>(lblProductName), static_cast<QWidget *>(lblVersion),
                       static_cast<QWidget *>(Label2), static_cast<QWidget *>(Label1)})
        w->setAttribute(Qt::WA_NoMousePropagation);
    Frame1->installEventFilter(this);
    for (QWidget *child : findChildren<QWidget *>())
        if (child != Frame1)
            child->installEventFilter(this);

    if (QScreen *display = screen())
        move(display->availableGeometry().center() - rect().center());
}

bool frmSplash::Form_KeyPress(QKeyEvent *event)
{
    if (done_ || event->text().isEmpty())
        return false;
    close();  // closeEvent tells the caller
    return true;
}

bool frmSplash::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && Form_KeyPress(static_cast<QKeyEvent *>(event)))
        return true;
    if (watched == Frame1 && !done_) {
        if (event->type() == QEvent::MouseButtonPress) {
            framePressed_ = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            const bool click = framePressed_ && mouse->button() == Qt::LeftButton
                               && Frame1->rect().contains(mouse->position().toPoint());
            framePressed_ = false;
            if (click) {
                goingOn_ = true;
                close();
                emit frameClicked();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmSplash::keyPressEvent(QKeyEvent *event)
{
    if (!Form_KeyPress(event))
        QWidget::keyPressEvent(event);
}

void frmSplash::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (done_)
        return;
    done_ = true;
    // Without this a close from the window manager left the program running
    // with no window at all.
    if (!goingOn_)
        emit closedToQuit();
}

void frmSplash::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The first window of the program: it has to take the keyboard itself.
    activateWindow();
    setFocus();
}

}  // namespace typetoki
