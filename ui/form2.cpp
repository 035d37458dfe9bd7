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

// The value boxes of the score board, inside Frame1.
struct Figure {
    int index;  // Text2 and Label2 index
    int labelLeft, labelTop, labelWidth;
    int boxLeft, boxTop;
    const char *caption;
};
const Figure kValues[] = {
    {3, 0, 240, 1092, 1200, 240, "入力文字数"},
    {4, 0, 480, 1092, 1200, 480, "正解文字数"},
    {5, 0, 840, 1092, 1200, 840, "文字正解率"},
    {6, 3720, 240, 1332, 5160, 240, "秒速[文字/秒]"},
    {7, 3720, 840, 1332, 5160, 840, "瞬間最大秒速"},
};

QLineEdit *ValueBox(QWidget *parent, QRect place)
{
    auto *box = new QLineEdit(parent);
    box->setGeometry(place);
    box->setFrame(false);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setMaxLength(std::numeric_limits<int>::max());
    // The figures are the game's; what a player might type here counts for
    // nothing, so the boxes do not pretend otherwise.
    box->setReadOnly(true);
    SetColors(box, kYellow, kBlack);
    return box;
}

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

    for (const Figure &v : kValues) {
        auto *label = new QLabel(QString::fromUtf8(v.caption), Frame1);
        label->setGeometry(TwipsRect(v.labelLeft, v.labelTop, v.labelWidth, 252));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        SetColors(label, kWhite, kNoColor);
        Label2[v.index] = label;
        Text2[v.index] = ValueBox(Frame1, TwipsRect(v.boxLeft, v.boxTop, 732, 264));
    }
    Label3 = new QLabel(QStringLiteral("得点"), Frame1);
    Label3->setGeometry(TwipsRect(2400, 240, 732, 372));
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label3->setFont(JapaneseFont(16.2));
    SetColors(Label3, kWhite, kNoColor);
    Text3 = ValueBox(Frame1, TwipsRect(2160, 720, 1452, 492));
    Text3->setFont(JapaneseFont(16.2));
    Text3->setText(QStringLiteral("0"));

    Label4 = new QLabel(QStringLiteral("あなたのレベル"), this);
    Label4->setGeometry(TwipsRect(240, 1680, 1932, 372));
    Label4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label4->setFrameStyle(QFrame::Box | QFrame::Plain);
    Label4->setFont(JapaneseFont(12));
    SetColors(Label4, kYellow, kBlack);

    Text1 = new QLineEdit(this);
    Text1->setGeometry(TwipsRect(2160, 1680, 3852, 372));
    Text1->setFont(JapaneseFont(12));
    Text1->setReadOnly(true);
    SetColors(Text1, kGreen, kBlack);

    Label7 = new QLabel(this);
    Label7->setGeometry(TwipsRect(240, 2040, 5772, 1092));
    Label7->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label7->setWordWrap(true);
    Label7->setFrameStyle(QFrame::Box | QFrame::Plain);
    Label7->setFont(JapaneseFont(12));
    SetColors(Label7, kWhite, kBlack);

    Label1 = new QLabel(QStringLiteral("入力履歴"), this);
    Label1->setGeometry(TwipsRect(1560, 3120, 2772, 372));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(JapaneseFont(16.2));
    SetColors(Label1, kCyan, kNoColor);

    Text6 = new QPlainTextEdit(this);
    Text6->setGeometry(TwipsRect(120, 3480, 6012, 1212));
    Text6->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text6->setReadOnly(true);
    // The window's rust would otherwise show through the scroll bar's track.
    Text6->setPalette(QPalette());

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setGeometry(TwipsRect(2160, 4800, 1692, 372));
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
    board.exec();
}

}  // namespace typetoki
