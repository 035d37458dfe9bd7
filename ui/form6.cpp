#include "ui/form6.h"

#include "ui/artwork.h"
#include "ui/layout.h"

#include <QLabel>

namespace typetoki {

namespace {

constexpr Rgb kBlack = 0x000000;
constexpr Rgb kOrnamentGrey = 0x404040;

struct LabelSpec {
    QLabel *Form6::*member;
    int left, top, width, height;
    const char *text;
    int foreground;
    Qt::Alignment align;
    double points;  // 0: the window's default font
};

// Front to back: a later label lies behind the earlier ones.
const LabelSpec kLabels[] = {
    {&Form6::Label5, 3480, 5400, 2052, 252, kCopyrightLine, 0xFFFFC0, Qt::AlignHCenter | Qt::AlignTop, 0},
    {&Form6::Label1, 360, 720, 8412, 4452, "Label1", 0xFF00FF, Qt::AlignLeft | Qt::AlignTop, 12},
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
    setWindowTitle(QStringLiteral("遊び方"));
    setWindowIcon(HowToPlayIcon());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setFont(JapaneseFont(9));
    SetContainerColor(this, kBlack);
    // Nothing is rearranged when the window is resized; the design size is
    // only where it starts.
    resize(Px(8556), Px(5712));

    Label6[1] = ChantOrnament(this, QStringLiteral("非苦"), 344, kOrnamentGrey,
                              TwipsRect(4560, 0, 4812, 6972));
    Label6[0] = ChantOrnament(this, QStringLiteral("エヤ"), 400, kOrnamentGrey,
                              TwipsRect(0, 0, 4692, 6972));

    // Built from the back, so each label is raised above the one behind it.
    for (auto s = std::rbegin(kLabels); s != std::rend(kLabels); ++s) {
        auto *label = new QLabel(QString::fromUtf8(s->text), this);
        label->setGeometry(TwipsRect(s->left, s->top, s->width, s->height));
        label->setAlignment(s->align);
        label->setWordWrap(true);
        if (s->points > 0)
            label->setFont(JapaneseFont(s->points));
        SetColors(label, s->foreground, kNoColor);
        this->*(s->member) = label;
    }

    Label1->setText(HowToPlayText());
}

}  // namespace typetoki
