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

constexpr int kGreen = int(kDarkGreen);

const Designed<frmAbout> kDesign[] = {
    {ControlOf<&frmAbout::Image1>, {120, 120, 972, 972}},
    {ControlOf<&frmAbout::lblTitle>,
     {1200, 240, 3888, 480, "ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ", kPaleGreen, kGreen, kTopLeft, 16.2, false, true}},
    {ControlOf<&frmAbout::lblVersion>,
     {3360, 720, 1716, 228, "ﾊﾞｰｼﾞｮﾝ", 0xFFC080, kGreen, kTopLeft, 12, false, true}},
    {ControlOf<&frmAbout::lblDescription>,
     {1920, 960, 4092, 336, "漫画史上に残る永遠の名勝負を再現しました。", kPaleYellow, kGreen, kTopLeft,
      0, false, true}},
    {ControlOf<&frmAbout::Label2>,
     {120, 1200, 1812, 576, "注意！このソフトは、きっと著作権に違反してないんじゃないかなあ。。。", kRed,
      kGreen, kTopLeft, 0, false, true}},
    {ControlOf<&frmAbout::Label3>,
     {2640, 1680, 2652, 252, kCreditLine, kPaleYellow, kGreen, Qt::AlignRight | Qt::AlignTop, 0, false,
      true}},
    {ControlOf<&frmAbout::lblDisclaimer>,
     {252, 2640, 3876, 708,
      "警告:これは、まだ、テストバージョンです。よって、作者の許可なく再配布しないで下さい。"
      "動作報告、ご意見等は、下記のアドレスまで。",
      0xFFC0C0, kGreen, kTopLeft, 0, false, true}},
    {ControlOf<&frmAbout::Label1>,
     {1320, 3600, 2652, 252, kCopyrightLine, kPaleYellow, kGreen, Qt::AlignHCenter | Qt::AlignTop, 0,
      false, true}},
    // The contact boxes: this project has no web pages or mail address of
    // its own to give, so they stay empty.
    {ControlOf<&frmAbout::Text1, 1>, {240, 1920, 5532, 264, "", kPaleGreen, kBlack}},  // web page
    {ControlOf<&frmAbout::Text1, 2>, {240, 2160, 5532, 264, "", kPaleGreen, kBlack}},  // web page
    {ControlOf<&frmAbout::Text1, 0>, {360, 3240, 3372, 264, "", kPaleGreen, kBlack}},  // e-mail
    {ControlOf<&frmAbout::cmdOK>, {4245, 2760, 1380, 345, "OK"}},
    {ControlOf<&frmAbout::cmdSysInfo>, {4260, 3240, 1380, 345, "ｼｽﾃﾑ情報(&S)..."}},
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

    BuildDesign(*this, this, kDesign);
    Image1->setPixmap(ProgramLogo(Image1->size()));
    Image1->setScaledContents(true);
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
