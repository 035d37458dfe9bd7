#include "ui/form3.h"

#include "persistence/datafolder.h"
#include "persistence/sharedranking.h"
#include "ui/layout.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <limits>

namespace typetoki {

namespace {

constexpr int kEntryGreen = 0x004000;
constexpr Rgb kOrnamentGrey = MakeRgb(224, 224, 224);

// The six columns left to right, where each sits and what it shows.
struct ColumnPlace {
    Form3::Column Form3::*boxes;
    int field;
    int left, width;
    Qt::Alignment align;
};
const ColumnPlace kColumns[] = {
    {&Form3::Text1, kPlayerName, 480, 1812, kLeft},
    {&Form3::Text2, kPoints, 2280, 972, kRight},
    {&Form3::Text5, kCorrectChars, 3240, 972, kRight},
    {&Form3::Text3, kCharsPerSecond, 4200, 972, kRight},
    {&Form3::Text4, kAccuracy, 5160, 972, kRight},
    {&Form3::Text6, kPlayedAt, 6120, 1812, kLeft},
};

// What each header button ranks by, and the colour it marks its column in.
struct SortKey {
    QPushButton *Form3::*button;
    int field;
    Form3::Column Form3::*boxes;
    int highlight;
};
const SortKey kSorts[] = {
    {&Form3::Command1, kPoints, &Form3::Text2, kYellow},
    {&Form3::Command4, kCorrectChars, &Form3::Text5, kCyan},
    {&Form3::Command2, kCharsPerSecond, &Form3::Text3, kGreen},
    {&Form3::Command3, kAccuracy, &Form3::Text4, kRed},
};

const SortKey &SortOf(int field)
{
    for (const SortKey &s : kSorts) {
        if (s.field == field)
            return s;
    }
    return kSorts[0];
}

// The title and the filters: mode, time limit and sort column, each a black
// box with its buttons to the right (made from the mode table and the time
// limits).
const Designed<Form3> kTitleAndFilters[] = {
    {ControlOf<&Form3::Label1>,
     {240, 120, 6372, 252, "ハイスコアァァァァ\u3000\u3000\uFF5Eこの点数こそ正義だぁぁぁぁ", kNoColor, kNoColor,
      kLeft, 12, true}},
    {ControlOf<&Form3::Text9>, {480, 600, 1212, 264, "雷堂剛助", kRed, kBlack, Qt::AlignCenter}},
    {ControlOf<&Form3::Text8>, {480, 960, 1212, 264, "60秒", kGreen, kBlack, Qt::AlignCenter}},
    {ControlOf<&Form3::Text7>, {480, 1320, 1212, 264, "得点", kYellow, kBlack, Qt::AlignCenter}},
};

constexpr int kOptionFrameLeft = 5880;
const Designed<Form3> kOptionFrame[] = {
    {ControlOf<&Form3::Frame1>, {kOptionFrameLeft, 480, 2172, 852, "種別表示を"}},
};
// Within Frame1.
const Designed<Form3> kOptions[] = {
    {ControlOf<&Form3::Option1>, {120, 240, 1932, 252, "黒抜きするぅぅぅ"}},
    {ControlOf<&Form3::Option2>, {120, 480, 1932, 252, "黒抜きしないｨｨｨ"}},
};

// Beside Frame1, only with boards shared on a server.
constexpr int kSharedFrameWidth = 1452;
const Designed<Form3> kSharedFrame[] = {
    {ControlOf<&Form3::Frame2>, {kOptionFrameLeft + 2172 + 120, 480, kSharedFrameWidth - 120, 852, "ランキング"}},
};
const Designed<Form3> kSharedOptions[] = {
    {ControlOf<&Form3::Option3>, {120, 240, 1152, 252, "この PC"}},
    {ControlOf<&Form3::Option4>, {120, 480, 1152, 252, "みんな"}},
};

// The column headers: two labels and the four sort buttons.
const Designed<Form3> kHeaders[] = {
    {ControlOf<&Form3::Label2>, {600, 1800, 1332, 252, "名前", kNoColor, kNoColor, Qt::AlignCenter}},
    {ControlOf<&Form3::Label4>, {6600, 1800, 972, 252, "日付", kNoColor, kNoColor, Qt::AlignCenter}},
    {ControlOf<&Form3::Command1>, {2280, 1680, 972, 372, "得点"}},
    {ControlOf<&Form3::Command4>, {3240, 1680, 972, 372, "正解字数"}},
    {ControlOf<&Form3::Command2>, {4200, 1680, 972, 372, "秒速"}},
    {ControlOf<&Form3::Command3>, {5160, 1680, 972, 372, "正解率"}},
};

// Below the entry row.
const Designed<Form3> kFoot[] = {
    {ControlOf<&Form3::Label5>, {600, 5640, 1692, 252, "あなたの名前は？", kNoColor, kNoColor, kLeft}},
    {ControlOf<&Form3::Command5>, {6720, 6240, 1092, 372, "OK"}},
};

// A box of the board: no frame, and room for any text a file holds.
QLineEdit *BoardBox(QLineEdit *box)
{
    box->setFrame(false);
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

void SetText(QLineEdit *box, const QString &text)
{
    box->setText(text);
    box->setCursorPosition(0);  // the start of a long name or date
}

}  // namespace

QString PlayedAtText(const QDateTime &when)
{
    const QLocale locale = QLocale::system();
    // Short time forms drop the seconds, which told apart two results
    // registered within the same minute.
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    if (!timeFormat.contains(u's')) {
        const qsizetype minutes = timeFormat.lastIndexOf(QLatin1String("mm"));
        if (minutes >= 0)
            timeFormat.insert(minutes + 2, QLatin1String(":ss"));
    }
    return locale.toString(when.date(), QLocale::ShortFormat) + QStringLiteral("  ")
           + locale.toString(when.time(), timeFormat);
}

Form3::Form3(Module1 &state, const GameResult *finished, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_(state), dialogs_(dialogs),
      mode_(PlayedMode(state.gameMode, state.romajiTyping))
{
    SetUpSizableDialog(this, QStringLiteral("ハイスコア"));
    resize(Px(8148), Px(6672));
    buildControls();
    load(finished);
}

void Form3::buildControls()
{
    Label6[2] = RivalChant(this, kOrnamentGrey, TwipsRect(3840, 0, 4332, 8172));
    Label6[0] = HeroChant(this, kOrnamentGrey, TwipsRect(0, 0, 3972, 8052));

    BuildDesign(*this, this, kTitleAndFilters);
    for (QLineEdit *box : {Text9, Text8, Text7})
        BoardBox(box);

    for (int i = 0; i < int(Command7.size()); ++i) {
        Command7[i] = new QPushButton(Text(kModes[i].boardButton), this);
        // A button past the four designed ones is narrowed to end where the
        // option frame begins.
        const int left = 1920 + 840 * i;
        ApplyDesign(Command7[i], {left, 480, std::min(852, kOptionFrameLeft - left), 372, nullptr});
        connect(Command7[i], &QPushButton::clicked, this, [this, i] { Command7_Click(i); });
    }
    for (int i = 0; i < int(Command6.size()); ++i) {
        Command6[i] = new QPushButton(TimeLimitText(kTimeLimits[i]), this);
        ApplyDesign(Command6[i], {1800 + 600 * i, 960, 612, 372, nullptr});
        connect(Command6[i], &QPushButton::clicked, this, [this, i] { Command6_Click(i); });
    }

    BuildDesign(*this, this, kOptionFrame);
    BuildDesign(*this, Frame1, kOptions);
    Option1->setChecked(true);
    connect(Option2, &QRadioButton::clicked, this, &Form3::Option2_Click);

    BuildDesign(*this, this, kHeaders);
    for (const SortKey &s : kSorts) {
        const int field = s.field;
        connect(this->*(s.button), &QPushButton::clicked, this,
                [this, field] { SortButton_Click(field); });
    }

    // The ten places and the entry row.
    for (int k = 0; k < kPlaces; ++k) {
        Label3[k] = new QLabel(QString::number(k + 1), this);
        ApplyDesign(Label3[k], {120, 2040 + 360 * k, 252, 252, nullptr, kNoColor, kNoColor, kRight});
    }
    for (const ColumnPlace &c : kColumns) {
        Column &column = this->*(c.boxes);
        for (int k = 0; k <= kEntryRow; ++k) {
            const int top = k == kEntryRow ? 5880 : 2040 + 360 * k;
            column[k] = BoardBox(new QLineEdit(this));
            ApplyDesign(column[k], {c.left, top, c.width, 264, "", kNoColor, kNoColor, c.align});
        }
        SetColors(column[kEntryRow], kYellow, kEntryGreen);
    }
    Text1[kEntryRow]->setFrame(true);
    fitDateColumn();

    BuildDesign(*this, this, kFoot);
    connect(Command5, &QPushButton::clicked, this, &Form3::Command5_Click);

    // Enter in any box presses OK and nothing else: a focused filter button
    // must not take over the default.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);
    Command5->setDefault(true);

    // The name box comes first in the tab order, then the other entry boxes.
    setTabOrder(Text1[kEntryRow], Text2[kEntryRow]);
    setTabOrder(Text2[kEntryRow], Text5[kEntryRow]);
    setTabOrder(Text5[kEntryRow], Text3[kEntryRow]);
    setTabOrder(Text3[kEntryRow], Text4[kEntryRow]);
    setTabOrder(Text4[kEntryRow], Text6[kEntryRow]);
    setTabOrder(Text6[kEntryRow], Command5);
    Text1[kEntryRow]->setFocus();
}

void Form3::fitDateColumn()
{
    // The designed column holds a Japanese date in the narrow system font it
    // was drawn with; a wider font or a longer date form gets the room it
    // needs, and the window grows by as much, keeping its margin.
    const QDateTime widest(QDate(2000, 12, 28), QTime(23, 58, 58));
    const int needed = Text6[0]->fontMetrics().horizontalAdvance(PlayedAtText(widest)) + 8;
    const int extra = needed - Text6[0]->width();
    if (extra <= 0)
        return;
    for (QLineEdit *box : Text6)
        box->resize(needed, box->height());
    resize(width() + extra, height());
}

void Form3::load(const GameResult *finished)
{
    if (m_.scoreBoardFlag == 1 && finished) {
        SetText(Text2[kEntryRow], finished->scoreText);
        SetText(Text3[kEntryRow], finished->speedText);
        SetText(Text5[kEntryRow], finished->correctText);
        SetText(Text4[kEntryRow], finished->accuracyText);
        // The board dates a result by the moment it opens on it.
        SetText(Text6[kEntryRow], PlayedAtText(QDateTime::currentDateTime()));
    }
    // The game's own length, also an hour as 3600秒, unlike the buttons.
    Text8->setText(QString::number(m_.timeLimitSeconds) + u'秒');
    if (const ModeRow *row = RowOf(mode_)) {
        Text9->setText(Text(row->boardTitle));
        SetColors(Text9, int(row->color), kBlack);
    }
    filterTime_ = m_.timeLimitSeconds;
    filterMode_ = mode_;
    sortColumn_ = kPoints;
    scores_.LoadScores(ScoresPathToRead(m_));
    ListGroup(kPoints, mode_, m_.timeLimitSeconds);
}

void Form3::ClearBoard()
{
    for (const ColumnPlace &c : kColumns) {
        Column &column = this->*(c.boxes);
        for (int k = 0; k < kPlaces; ++k)
            column[k]->clear();
    }
    if (ranking_) {
        for (int k = 0; k < kPlaces; ++k) {
            QFont font = Text1[k]->font();
            font.setBold(false);
            Text1[k]->setFont(font);
        }
    }
}

void Form3::ShowTopTen(int field, GameMode mode, int timeLimit)
{
    const std::vector<int> rows = scores_.SelectTopTen(field, int(mode), timeLimit);
    for (int k = 0; k < int(rows.size()) && k < kPlaces; ++k) {
        const ScoreRecord &record = scores_.row(rows[k]);
        for (const ColumnPlace &c : kColumns)
            SetText((this->*(c.boxes))[k], record.fields[c.field]);
    }
}

void Form3::SortButton_Click(int field)
{
    const SortKey &chosen = SortOf(field);
    for (const SortKey &s : kSorts) {
        Column &column = this->*(s.boxes);
        const bool highlight = &s == &chosen && Option1->isChecked();
        for (int k = 0; k < kPlaces; ++k)
            SetColors(column[k], highlight ? s.highlight : kBlack, highlight ? kBlack : kWhite);
    }
    Text7->setText((this->*(chosen.button))->text());
    SetColors(Text7, chosen.highlight, kNoColor);
    sortColumn_ = std::int16_t(chosen.field);
    ClearBoard();
    ListGroup(sortColumn_, filterMode_, filterTime_);
}

void Form3::Command6_Click(int index)
{
    if (m_.scoreBoardFlag != 0) {
        dialogs_.beep();
        return;
    }
    filterTime_ = std::int16_t(kTimeLimits[index]);
    Text8->setText(TimeLimitText(filterTime_));
    ClearBoard();
    ListGroup(kPoints, filterMode_, filterTime_);
}

void Form3::Command7_Click(int index)
{
    if (m_.scoreBoardFlag != 0) {
        dialogs_.beep();
        return;
    }
    const ModeRow &row = kModes[index];
    filterMode_ = row.mode;
    Text9->setText(Text(row.boardFilterTitle));
    SetColors(Text9, int(row.color), kNoColor);
    ClearBoard();
    ListGroup(kPoints, filterMode_, filterTime_);
}

void Form3::Option2_Click()
{
    if (!Option2->isChecked())
        return;
    for (const SortKey &s : kSorts) {
        for (int k = 0; k < kPlaces; ++k)
            SetColors((this->*(s.boxes))[k], kBlack, kWhite);
    }
}

void Form3::Command5_Click()
{
    if (m_.scoreBoardFlag == 1)
        AddPendingResult();
}

void Form3::AddPendingResult()
{
    ScoreRecord record;
    record.fields[kPlayerName] = Text1[kEntryRow]->text();
    record.fields[kPoints] = Text2[kEntryRow]->text();
    record.fields[kCorrectChars] = Text5[kEntryRow]->text();
    record.fields[kCharsPerSecond] = Text3[kEntryRow]->text();
    record.fields[kAccuracy] = Text4[kEntryRow]->text();
    record.fields[kPlayedAt] = Text6[kEntryRow]->text();
    record.fields[kModeNumber] = QString::number(int(mode_));
    record.fields[kTimeLimit] = QString::number(m_.timeLimitSeconds);

    for (const ColumnPlace &c : kColumns)
        (this->*(c.boxes))[kEntryRow]->clear();
    m_.scoreBoardFlag = 0;

    QString folderProblem;
    const bool folderReady = MakeDataFolder(m_, &folderProblem);
    // Another copy of the game may have registered results since this board
    // opened: the file is read afresh under a lock and the record added to
    // it. Listed before the save prunes the table, so the new result shows
    // whenever it is among the ten best scores.
    QString reason;
    const auto list = [this] {
        if (!shared_)
            ListGroup(kPoints, mode_, m_.timeLimitSeconds);
    };
    const bool registered = scores_.Register(record, ScoresPath(m_), ScoresPathToRead(m_), list, &reason);
    if (registered && ranking_) {
        ranking_->Register(record);
        // Asked after the result was queued, so the answer holds it when the
        // server takes it.
        if (shared_)
            ListGroup(kPoints, mode_, m_.timeLimitSeconds);
    }
    if (!registered) {
        dialogs_.message(this, kApplicationTitle,
                         QStringLiteral("ハイスコアを保存できませんでした。\n")
                             + QDir::toNativeSeparators(ScoresPath(m_)) + QStringLiteral("\n\n")
                             + (folderReady ? reason : folderProblem),
                         Dialogs::Look::Warning);
    }
}

void Form3::ListGroup(int field, GameMode mode, int timeLimit)
{
    listed_ = {field, mode, timeLimit};
    if (shared_)
        AskServer();
    else if (scores_.scoreCount() > 0)
        ShowTopTen(field, mode, timeLimit);
}

void Form3::setSharedRanking(SharedRanking *ranking)
{
    if (!ranking || ranking_ || !ranking->settings().configured())
        return;
    ranking_ = ranking;
    BuildDesign(*this, this, kSharedFrame);
    BuildDesign(*this, Frame2, kSharedOptions);
    Option3->setChecked(true);
    Frame2->show();
    connect(Option4, &QRadioButton::toggled, this, &Form3::Option4_Click);
    resize(width() + Px(kSharedFrameWidth), height());
    connect(ranking, &SharedRanking::boardRead, this, &Form3::ServerAnswered, Qt::QueuedConnection);
}

void Form3::Option4_Click(bool shared)
{
    if (!ranking_ || shared == shared_)
        return;
    shared_ = shared;
    ClearBoard();
    if (!shared) {
        ticket_ = 0;
        setWindowTitle(QStringLiteral("ハイスコア"));
    }
    ListGroup(listed_.field, listed_.mode, listed_.timeLimit);
}

void Form3::AskServer()
{
    ClearBoard();
    // The last answer for this board, if any, until the server's new one.
    const auto last = ranking_->LastBoard(listed_.field, int(listed_.mode), listed_.timeLimit);
    if (last)
        ShowServerRows(*last);
    const quint64 ticket = ranking_->ReadBoard(listed_.field, int(listed_.mode), listed_.timeLimit);
    ticket_ = ticket;
    SetSharedCaption(QStringLiteral("読み込み中"));
    QTimer::singleShot(kServerWaitMs, this, [this, ticket, last = last.has_value()] {
        if (ticket_ == ticket)
            SetSharedCaption(last ? QStringLiteral("古い表示：サーバーの応答がありません")
                                  : QStringLiteral("サーバーの応答がありません"));
    });
}

void Form3::ServerAnswered(quint64 ticket)
{
    const auto board = ranking_->TakeBoard(ticket);
    if (!board || ticket != ticket_)
        return;  // an answer to a question the board no longer asks
    ticket_ = 0;
    if (!board->ok) {
        QString problem = RankingProblemText(board->problem);
        problem.chop(problem.endsWith(u'。') ? 1 : 0);
        SetSharedCaption(QStringLiteral("古い表示：") + problem);
        return;
    }
    ClearBoard();
    ShowServerRows(board->rows);
    SetSharedCaption(QString());
}

void Form3::ShowServerRows(const std::vector<ScoreRecord> &rows)
{
    for (int k = 0; k < int(rows.size()) && k < kPlaces; ++k) {
        for (const ColumnPlace &c : kColumns)
            SetText((this->*(c.boxes))[k], rows[k].fields[c.field]);
        // The player's own rows stand out by their name in bold.
        const bool own = !ranking_->settings().player.isEmpty()
                         && rows[k].fields[kPlayerName] == ranking_->settings().player;
        QFont font = Text1[k]->font();
        font.setBold(own);
        Text1[k]->setFont(font);
    }
}

void Form3::SetSharedCaption(const QString &state)
{
    const QString board = QStringLiteral("ハイスコア - みんな（") + ranking_->settings().group + u'）';
    setWindowTitle(state.isEmpty() ? board : board + QStringLiteral(" ") + state);
}

void Form3::done(int result)
{
    if (m_.scoreBoardFlag == 1)
        AddPendingResult();
    QDialog::done(result);
}

}  // namespace typetoki
