#include "ui/form2.h"

#include "engine/rank.h"
#include "ui/form3.h"
#include "ui/layout.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <limits>

namespace typetoki {

namespace {

constexpr Rgb kRust = MakeRgb(192, 64, 0);
constexpr Rgb kOrnamentAmber = MakeRgb(255, 128, 0);

// The score board, inside Frame1: each figure's caption, then its box.
const Designed<Form2> kScoreBoard[] = {
    {ControlOf<&Form2::Label2, 3>, {0, 240, 1092, 252, "入力文字数", kWhite, kNoColor, kRight}},
    {ControlOf<&Form2::Text2, 3>, {1200, 240, 732, 264, "", kYellow, kBlack, kRight}},
    {ControlOf<&Form2::Label2, 4>, {0, 480, 1092, 252, "正解文字数", kWhite, kNoColor, kRight}},
    {ControlOf<&Form2::Text2, 4>, {1200, 480, 732, 264, "", kYellow, kBlack, kRight}},
    {ControlOf<&Form2::Label2, 5>, {0, 840, 1092, 252, "文字正解率", kWhite, kNoColor, kRight}},
    {ControlOf<&Form2::Text2, 5>, {1200, 840, 732, 264, "", kYellow, kBlack, kRight}},
    {ControlOf<&Form2::Label2, 6>, {3720, 240, 1332, 252, "秒速[文字/秒]", kWhite, kNoColor, kRight}},
    {ControlOf<&Form2::Text2, 6>, {5160, 240, 732, 264, "", kYellow, kBlack, kRight}},
    {ControlOf<&Form2::Label2, 7>, {3720, 840, 1332, 252, "瞬間最大秒速", kWhite, kNoColor, kRight}},
    {ControlOf<&Form2::Text2, 7>, {5160, 840, 732, 264, "", kYellow, kBlack, kRight}},
    {ControlOf<&Form2::Label3>, {2400, 240, 732, 372, "得点", kWhite, kNoColor, kRight, 16.2}},
    {ControlOf<&Form2::Text3>, {2160, 720, 1452, 492, "0", kYellow, kBlack, kRight, 16.2}},
};

// Below the score board: the grade and the echo record.
const Designed<Form2> kResult[] = {
    {ControlOf<&Form2::Label4>, {240, 1680, 1932, 372, "あなたのレベル", kYellow, kBlack, kRight, 12}},
    {ControlOf<&Form2::Text1>, {2160, 1680, 3852, 372, "", kGreen, kBlack, {}, 12}},
    {ControlOf<&Form2::Label7>, {240, 2040, 5772, 1092, "", kWhite, kBlack, kTopLeft, 12, false, true}},
    {ControlOf<&Form2::Label1>, {1560, 3120, 2772, 372, "入力履歴", kCyan, kNoColor, Qt::AlignCenter, 16.2}},
    {ControlOf<&Form2::Text6>, {120, 3480, 6012, 1212}},
    {ControlOf<&Form2::Command1>, {2160, 4800, 1692, 372, "OK"}},
};

}  // namespace

Form2::Form2(Module1 &state, const GameResult &result, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_(state), result_(result), dialogs_(dialogs)
{
    SetUpSizableDialog(this, QStringLiteral("結果発表"));
    SetContainerColor(this, kRust);
    resize(Px(6204), Px(5496));
    buildControls();
    load();
}

void Form2::buildControls()
{
    Label6[1] = RivalChant(this, kOrnamentAmber, TwipsRect(3000, 0, 4092, 5532));
    Label6[0] = HeroChant(this, kOrnamentAmber, TwipsRect(0, 0, 3012, 5532));

    // The frame shows the window's colour through, so the board's labels sit
    // on rust like the rest.
    Frame1 = ScoreBoardFrame(this, TwipsRect(120, 120, 6012, 1332), kRust);

    BuildDesign(*this, Frame1, kScoreBoard);
    // The figures are the game's; what a player might type here counts for
    // nothing, so the boxes do not pretend otherwise.
    for (QLineEdit *box : {Text2[3], Text2[4], Text2[5], Text2[6], Text2[7], Text3}) {
        box->setFrame(false);
        box->setMaxLength(std::numeric_limits<int>::max());
        box->setReadOnly(true);
    }

    BuildDesign(*this, this, kResult);
    Label4->setFrameStyle(QFrame::Box | QFrame::Plain);
    Text1->setReadOnly(true);
    Label7->setFrameStyle(QFrame::Box | QFrame::Plain);
    Text6->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text6->setReadOnly(true);
    // The window's rust would otherwise show through the scroll bar's track.
    Text6->setPalette(QPalette());

    // No default button, and the focus away from OK: an Enter or a Space
    // still typed as the game ends (Enter judges a training line) must not
    // close the result, nor the next one register an empty name on the
    // board. Those keys land in the read-only record and do nothing.
    Command1->setAutoDefault(false);
    Text6->setFocus();
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
}

void Form2::load()
{
    QString record = result_.echoRecord;
    record.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text6->setPlainText(record);
    const QString *figures[] = {&result_.judgedText, &result_.correctText, &result_.accuracyText,
                                &result_.speedText, &result_.peakText};
    for (int i = 3; i <= 7; ++i) {
        Text2[i]->setText(*figures[i - 3]);
        Text2[i]->setCursorPosition(0);
    }
    Text3->setText(result_.scoreText);
    Text3->setCursorPosition(0);

    const RankRow &row = RankRowFor(result_.rankIndex);
    Text1->setText(row.title);
    Text1->setCursorPosition(0);
    Label7->setText(row.comment);
}

void Form2::done(int result)
{
    // A close arriving while the board is up (the program shutting down)
    // leaves the rest to the close already under way.
    if (closing_)
        return;
    closing_ = true;
    openScoreBoard();
    QDialog::done(result);
}

void Form2::openScoreBoard()
{
    Form3 board(m_, &result_, dialogs_, this);
    board.setSharedRanking(ranking_);
    board.exec();
}

}  // namespace typetoki
