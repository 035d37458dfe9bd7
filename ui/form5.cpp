#include "ui/form5.h"

#include "ui/artwork.h"
#include "ui/layout.h"

#include <QLabel>
#include <QMouseEvent>

namespace typetoki {

namespace {

constexpr Rgb kDarkBlue = 0x000040;
constexpr Rgb kOrnamentTeal = 0x004040;

// Nobody is named as the originator of the idea; the game takes it from
// elsewhere.
const Designed<Form5> kDesign[] = {
    // The picture's design box is its own size on the screen it was drawn
    // for; the landscape is painted finer and scaled into that box.
    {ControlOf<&Form5::Image1>, {120, 240, 5916, 2724}},
    {ControlOf<&Form5::Label1, 0>,
     {1080, 3240, 972, 492, "原案", kPaleYellow, kNoColor, kTopLeft, 16.2, false, true}},
    {ControlOf<&Form5::Label2, 0>,
     {720, 3840, 2052, 612, "", kPaleYellow, kNoColor, kTopLeft, 25.8, false, true}},
    {ControlOf<&Form5::Label1, 1>,
     {3600, 3240, 1692, 492, "企画/製作", kPaleGreen, kNoColor, kTopLeft, 16.2, false, true}},
    {ControlOf<&Form5::Label2, 1>,
     {3240, 3840, 2532, 612, "typetoki", kPaleGreen, kNoColor, kTopLeft, 25.8, false, true}},
    {ControlOf<&Form5::Label5>,
     {3960, 2640, 2052, 252, kCopyrightLine, 0x800000, kNoColor, Qt::AlignHCenter | Qt::AlignTop,
      0, false, true}},
};

}  // namespace

Form5::Form5(QWidget *parent) : QDialog(parent)
{
    SetUpSizableDialog(this, QStringLiteral("スタッフ"));
    setWindowIcon(StaffIcon());
    SetContainerColor(this, kDarkBlue);
    resize(Px(6240), Px(4488));

    // The hero chant starts left of the window's edge, so its rows look cut
    // off by the frame rather than starting neatly.
    Label6[1] = RivalChant(this, kOrnamentTeal, TwipsRect(2880, 0, 4092, 5412));
    Label6[0] = HeroChant(this, kOrnamentTeal, TwipsRect(-840, 0, 3972, 5412));

    BuildDesign(*this, this, kDesign);
    Image1->setPixmap(StaffPicture());
    Image1->setScaledContents(true);
    Image1->installEventFilter(this);
}

bool Form5::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Image1) {
        // A click: pressed and released on the picture with the left button.
        if (event->type() == QEvent::MouseButtonPress) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            imagePressed_ = mouse->button() == Qt::LeftButton;
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            const bool click = imagePressed_ && mouse->button() == Qt::LeftButton
                               && Image1->rect().contains(mouse->position().toPoint());
            imagePressed_ = false;
            if (click)
                accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace typetoki
