#include "ui/frmabout.h"

#include "ui/artwork.h"
#include "ui/layout.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

namespace typetoki {

namespace {

constexpr Rgb kDarkGreen = 0x004000;

const PlacedLabel<frmAbout> kLabels[] = {
    {&frmAbout::lblTitle, {1200, 240, 3888, 480, "ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ", kPaleGreen, kTopLeft, 16.2}},
    {&frmAbout::lblVersion, {3360, 720, 1716, 228, "ﾊﾞｰｼﾞｮﾝ", 0xFFC080, kTopLeft, 12}},
    {&frmAbout::lblDescription,
     {1920, 960, 4092, 336, "漫画史上に残る永遠の名勝負を再現しました。", kPaleYellow, kTopLeft, 0}},
    {&frmAbout::Label2,
     {120, 1200, 1812, 576, "注意！このソフトは、きっと著作権に違反してないんじゃないかなあ。。。", kRed,
      kTopLeft, 0}},
    {&frmAbout::Label3,
     {2640, 1680, 2652, 252, kCreditLine, kPaleYellow, Qt::AlignRight | Qt::AlignTop, 0}},
    {&frmAbout::lblDisclaimer,
     {252, 2640, 3876, 708,
      "警告:これは、まだ、テストバージョンです。よって、作者の許可なく再配布しないで下さい。"
      "動作報告、ご意見等は、下記のアドレスまで。",
      0xFFC0C0, kTopLeft, 0}},
    {&frmAbout::Label1,
     {1320, 3600, 2652, 252, kCopyrightLine, kPaleYellow, Qt::AlignHCenter | Qt::AlignTop, 0}},
};

// The contact boxes: this project has no web pages or mail address of its
// own to give, so they stay empty.
struct BoxDesign {
    int index;
    int left, top, width, height;
};
const BoxDesign kBoxes[] = {
    {1, 240, 1920, 5532, 264},  // first web page
    {2, 240, 2160, 5532, 264},  // second web page
    {0, 360, 3240, 3372, 264},  // e-mail
};

struct ButtonDesign {
    QPushButton *frmAbout::*member;
    int left, top, width, height;
    const char *text;
};
const ButtonDesign kButtons[] = {
    {&frmAbout::cmdOK, 4245, 2760, 1380, 345, "OK"},
    {&frmAbout::cmdSysInfo, 4260, 3240, 1380, 345, "ｼｽﾃﾑ情報(&S)..."},
};

// The separator: a grey line with a white one just under it, so it looks
// cut into the surface.
struct LineDesign {
    int x1, x2, y;  // twips
    int width;      // pixels
    Rgb color;
};
const LineDesign kLines[] = {
    {228, 5783, 2520, 2, 0xFFFFFF},
    {240, 5810, 2520, 1, 0x808080},
};

}  // namespace

frmAbout::frmAbout(Dialogs &dialogs, QWidget *parent) : QDialog(parent), dialogs_(dialogs)
{
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(QIcon(ProgramLogo()));
    setFont(JapaneseFont(9));
    SetContainerColor(this, kDarkGreen);
    setFixedSize(Px(5844), Px(3852));

    Image1 = new QLabel(this);
    Image1->setGeometry(TwipsRect(120, 120, 972, 972));
    Image1->setPixmap(ProgramLogo(Image1->size()));
    Image1->setScaledContents(true);

    for (const PlacedLabel<frmAbout> &s : kLabels)
        this->*(s.member) = DesignedLabel(this, s.design, int(kDarkGreen));

    for (const BoxDesign &s : kBoxes) {
        auto *box = new QLineEdit(this);
        box->setGeometry(TwipsRect(s.left, s.top, s.width, s.height));
        SetColors(box, kPaleGreen, kBlack);
        Text1[s.index] = box;
    }

    for (const ButtonDesign &s : kButtons) {
        auto *button = new QPushButton(QString::fromUtf8(s.text), this);
        button->setGeometry(TwipsRect(s.left, s.top, s.width, s.height));
        this->*(s.member) = button;
    }
    cmdOK->setDefault(true);
    setTabOrder(cmdOK, cmdSysInfo);
    setTabOrder(cmdSysInfo, Text1[1]);
    setTabOrder(Text1[1], Text1[2]);
    setTabOrder(Text1[2], Text1[0]);
    cmdOK->setFocus();

    sysInfo = SysInfoHooks::System(registry_);

    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] {
        SysInfoHooks hooks = sysInfo;
        hooks.showMessage = [this](const QString &text) {
            dialogs_.message(this, kApplicationTitle, text);
        };
        StartSysInfo(hooks);
    });

    // Form_Load
    setWindowTitle(kApplicationTitle + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
    lblVersion->setText(VersionText());
    lblTitle->setText(kApplicationTitle);
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    // OK is the cancel button too: Escape presses it rather than rejecting.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmAbout::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    QPainter p(this);
    for (const LineDesign &line : kLines) {
        // A line of width n covers n rows from its own row downwards, so the
        // grey one, drawn last, leaves the white showing beneath it.
        const int y = Px(line.y);
        p.fillRect(QRect(QPoint(Px(line.x1), y), QPoint(Px(line.x2), y + line.width - 1)),
                   QColor(QRgb(line.color)));
    }
}

}  // namespace typetoki
