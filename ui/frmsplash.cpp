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

constexpr int kTealBack = int(kTeal);

// Within Frame1.
const Designed<frmSplash> kDesign[] = {
    {ControlOf<&frmSplash::imgLogo>, {120, 840, 2772, 2388}},
    {ControlOf<&frmSplash::lblCompanyProduct>,
     {120, 240, 6804, 480, "", 0xFFC080, kTealBack, kTopLeft, 18, true}},
    {ControlOf<&frmSplash::lblProductName>,
     {4440, 1560, 1020, 324, "製品名", 0xE0E0E0, kTealBack, Qt::AlignHCenter | Qt::AlignTop, 16.2, true}},
    {ControlOf<&frmSplash::lblVersion>,
     {5880, 2040, 888, 288, "ﾊﾞｰｼﾞｮﾝ", 0x80FFFF, kTealBack, Qt::AlignRight | Qt::AlignTop, 12, true}},
    {ControlOf<&frmSplash::Label2>,
     {4320, 3000, 2292, 252, kCopyrightLine, 0xFFC0C0, kNoColor, kTopLeft, 12, false, true}},
    {ControlOf<&frmSplash::Label1>, {240, 3480, 6660, 360, "", 0x80FF80, kTealBack, kTopLeft, 18, true}},
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

    BuildDesign(*this, Frame1, kDesign);
    imgLogo->setPixmap(ProgramLogo(imgLogo->size()));
    imgLogo->setScaledContents(true);
    lblCompanyProduct->setText(QStringLiteral("エヤ").repeated(24));
    Label1->setText(QStringLiteral("非苦").repeated(12));

    // Form_Load
    lblVersion->setText(VersionText());
    lblProductName->setText(kApplicationTitle);

    // These take the size of their text, grown from their design box.
    for (QLabel *label : {lblCompanyProduct, lblProductName, lblVersion, Label1})
        AutoSize(label, label->geometry());

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
