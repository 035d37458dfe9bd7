#include "ui/form6.h"

#include "ui/artwork.h"
#include "ui/layout.h"

#include <QLabel>

namespace typetoki {

namespace {

constexpr Rgb kOrnamentGrey = 0x404040;

const Designed<Form6> kDesign[] = {
    {ControlOf<&Form6::Label1>,
     {360, 720, 8412, 4452, "Label1", kMagenta, kNoColor, kTopLeft, 12, false, true}},
    {ControlOf<&Form6::Label5>,
     {3480, 5400, 2052, 252, kCopyrightLine, kPaleYellow, kNoColor, Qt::AlignHCenter | Qt::AlignTop,
      0, false, true}},
};

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

QString HowToPlayText()
{
    // Mode by mode, in game-mode order; the explanations are indented by two
    // ideographic spaces so they line up under the full-width titles.
    QString text = QStringLiteral("ゲームモード") + kCrLf + kCrLf;
    text += QStringLiteral("1:レクサ　モード") + kCrLf
            + QStringLiteral("　　制限時間以内にひたすら「エヤエヤ」入力します") + kCrLf;
    text += kCrLf + QStringLiteral("2:ヴォルグ　モード") + kCrLf
            + QStringLiteral("　　制限時間以内にひたすら「非苦非苦」入力します") + kCrLf;
    text += kCrLf + QStringLiteral("3:レクサ対ヴォルグ　モード") + kCrLf
            + QStringLiteral("　　ランダムで、「エヤエヤ」「非苦非苦」のどちらかを入力します") + kCrLf;
    text += kCrLf + QStringLiteral("4:修行　モード") + kCrLf
            + QStringLiteral("　　一般のテキストファイルを読み込みこんで、入力します。") + kCrLf;
    return text;
}

Form6::Form6(QWidget *parent) : QDialog(parent)
{
    SetUpSizableDialog(this, QStringLiteral("遊び方"));
    setWindowIcon(HowToPlayIcon());
    SetContainerColor(this, kBlack);
    // Nothing is rearranged when the window is resized; the design size is
    // only where it starts.
    resize(Px(8556), Px(5712));

    Label6[1] = RivalChant(this, kOrnamentGrey, TwipsRect(4560, 0, 4812, 6972));
    Label6[0] = HeroChant(this, kOrnamentGrey, TwipsRect(0, 0, 4692, 6972));

    BuildDesign(*this, this, kDesign);

    Label1->setText(HowToPlayText());
}

}  // namespace typetoki
