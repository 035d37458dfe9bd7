// The result screen and the high-score board on the offscreen platform: the
// grade of a game, the board's listing, filters and sorting, registering a
// result, and a whole game played on a fake clock through both windows to a
// record in the high-score file.
#include "engine/numbers.h"
#include "engine/rank.h"
#include "persistence/historystore.h"
#include "persistence/textfile.h"
#include "support/fakedialogs.h"
#include "support/fakes.h"
#include "support/text.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/form3.h"
#include "ui/frmhistory.h"
#include "ui/layout.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QXYSeries>
#include <QTimer>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

// ---- Helpers --------------------------------------------------------------------

QColor TextColour(QWidget *w) { return w->palette().color(QPalette::Text); }
QColor BaseColour(QWidget *w) { return w->palette().color(QPalette::Base); }

// A record line of tkscore.ini, fields 1 to 8 (the serial is added).
struct Line {
    QString name, points, correct, speed, accuracy, date;
    int mode, time;
};

void WriteScores(const QString &folder, const std::vector<Line> &lines)
{
    QStringList text;
    int serial = 0;
    for (const Line &l : lines) {
        text << QStringList{QString::number(++serial), l.name, l.points, l.correct, l.speed,
                            l.accuracy, l.date, QString::number(l.mode), QString::number(l.time)}
                    .join(u',');
    }
    ASSERT_TRUE(WriteTextLines(folder + "/tkscore.ini", text));
}

QStringList ReadScores(const QString &folder)
{
    return ReadTextLines(folder + "/tkscore.ini").value_or(QStringList{"<no file>"});
}

// The six boxes of one board row, left to right.
QStringList RowOf(Form3 &board, int k)
{
    return {board.Text1[k]->text(), board.Text2[k]->text(), board.Text5[k]->text(),
            board.Text3[k]->text(), board.Text4[k]->text(), board.Text6[k]->text()};
}

// The names in places 1 to 10, empty places included.
QStringList NamesListed(Form3 &board)
{
    QStringList names;
    for (int k = 0; k < Form3::kPlaces; ++k)
        names << board.Text1[k]->text();
    return names;
}

QStringList Padded(QStringList names)
{
    while (names.size() < Form3::kPlaces)
        names << QString();
    return names;
}

// A result screen that counts the boards it opens, and notes whether it was
// still on screen underneath.
class TestForm2 : public Form2 {
public:
    using Form2::Form2;
    int boardsOpened = 0;
    bool visibleUnderBoard = false;

protected:
    void openScoreBoard() override
    {
        ++boardsOpened;
        visibleUnderBoard = isVisible();
    }
};

// Everything a board needs: a program folder of its own, the game state and
// the result of a finished game.
struct Board {
    Board()
    {
        state.setProgramFolder(folder.path());
        state.gameMode = GameMode::Hero;
        state.timeLimitSeconds = 60;
    }
    // The figures a finished game ends with.
    void finishGame(const QString &score, const QString &hits, const QString &accuracy,
                    const QString &speed)
    {
        finished.scoreText = score;
        finished.correctText = hits;
        finished.accuracyText = accuracy;
        finished.speedText = speed;
        state.scoreBoardFlag = 1;
    }
    std::unique_ptr<Form3> open()
    {
        auto board = std::make_unique<Form3>(state, &finished, dialogs);
        board->show();
        return board;
    }

    QTemporaryDir folder;
    Module1 state;
    GameResult finished;
    // The beeps and messages the test hears instead of the player.
    FakeDialogs dialogs;
};

// Acts on modal windows as they come up: each step waits until a window of
// its kind is the active modal one. Nested exec() calls never hang a test:
// when no such window comes up in time the script gives up and hides every
// modal window, which ends its event loop.
class ModalScript {
public:
    template <class W>
    void then(std::function<void(W &)> step)
    {
        steps_.push_back({[](QWidget *w) { return qobject_cast<W *>(w) != nullptr; },
                          [step](QWidget *w) { step(*qobject_cast<W *>(w)); }});
    }
    // Starts watching; call right before the code that opens the first window.
    void start() { schedule(); }
    bool finished() const { return steps_.empty() && !timedOut_; }

private:
    struct Step {
        std::function<bool(QWidget *)> fits;
        std::function<void(QWidget *)> run;
    };
    void schedule()
    {
        // A poll still queued when the script goes goes with it.
        QTimer::singleShot(5, &alive_, [this] { poll(); });
    }
    void poll()
    {
        if (steps_.empty())
            return;
        QWidget *w = QApplication::activeModalWidget();
        if (w && steps_.front().fits(w)) {
            const Step step = steps_.front();
            steps_.pop_front();
            tries_ = 0;
            // Queued before the step runs: a step may open a window of its
            // own and wait inside it.
            schedule();
            step.run(w);
            return;
        }
        if (++tries_ > 1000) {
            timedOut_ = true;
            steps_.clear();
            while (QWidget *open = QApplication::activeModalWidget())
                open->hide();
            return;
        }
        schedule();
    }

    std::deque<Step> steps_;
    int tries_ = 0;
    bool timedOut_ = false;
    QObject alive_;
};

}  // namespace

// ---- Result screen --------------------------------------------------------------

namespace {

struct Result {
    Result()
    {
        state.gameMode = GameMode::Vs;
        state.timeLimitSeconds = 60;
        state.scoreBoardFlag = 1;
        game.gameMode = GameMode::Vs;
        game.timeLimitSeconds = 60;
        game.echoRecord = u"エヤエヤ非苦\r\n非苦エヤ"_qs;
        game.judgedText = "130";
        game.correctText = "120";
        game.accuracyText = "92.3";
        game.speedText = "2";
        game.peakText = "3.75";
        game.scoreText = "1234.56";
        Grade(game);
    }
    Module1 state;
    GameResult game;
};

}  // namespace

TEST(Form2, ShowsTheFinishedGameAndItsGrade)
{
    Result r;
    TestForm2 w(r.state, r.game);
    EXPECT_EQ(w.windowTitle(), u"結果発表"_qs);
    const QString figures[] = {"130", "120", "92.3", "2", "3.75"};
    for (int i = 3; i <= 7; ++i)
        EXPECT_EQ(w.Text2[i]->text(), figures[i - 3]) << i;
    EXPECT_EQ(w.Text3->text(), "1234.56");
    EXPECT_EQ(w.rankIndex(), 24);
    EXPECT_EQ(w.Text1->text(), u"雷堂剛次"_qs);
    EXPECT_EQ(w.Label7->text(), u"勝負は最後の一秒まで終わっちゃいないぜ！"_qs);
    EXPECT_EQ(w.Text6->toPlainText(), u"エヤエヤ非苦\n非苦エヤ"_qs);
    // The board, not the result screen, lowers the flag.
    EXPECT_EQ(r.state.scoreBoardFlag, 1);
}

TEST(Form2, LayoutAndColours)
{
    Result r;
    TestForm2 w(r.state, r.game);
    EXPECT_EQ(w.size(), QSize(Px(6204), Px(5496)));
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(192, 64, 0));
    struct Place {
        QWidget *widget;
        QRect twips;
        QColor text, back;  // invalid: not checked
        double points;
    };
    const QColor none;
    const Place places[] = {
        {w.Frame1, {120, 120, 6012, 1332}, QColor(255, 255, 255), none, 9},
        {w.Text2[3], {1200, 240, 732, 264}, QColor(255, 255, 0), QColor(0, 0, 0), 9},
        {w.Text2[6], {5160, 240, 732, 264}, QColor(255, 255, 0), QColor(0, 0, 0), 9},
        {w.Label2[7], {3720, 840, 1332, 252}, QColor(255, 255, 255), none, 9},
        {w.Text3, {2160, 720, 1452, 492}, QColor(255, 255, 0), QColor(0, 0, 0), 16.2},
        {w.Label4, {240, 1680, 1932, 372}, QColor(255, 255, 0), QColor(0, 0, 0), 12},
        {w.Text1, {2160, 1680, 3852, 372}, QColor(0, 255, 0), QColor(0, 0, 0), 12},
        {w.Label7, {240, 2040, 5772, 1092}, QColor(255, 255, 255), QColor(0, 0, 0), 12},
        {w.Label1, {1560, 3120, 2772, 372}, QColor(0, 255, 255), none, 16.2},
        {w.Text6, {120, 3480, 6012, 1212}, none, none, 9},
        {w.Command1, {2160, 4800, 1692, 372}, none, none, 9},
        {w.Label6[0], {0, 0, 3012, 5532}, QColor(255, 128, 0), none, 12},
        {w.Label6[1], {3000, 0, 4092, 5532}, QColor(255, 128, 0), none, 12},
    };
    for (const Place &p : places) {
        SCOPED_TRACE(p.widget->metaObject()->className());
        const QRect &t = p.twips;
        EXPECT_EQ(p.widget->geometry(), TwipsRect(t.x(), t.y(), t.width(), t.height()));
        if (p.text.isValid()) {
            EXPECT_EQ(p.widget->palette().color(p.widget->foregroundRole()), p.text);
        }
        if (p.back.isValid()) {
            EXPECT_EQ(p.widget->palette().color(p.widget->backgroundRole()), p.back);
        }
        EXPECT_DOUBLE_EQ(p.widget->font().pointSizeF(), p.points);
    }
    EXPECT_EQ(w.Label2[3]->text(), u"入力文字数"_qs);
    EXPECT_EQ(w.Label2[6]->text(), u"秒速[文字/秒]"_qs);
    EXPECT_EQ(w.Label4->text(), u"あなたのレベル"_qs);
    EXPECT_EQ(w.Label1->text(), u"入力履歴"_qs);
    EXPECT_TRUE(w.Label7->wordWrap());
    EXPECT_EQ(w.Label6[0]->text(), u"エヤ"_qs.repeated(400));
    EXPECT_EQ(w.Label6[1]->text(), u"非苦"_qs.repeated(344));
    EXPECT_EQ(w.Text6->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // The ornaments lie beneath everything else.
    const QObjectList &children = w.children();
    EXPECT_LT(children.indexOf(w.Label6[0]), children.indexOf(w.Frame1));
    EXPECT_LT(children.indexOf(w.Label6[1]), children.indexOf(w.Frame1));
}

TEST(Form2, NothingTypedAsTheGameEndsClosesTheResult)
{
    // Keys still typed in the last moment of play, most likely Enter in
    // training mode, reach the result screen wherever its focus is.
    struct Case {
        const char *what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    const Case cases[] = {
        {"Escape", Qt::Key_Escape, Qt::NoModifier},
        {"Enter", Qt::Key_Return, Qt::NoModifier},
        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier},
        {"Space", Qt::Key_Space, Qt::NoModifier},
        {"a letter", Qt::Key_E, Qt::NoModifier},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Result r;
        TestForm2 w(r.state, r.game);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_NE(focus, w.Command1);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(focus, c.key, c.modifiers);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.boardsOpened, 0);
        EXPECT_FALSE(w.Command1->isDefault());
        EXPECT_EQ(w.Text6->toPlainText(), u"エヤエヤ非苦\n非苦エヤ"_qs);
    }
}

TEST(Form2, EveryWayOfClosingShowsTheBoardOnceFirst)
{
    enum Route { OkButton, CloseBox };
    for (Route route : {OkButton, CloseBox}) {
        SCOPED_TRACE(int(route));
        Result r;
        TestForm2 w(r.state, r.game);
        w.show();
        switch (route) {
        case OkButton: QTest::mouseClick(w.Command1, Qt::LeftButton); break;
        case CloseBox: w.close(); break;
        }
        EXPECT_EQ(w.boardsOpened, 1);
        EXPECT_TRUE(w.visibleUnderBoard);
        EXPECT_FALSE(w.isVisible());
        // A second close of the same window opens nothing more.
        w.close();
        w.accept();
        EXPECT_EQ(w.boardsOpened, 1);
    }
}

// ---- High-score board: opening --------------------------------------------------

TEST(Form3, OpensOnTheCurrentSettingsWithNothingToRegister)
{
    struct Case {
        std::int16_t mode, seconds;
        QString modeText;
        QColor modeColour;
        QString timeText;
    };
    const Case cases[] = {
        {1, 60, u"雷堂剛介"_qs, QColor(255, 0, 0), u"60秒"_qs},
        {2, 10, u"ヴォルグ"_qs, QColor(255, 0, 255), u"10秒"_qs},
        {3, 180, u"雷堂剛介vs ヴォルグ"_qs, QColor(255, 128, 0), u"180秒"_qs},
        // An hour shows in seconds here, unlike on its filter button.
        {4, 3600, u"修行モード"_qs, QColor(255, 255, 0), u"3600秒"_qs},
        // A mode the board has no name for keeps the box as it was made.
        {7, 30, u"雷堂剛助"_qs, QColor(255, 0, 0), u"30秒"_qs},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        Board b;
        b.state.gameMode = GameMode(c.mode);
        b.state.timeLimitSeconds = c.seconds;
        auto board = b.open();
        EXPECT_EQ(board->windowTitle(), u"ハイスコア"_qs);
        EXPECT_EQ(board->Text9->text(), c.modeText);
        EXPECT_EQ(TextColour(board->Text9), c.modeColour);
        EXPECT_EQ(board->Text8->text(), c.timeText);
        EXPECT_EQ(board->filterMode(), GameMode(c.mode));
        EXPECT_EQ(board->filterTime(), c.seconds);
        EXPECT_EQ(board->sortColumn(), 2);
        EXPECT_EQ(board->Text7->text(), u"得点"_qs);
        EXPECT_EQ(TextColour(board->Text7), QColor(255, 255, 0));
        EXPECT_TRUE(board->Option1->isChecked());
        EXPECT_FALSE(board->Option2->isChecked());
        for (int k = 0; k <= Form3::kEntryRow; ++k)
            EXPECT_EQ(RowOf(*board, k).join(""), "") << k;
        // No column is highlighted until a sort button is pressed.
        for (auto *column : {&board->Text2, &board->Text3, &board->Text4, &board->Text5}) {
            for (int k = 0; k < Form3::kPlaces; ++k)
                EXPECT_NE(BaseColour((*column)[k]), QColor(0, 0, 0));
        }
        EXPECT_EQ(board->focusWidget(), board->Text1[Form3::kEntryRow]);
        EXPECT_TRUE(board->Command5->isDefault());

        // Nothing waits, so OK registers nothing and writes no file.
        QTest::mouseClick(board->Command5, Qt::LeftButton);
        board->close();
        EXPECT_EQ(board->scores().scoreCount(), 0);
        EXPECT_FALSE(QFile::exists(b.folder.path() + "/tkscore.ini"));
    }
}

TEST(Form3, LayoutCaptionsAndEntryRowColours)
{
    Board b;
    auto board = b.open();
    EXPECT_EQ(board->height(), Px(6672));
    struct Place {
        QWidget *widget;
        QRect twips;
        QString text;
    };
    Form3 &f = *board;
    const Place places[] = {
        {f.Label1, {240, 120, 6372, 252},
         u"ハイスコアァァァァ\u3000\u3000～この点数こそ正義だぁぁぁぁ"_qs},
        {f.Text9, {480, 600, 1212, 264}, u"雷堂剛介"_qs},
        {f.Command7[0], {1920, 480, 852, 372}, "Rexa"},
        {f.Command7[3], {4440, 480, 852, 372}, u"修行"_qs},
        {f.Text8, {480, 960, 1212, 264}, u"60秒"_qs},
        {f.Command6[0], {1800, 960, 612, 372}, u"10秒"_qs},
        {f.Command6[5], {4800, 960, 612, 372}, u"1時間"_qs},
        {f.Text7, {480, 1320, 1212, 264}, u"得点"_qs},
        {f.Frame1, {5880, 480, 2172, 852}, {}},
        {f.Label2, {600, 1800, 1332, 252}, u"名前"_qs},
        {f.Command1, {2280, 1680, 972, 372}, u"得点"_qs},
        {f.Command4, {3240, 1680, 972, 372}, u"正解字数"_qs},
        {f.Command2, {4200, 1680, 972, 372}, u"秒速"_qs},
        {f.Command3, {5160, 1680, 972, 372}, u"正解率"_qs},
        {f.Label4, {6600, 1800, 972, 252}, u"日付"_qs},
        {f.Label3[0], {120, 2040, 252, 252}, "1"},
        {f.Label3[9], {120, 5280, 252, 252}, "10"},
        {f.Text1[0], {480, 2040, 1812, 264}, {}},
        {f.Text2[9], {2280, 5280, 972, 264}, {}},
        {f.Text5[3], {3240, 3120, 972, 264}, {}},
        {f.Text3[3], {4200, 3120, 972, 264}, {}},
        {f.Text4[3], {5160, 3120, 972, 264}, {}},
        {f.Label5, {600, 5640, 1692, 252}, u"あなたの名前は？"_qs},
        {f.Text1[10], {480, 5880, 1812, 264}, {}},
        {f.Command5, {6720, 6240, 1092, 372}, "OK"},
        {f.Label6[0], {0, 0, 3972, 8052}, u"エヤ"_qs.repeated(400)},
        {f.Label6[2], {3840, 0, 4332, 8172}, u"非苦"_qs.repeated(344)},
    };
    for (const Place &p : places) {
        SCOPED_TRACE(p.text.toStdString());
        const QRect &t = p.twips;
        EXPECT_EQ(p.widget->geometry(), TwipsRect(t.x(), t.y(), t.width(), t.height()));
        if (auto *label = qobject_cast<QLabel *>(p.widget)) {
            EXPECT_EQ(label->text(), p.text);
        } else if (auto *button = qobject_cast<QPushButton *>(p.widget)) {
            EXPECT_EQ(button->text(), p.text);
        } else if (auto *box = qobject_cast<QLineEdit *>(p.widget); box && !p.text.isNull()) {
            EXPECT_EQ(box->text(), p.text);
        }
    }
    EXPECT_EQ(f.Frame1->title(), u"種別表示を"_qs);
    EXPECT_EQ(f.Option1->text(), u"黒抜きするぅぅぅ"_qs);
    EXPECT_EQ(f.Option2->text(), u"黒抜きしないｨｨｨ"_qs);
    EXPECT_TRUE(f.Label1->font().bold());
    EXPECT_DOUBLE_EQ(f.Label1->font().pointSizeF(), 12);
    EXPECT_EQ(f.Label6[0]->palette().color(QPalette::WindowText), QColor(224, 224, 224));
    // The entry row: dark green with yellow text; only the name box is framed.
    for (auto *column : {&f.Text1, &f.Text2, &f.Text5, &f.Text3, &f.Text4, &f.Text6}) {
        QLineEdit *entry = (*column)[Form3::kEntryRow];
        EXPECT_EQ(BaseColour(entry), QColor(0, 64, 0));
        EXPECT_EQ(TextColour(entry), QColor(255, 255, 0));
        EXPECT_EQ(entry->hasFrame(), column == &f.Text1);
        EXPECT_FALSE((*column)[0]->hasFrame());
    }
    for (auto *column : {&f.Text2, &f.Text5, &f.Text3, &f.Text4})
        EXPECT_EQ((*column)[0]->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    // The date column starts where designed and is at least as wide; a date
    // in this machine's form fits it, and the window's margin beside it
    // stays as designed.
    for (int k : {0, 9, Form3::kEntryRow}) {
        SCOPED_TRACE(k);
        QLineEdit *date = f.Text6[k];
        EXPECT_EQ(date->x(), Px(6120));
        EXPECT_EQ(date->y(), k == Form3::kEntryRow ? Px(5880) : Px(2040 + 360 * k));
        EXPECT_EQ(date->height(), Px(264));
        EXPECT_GE(date->width(), Px(1812));
        const QString text = PlayedAtText(QDateTime(QDate(2000, 12, 28), QTime(23, 59, 59)));
        EXPECT_LT(date->fontMetrics().horizontalAdvance(text), date->width() - 4);
        EXPECT_EQ(board->width() - (date->x() + date->width()), Px(8148) - Px(6120) - Px(1812));
    }
    // The header row lies below the filters, and the list below the header.
    EXPECT_LT(f.Command6[0]->geometry().bottom(), f.Command1->geometry().top());
    EXPECT_LT(f.Command1->geometry().top(), f.Text2[0]->geometry().top());
}

TEST(Form3, ListsTheTenBestScoresOfTheGroupInFileOrderAmongEquals)
{
    Board b;
    std::vector<Line> lines;
    // Twelve records of the group, two of them tied on 500, the rest spread;
    // the others are in groups of their own.
    const int scores[] = {300, 500, 900, 100, 500, 700, 200, 800, 50, 600, 400, 650};
    for (int i = 0; i < 12; ++i) {
        lines.push_back({QString(QChar(u'A' + i)), QString::number(scores[i]), "10", "1", "50",
                         "2000/11/12  13:45:10", 1, 60});
    }
    lines.push_back({"other mode", "5000", "10", "1", "50", "", 2, 60});
    lines.push_back({"other time", "5000", "10", "1", "50", "", 1, 30});
    lines.push_back({"no score", "0", "99", "9", "99", "", 1, 60});
    WriteScores(b.folder.path(), lines);

    auto board = b.open();
    EXPECT_EQ(NamesListed(*board), QStringList({"C", "H", "F", "L", "J", "B", "E", "K", "A", "G"}));
    EXPECT_EQ(RowOf(*board, 0), QStringList({"C", "900", "10", "1", "50", "2000/11/12  13:45:10"}));
    EXPECT_EQ(board->scores().scoreCount(), 15);
}

// ---- Sorting and filters --------------------------------------------------------

namespace {

// Seven records of hero, 60 s, whose order differs in every ranked field,
// and a few records of other groups.
std::vector<Line> SevenHeroGames()
{
    return {
        {"A", "700", "10", "1.5", "60", "d1", 1, 60}, {"B", "600", "70", "2.5", "90", "d2", 1, 60},
        {"C", "500", "30", "3.5", "70", "d3", 1, 60}, {"D", "400", "40", "0.5", "100", "d4", 1, 60},
        {"E", "300", "50", "4.5", "50", "d5", 1, 60}, {"F", "200", "60", "5.5", "80", "d6", 1, 60},
        {"G", "100", "20", "6.5", "95", "d7", 1, 60}, {"V", "300", "5", "1", "50", "d8", 2, 60},
        {"W1", "500", "5", "1", "50", "d9", 2, 30},   {"W2", "400", "5", "1", "50", "d10", 2, 30},
        {"H", "999", "5", "1", "50", "d11", 4, 3600},
    };
}

}  // namespace

TEST(Form3, SortButtonsListByTheirColumnAndHighlightIt)
{
    struct Case {
        QPushButton *Form3::*button;
        QString caption;
        int field;
        Form3::Column Form3::*column;
        QColor highlight;
        QStringList order;
    };
    const Case cases[] = {
        {&Form3::Command1, u"得点"_qs, 2, &Form3::Text2, QColor(255, 255, 0),
         {"A", "B", "C", "D", "E", "F", "G"}},
        {&Form3::Command2, u"秒速"_qs, 4, &Form3::Text3, QColor(0, 255, 0),
         {"G", "F", "E", "C", "B", "A", "D"}},
        {&Form3::Command3, u"正解率"_qs, 5, &Form3::Text4, QColor(255, 0, 0),
         {"D", "G", "B", "F", "C", "A", "E"}},
        {&Form3::Command4, u"正解字数"_qs, 3, &Form3::Text5, QColor(0, 255, 255),
         {"B", "F", "E", "D", "C", "G", "A"}},
    };
    const std::vector<Form3::Column Form3::*> ranked = {&Form3::Text2, &Form3::Text3,
                                                          &Form3::Text4, &Form3::Text5};
    Board b;
    WriteScores(b.folder.path(), SevenHeroGames());
    auto board = b.open();
    Form3 &f = *board;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.caption.toStdString());
        QTest::mouseClick(f.*(c.button), Qt::LeftButton);
        EXPECT_EQ(f.sortColumn(), c.field);
        EXPECT_EQ(f.Text7->text(), c.caption);
        EXPECT_EQ(TextColour(f.Text7), c.highlight);
        EXPECT_EQ(BaseColour(f.Text7), QColor(0, 0, 0));
        EXPECT_EQ(NamesListed(f), Padded(c.order));
        for (auto column : ranked) {
            const bool chosen = column == c.column;
            // Every place, listed or empty, takes the colours.
            for (int k = 0; k < Form3::kPlaces; ++k) {
                QLineEdit *box = (f.*column)[k];
                EXPECT_EQ(BaseColour(box), chosen ? QColor(0, 0, 0) : QColor(255, 255, 255));
                EXPECT_EQ(TextColour(box), chosen ? c.highlight : QColor(0, 0, 0));
            }
        }
        // The name and date columns are never recoloured.
        EXPECT_NE(BaseColour(f.Text1[0]), QColor(0, 0, 0));
        EXPECT_NE(BaseColour(f.Text6[0]), QColor(0, 0, 0));
    }
}

TEST(Form3, PlainColumnsWithTheSecondOption)
{
    Board b;
    WriteScores(b.folder.path(), SevenHeroGames());
    auto board = b.open();
    Form3 &f = *board;
    QTest::mouseClick(f.Command3, Qt::LeftButton);
    ASSERT_EQ(BaseColour(f.Text4[4]), QColor(0, 0, 0));

    // Choosing plain columns whitens them at once; the sort name keeps red.
    QTest::mouseClick(f.Option2, Qt::LeftButton);
    ASSERT_TRUE(f.Option2->isChecked());
    for (auto *column : {&f.Text2, &f.Text3, &f.Text4, &f.Text5}) {
        for (int k = 0; k < Form3::kPlaces; ++k) {
            EXPECT_EQ(BaseColour((*column)[k]), QColor(255, 255, 255));
            EXPECT_EQ(TextColour((*column)[k]), QColor(0, 0, 0));
        }
    }
    EXPECT_EQ(TextColour(f.Text7), QColor(255, 0, 0));
    // A sort now lists by its column without highlighting it.
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    EXPECT_EQ(NamesListed(f), Padded({"G", "F", "E", "C", "B", "A", "D"}));
    EXPECT_EQ(BaseColour(f.Text3[0]), QColor(255, 255, 255));

    // Back to the first option: nothing changes until the next sort.
    QTest::mouseClick(f.Option1, Qt::LeftButton);
    EXPECT_EQ(BaseColour(f.Text3[0]), QColor(255, 255, 255));
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    EXPECT_EQ(BaseColour(f.Text3[0]), QColor(0, 0, 0));
    EXPECT_EQ(TextColour(f.Text3[0]), QColor(0, 255, 0));
}

TEST(Form3, AFilterChangeListsByScoreAndKeepsTheSortName)
{
    Board b;
    WriteScores(b.folder.path(), SevenHeroGames());
    auto board = b.open();
    Form3 &f = *board;
    QTest::mouseClick(f.Command3, Qt::LeftButton);  // by accuracy

    struct Step {
        QPushButton *button;
        std::int16_t mode, seconds;
        QString modeText, timeText;
        QColor modeColour;
        QStringList listed;
    };
    const Step steps[] = {
        {f.Command7[1], 2, 60, u"ヴォルグ"_qs, u"60秒"_qs, QColor(255, 0, 255), {"V"}},
        {f.Command6[1], 2, 30, u"ヴォルグ"_qs, u"30秒"_qs, QColor(255, 0, 255), {"W1", "W2"}},
        {f.Command7[2], 3, 30, u"Rexa vs ヴォルグ"_qs, u"30秒"_qs, QColor(255, 128, 0), {}},
        {f.Command7[3], 4, 30, u"修行モード"_qs, u"30秒"_qs, QColor(255, 255, 0), {}},
        {f.Command6[5], 4, 3600, u"修行モード"_qs, u"1時間"_qs, QColor(255, 255, 0), {"H"}},
        {f.Command6[2], 4, 60, u"修行モード"_qs, u"60秒"_qs, QColor(255, 255, 0), {}},
        {f.Command7[0], 1, 60, u"Rexa"_qs, u"60秒"_qs, QColor(255, 0, 0),
         {"A", "B", "C", "D", "E", "F", "G"}},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.button->text().toStdString());
        QTest::mouseClick(s.button, Qt::LeftButton);
        EXPECT_EQ(f.filterMode(), GameMode(s.mode));
        EXPECT_EQ(f.filterTime(), s.seconds);
        EXPECT_EQ(f.Text9->text(), s.modeText);
        EXPECT_EQ(TextColour(f.Text9), s.modeColour);
        EXPECT_EQ(f.Text8->text(), s.timeText);
        EXPECT_EQ(NamesListed(f), Padded(s.listed));
        EXPECT_EQ(f.Text7->text(), u"正解率"_qs);
        EXPECT_EQ(TextColour(f.Text7), QColor(255, 0, 0));
        EXPECT_EQ(f.sortColumn(), 5);
        // The accuracy column stays highlighted although the list is by score.
        EXPECT_EQ(BaseColour(f.Text4[0]), QColor(0, 0, 0));
    }
    EXPECT_EQ(b.dialogs.beeps, 0);
    // Only the filter changed: the sort buttons use it.
    QTest::mouseClick(f.Command4, Qt::LeftButton);
    EXPECT_EQ(NamesListed(f), Padded({"B", "F", "E", "D", "C", "G", "A"}));
}

// ---- Registering a result -------------------------------------------------------

TEST(Form3, TheEntryRowHoldsTheFinishedGame)
{
    Board b;
    b.finishGame("412.5", "150", "96.77", "2.5");
    const QDateTime before = QDateTime::currentDateTime();
    auto board = b.open();
    const QDateTime after = QDateTime::currentDateTime();
    const QStringList entry = RowOf(*board, Form3::kEntryRow);
    EXPECT_EQ(entry.mid(0, 5), QStringList({"", "412.5", "150", "2.5", "96.77"}));
    EXPECT_TRUE(entry[5] == PlayedAtText(before) || entry[5] == PlayedAtText(after)) << entry[5].toStdString();
    EXPECT_EQ(board->focusWidget(), board->Text1[Form3::kEntryRow]);
}

TEST(Form3, TheDateKeepsItsSeconds)
{
    const QDate day(2000, 11, 12);
    const QString a = PlayedAtText(QDateTime(day, QTime(13, 45, 10)));
    const QString b = PlayedAtText(QDateTime(day, QTime(13, 45, 59)));
    EXPECT_NE(a, b);
    EXPECT_TRUE(a.contains("10")) << a.toStdString();
    EXPECT_TRUE(a.contains("45")) << a.toStdString();
    EXPECT_TRUE(a.startsWith(QLocale::system().toString(day, QLocale::ShortFormat) + "  "))
        << a.toStdString();
}

TEST(Form3, OkRegistersOnceThenTheBoardBrowses)
{
    Board b;
    WriteScores(b.folder.path(), SevenHeroGames());
    b.finishGame("650", "150", "96.77", "2.5");
    auto board = b.open();
    Form3 &f = *board;
    const QString date = f.Text6[Form3::kEntryRow]->text();
    QTest::keyClicks(f.Text1[Form3::kEntryRow], "Rexa");
    // The player may change a figure too; what stands in the box is stored.
    f.Text5[Form3::kEntryRow]->setText("151");
    QTest::mouseClick(f.Command5, Qt::LeftButton);

    EXPECT_EQ(b.state.scoreBoardFlag, 0);
    EXPECT_EQ(RowOf(f, Form3::kEntryRow).join(""), "");
    EXPECT_EQ(NamesListed(f), Padded({"A", "Rexa", "B", "C", "D", "E", "F", "G"}));
    EXPECT_EQ(RowOf(f, 1), QStringList({"Rexa", "650", "151", "2.5", "96.77", date}));
    const QStringList file = ReadScores(b.folder.path());
    ASSERT_EQ(file.size(), 12);
    EXPECT_EQ(file.last(), "12,Rexa,650,151,2.5,96.77," + date + ",1,60");

    // A second OK has nothing left to register.
    QTest::mouseClick(f.Command5, Qt::LeftButton);
    board->close();
    EXPECT_EQ(ReadScores(b.folder.path()), file);
    EXPECT_EQ(b.dialogs.texts(), QStringList());
}

TEST(Form3, TwoBoardsOpenAtOnceKeepBothResults)
{
    // Two copies of the game in one folder, each with a result waiting: the
    // second registration must not write back the table its board read
    // before the first one was saved.
    Board b;
    WriteScores(b.folder.path(), SevenHeroGames());
    b.finishGame("650", "150", "96.77", "2.5");
    auto first = b.open();
    auto second = b.open();
    QTest::keyClicks(first->Text1[Form3::kEntryRow], "One");
    QTest::mouseClick(first->Command5, Qt::LeftButton);
    b.state.scoreBoardFlag = 1;  // the other copy's own result waits too
    QTest::keyClicks(second->Text1[Form3::kEntryRow], "Two");
    QTest::mouseClick(second->Command5, Qt::LeftButton);

    const QStringList file = ReadScores(b.folder.path());
    ASSERT_EQ(file.size(), 13);
    EXPECT_TRUE(file[11].startsWith("12,One,650,")) << file[11].toStdString();
    EXPECT_TRUE(file[12].startsWith("13,Two,650,")) << file[12].toStdString();
    // The second board lists what the file now holds.
    EXPECT_EQ(NamesListed(*second).mid(0, 3), QStringList({"A", "One", "Two"}));
    EXPECT_EQ(b.dialogs.texts(), QStringList());
}

TEST(Form3, TheCloseBoxRegistersAnEmptyName)
{
    Board b;
    b.state.gameMode = GameMode::Rival;
    b.state.timeLimitSeconds = 30;
    b.finishGame("87.5", "40", "100", "1.33");
    auto board = b.open();
    const QString date = board->Text6[Form3::kEntryRow]->text();
    board->close();
    EXPECT_FALSE(board->isVisible());
    EXPECT_EQ(b.state.scoreBoardFlag, 0);
    EXPECT_EQ(ReadScores(b.folder.path()),
              QStringList({"1,,87.5,40,1.33,100," + date + ",2,30"}));
}

TEST(Form3, EscapeNeitherClosesNorRegisters)
{
    Board b;
    b.finishGame("87.5", "40", "100", "1.33");
    auto board = b.open();
    QTest::keyClicks(board->Text1[Form3::kEntryRow], "Vol");
    QTest::keyClick(board->Text1[Form3::kEntryRow], Qt::Key_Escape);
    EXPECT_TRUE(board->isVisible());
    EXPECT_EQ(b.state.scoreBoardFlag, 1);
    // Enter in the name box presses OK.
    QTest::keyClicks(board->Text1[Form3::kEntryRow], "g");
    QTest::keyClick(board->Text1[Form3::kEntryRow], Qt::Key_Return);
    EXPECT_EQ(b.state.scoreBoardFlag, 0);
    EXPECT_TRUE(board->isVisible());
    EXPECT_TRUE(ReadScores(b.folder.path()).value(0).startsWith("1,Volg,87.5,"));
}

TEST(Form3, FiltersOnlyBeepWhileAResultWaits)
{
    Board b;
    WriteScores(b.folder.path(), SevenHeroGames());
    b.finishGame("50", "20", "90", "0.33");
    auto board = b.open();
    Form3 &f = *board;
    std::vector<QPushButton *> filters(f.Command6.begin(), f.Command6.end());
    filters.insert(filters.end(), f.Command7.begin(), f.Command7.end());
    const QStringList listed = NamesListed(f);
    int expectedBeeps = 0;
    for (QPushButton *button : filters) {
        SCOPED_TRACE(button->text().toStdString());
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(b.dialogs.beeps, ++expectedBeeps);
        EXPECT_EQ(f.filterMode(), GameMode::Hero);
        EXPECT_EQ(f.filterTime(), 60);
        EXPECT_EQ(f.Text9->text(), u"雷堂剛介"_qs);
        EXPECT_EQ(f.Text8->text(), u"60秒"_qs);
        EXPECT_EQ(NamesListed(f), listed);
    }
    // Sorting works meanwhile, silently.
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    EXPECT_EQ(NamesListed(f), Padded({"G", "F", "E", "C", "B", "A", "D"}));
    EXPECT_EQ(b.dialogs.beeps, expectedBeeps);
    EXPECT_EQ(b.state.scoreBoardFlag, 1);

    // Once registered, the filters work.
    QTest::mouseClick(f.Command5, Qt::LeftButton);
    QTest::mouseClick(f.Command6[1], Qt::LeftButton);
    EXPECT_EQ(b.dialogs.beeps, expectedBeeps);
    EXPECT_EQ(f.filterTime(), 30);
}

TEST(Form3, TheListIsMadeBeforeTheSave)
{
    // Numbers as a hand-edited file holds them; the save writes them plainly.
    Board b;
    WriteScores(b.folder.path(), {{"old", "0150", "012", "1.50", "080", "d", 1, 60}});
    b.finishGame("200", "20", "90", "0.33");
    auto board = b.open();
    Form3 &f = *board;
    QTest::keyClicks(f.Text1[Form3::kEntryRow], "new");
    QTest::mouseClick(f.Command5, Qt::LeftButton);
    EXPECT_EQ(RowOf(f, 1).mid(0, 5), QStringList({"old", "0150", "012", "1.50", "080"}));
    EXPECT_EQ(ReadScores(b.folder.path()).value(0), "1,old,150,12,1.5,80,d,1,60");
    // The next listing comes from the saved table.
    QTest::mouseClick(f.Command1, Qt::LeftButton);
    EXPECT_EQ(RowOf(f, 1).mid(0, 5), QStringList({"old", "150", "12", "1.5", "80"}));
}

TEST(Form3, ANewResultTiedWithOlderOnesComesAfterThem)
{
    Board b;
    WriteScores(b.folder.path(), {{"X", "100", "1", "1", "1", "", 1, 60},
                                  {"Y", "200", "1", "1", "1", "", 1, 60},
                                  {"Z", "100", "1", "1", "1", "", 1, 60}});
    b.finishGame("100", "1", "1", "1");
    auto board = b.open();
    QTest::keyClicks(board->Text1[Form3::kEntryRow], "N");
    QTest::mouseClick(board->Command5, Qt::LeftButton);
    EXPECT_EQ(NamesListed(*board), Padded({"Y", "X", "Z", "N"}));
}

TEST(Form3, AZeroScoreIsStoredButNeverListedByScore)
{
    Board b;
    b.finishGame("0", "0", "0", "0");
    auto board = b.open();
    board->close();
    EXPECT_EQ(ReadScores(b.folder.path()).size(), 1);
    auto again = b.open();
    EXPECT_EQ(NamesListed(*again), Padded({}));
    EXPECT_EQ(again->scores().scoreCount(), 1);
}

TEST(Form3, NamesAreStoredWholeWithoutSplittingTheirRecord)
{
    Board b;
    b.finishGame("300", "30", "100", "1");
    {
        auto board = b.open();
        // A comma would split the record; a character Shift-JIS lacks must
        // not be lost either.
        board->Text1[Form3::kEntryRow]->setText(u"雷堂,剛助 😀"_qs);
        board->close();
    }
    const QStringList file = ReadScores(b.folder.path());
    ASSERT_EQ(file.size(), 1);
    EXPECT_EQ(file[0].split(u',').size(), 9);
    auto browse = b.open();
    EXPECT_EQ(browse->Text1[0]->text(), u"雷堂，剛助 😀"_qs);
    EXPECT_EQ(browse->Text2[0]->text(), "300");
}

TEST(Form3, ASaveThatFailsSaysSoAndKeepsTheList)
{
    enum Fault { MissingFolder, UnreadableFile };
    const QString reasons[] = {u"保存先のフォルダーがありません"_qs,
                               u"ファイルを読めなかったため、上書きすると中の記録が失われます"_qs};
    for (Fault fault : {MissingFolder, UnreadableFile}) {
        SCOPED_TRACE(int(fault));
        Board b;
        if (fault == MissingFolder) {
            b.state.setProgramFolder(b.folder.path() + "/gone");
        } else {
            // A folder where the file should be: it exists but reads as
            // nothing, so overwriting it could lose records.
            ASSERT_TRUE(QDir(b.folder.path()).mkdir("tkscore.ini"));
        }
        b.finishGame("300", "30", "100", "1");
        auto board = b.open();
        QTest::keyClicks(board->Text1[Form3::kEntryRow], "Rexa");
        QTest::mouseClick(board->Command5, Qt::LeftButton);
        ASSERT_EQ(b.dialogs.texts().size(), 1);
        const QString message = b.dialogs.texts()[0];
        EXPECT_TRUE(message.startsWith(u"ハイスコアを保存できませんでした。"_qs)) << message.toStdString();
        EXPECT_TRUE(message.contains("tkscore.ini"));
        // The reason follows the path, in Japanese.
        EXPECT_TRUE(message.section(u'\n', 3).startsWith(reasons[fault])) << message.toStdString();
        EXPECT_EQ(b.state.scoreBoardFlag, 0);
        EXPECT_EQ(RowOf(*board, 0).mid(0, 2), QStringList({"Rexa", "300"}));
        board->close();
        EXPECT_EQ(b.dialogs.texts().size(), 1);
    }
}

// ---- A whole game ---------------------------------------------------------------

TEST(WholeGame, ATenSecondHeroGameEndsInARegisteredRecord)
{
    Harness h;
    QTemporaryDir folder;
    h.state.setProgramFolder(folder.path());
    h.state.timeLimitSeconds = 10;
    h.world.startTicks([&h] { h.game.Timer1_Timer(); });

    QStringList resultFigures;
    QString resultTitle;
    QStringList entry;
    QStringList listed;
    ModalScript script;
    script.then<Form2>([&](Form2 &result) {
        for (int i = 3; i <= 7; ++i)
            resultFigures << result.Text2[i]->text();
        resultFigures << result.Text3->text();
        resultTitle = result.Text1->text();
        QTest::mouseClick(result.Command1, Qt::LeftButton);
    });
    script.then<Form3>([&](Form3 &board) {
        entry = RowOf(board, Form3::kEntryRow);
        QTest::keyClicks(board.Text1[Form3::kEntryRow], "Rexa");
        QTest::keyClick(board.Text1[Form3::kEntryRow], Qt::Key_Return);
        listed = RowOf(board, 0);
        board.close();
    });
    int resultScreens = 0;
    h.game.setEndOfGameHandler([&](const GameResult &game) {
        ++resultScreens;
        Form2 result(h.state, game);
        script.start();
        result.exec();
    });

    h.start();
    const double t0 = h.state.startTime;
    for (int i = 0; i < 24; ++i)
        h.world.at(t0 + 0.35 * i + 0.01, [&h] { h.type(h.box(Box::Text4).at(0)); });
    h.world.at(t0 + 8.9, [&h] { h.type(u'q'); });
    h.world.advance(12);

    ASSERT_TRUE(script.finished());
    EXPECT_EQ(resultScreens, 1);
    EXPECT_EQ(h.screen.messages, QStringList{u"終了！"_qs});
    EXPECT_EQ(h.state.scoreBoardFlag, 0);

    // The result screen showed what the main window held at the end.
    const QString score = h.box(Box::Text3);
    const QStringList mainWindow = {h.box(Box::Text2_3), h.box(Box::Text2_4), h.box(Box::Text2_5),
                                    h.box(Box::Text2_6), h.box(Box::Text2_7), score};
    EXPECT_EQ(resultFigures, mainWindow);
    EXPECT_EQ(h.box(Box::Text2_3), "25");
    EXPECT_EQ(h.box(Box::Text2_4), "24");
    EXPECT_EQ(h.box(Box::Text2_6), "2.4");  // hits over the whole 10 s
    EXPECT_GT(ReadNumber(score), 0);
    EXPECT_EQ(resultTitle, RankRowFor(RankIndex(ReadNumber(score), GameMode::Hero, 10)).title);

    // The board offered that result and registered it under the name typed.
    EXPECT_EQ(entry.mid(0, 5), QStringList({"", score, h.box(Box::Text2_4), h.box(Box::Text2_6),
                                            h.box(Box::Text2_5)}));
    EXPECT_EQ(listed, QStringList({"Rexa", score, h.box(Box::Text2_4), h.box(Box::Text2_6),
                                   h.box(Box::Text2_5), entry[5]}));
    EXPECT_EQ(ReadScores(folder.path()),
              QStringList({QStringList{"1", "Rexa", FormatNumber(ReadNumber(score)),
                                       h.box(Box::Text2_4), h.box(Box::Text2_6),
                                       h.box(Box::Text2_5), entry[5], "1", "10"}
                               .join(u',')}));
}

// Two games in the real main window, each through the result screen and the
// board, then the statistics window from the menu: both games are there, and
// on the board, also when the history cannot be written at all.
TEST(WholeGame, TwoGamesAreOnTheBoardAndInTheStatisticsWindow)
{
    for (const bool writable : {true, false}) {
        SCOPED_TRACE(writable ? "history written" : "history in a folder nobody may write");
        QTemporaryDir folder;
        Module1 state;
        state.setProgramFolder(folder.path());
        // /proc takes no new file, not even from root.
        HistoryStore history(writable ? state.dataFolder : QStringLiteral("/proc"));
        FakeWorld world;
        FakeDialogs dialogs;
        Form1 form(state, {world, world, world, world}, dialogs);
        form.Timer1->stop();  // ticks come from the fake world
        form.setHistoryStore(&history);
        form.show();
        state.timeLimitSeconds = 10;
        world.startTicks([&form] { form.game().Timer1_Timer(); });

        ModalScript script;
        for (const char *name : {"Rexa", "Volg"}) {
            script.then<Form2>([](Form2 &result) { QTest::mouseClick(result.Command1, Qt::LeftButton); });
            script.then<Form3>([name](Form3 &board) {
                QTest::keyClicks(board.Text1[Form3::kEntryRow], name);
                QTest::keyClick(board.Text1[Form3::kEntryRow], Qt::Key_Return);
                board.close();
            });
        }
        QStringList speeds, tableSpeeds, notes;
        int shownMode = 0, shownTime = 0;
        script.then<frmHistory>([&](frmHistory &window) {
            shownMode = window.gameMode();
            shownTime = window.timeLimitSeconds();
            for (int i = 0; i < window.speedSeries->count(); ++i)
                speeds << FormatNumber(window.speedSeries->at(i).y());
            window.tabs->setCurrentIndex(frmHistory::kGamesTab);
            const QAbstractItemModel *list = window.gamesView->model();
            for (int row = 0; row < list->rowCount(); ++row) {
                tableSpeeds << list->index(row, GamesModel::kSpeed).data().toString();
                notes << list->index(row, GamesModel::kNotes).data().toString();
            }
            window.close();
        });
        script.start();

        // 24 hits, then 10: 2.4 and 1 a second over the ten seconds.
        for (const int hits : {24, 10}) {
            QTest::mouseClick(form.Command2, Qt::LeftButton);
            ASSERT_EQ(state.gamePhase, kPlaying);
            for (int i = 0; i < hits; ++i)
                world.at(state.startTime + 0.35 * i + 0.01,
                         [&form] { QTest::keyClick(form.Text1, form.game().targetLine().at(0).toLatin1()); });
            world.advance(12);
        }
        form.MenuKiroku->trigger();

        ASSERT_TRUE(script.finished());
        EXPECT_EQ(shownMode, 1);
        EXPECT_EQ(shownTime, 10);
        EXPECT_EQ(speeds, QStringList({"2.4", "1"}));
        EXPECT_EQ(tableSpeeds, QStringList({"1", "2.4"}));  // the newest first
        const QString kept = writable ? QString() : U("未保存");
        EXPECT_EQ(notes, QStringList({kept, kept}));
        const QStringList scores = ReadScores(folder.path());
        ASSERT_EQ(scores.size(), 2);
        EXPECT_EQ(scores[0].section(u',', 1, 1), "Rexa");
        EXPECT_EQ(scores[1].section(u',', 1, 1), "Volg");
        // The end of each game, and once that the history is not written.
        const QStringList messages = dialogs.texts();
        EXPECT_EQ(messages.count(U("終了！")), 2);
        EXPECT_EQ(messages.size(), writable ? 2 : 3) << messages.join(u'\n').toStdString();
    }
}

TEST(Form3, RomajiGamesHaveTheirOwnGroupBehindAFifthModeButton)
{
    Board b;
    b.state.gameMode = GameMode::Training;
    b.state.romajiTyping = true;
    b.state.timeLimitSeconds = 30;
    b.finishGame("120.5", "80", "97.5", "2.66");
    auto board = b.open();
    Form3 &f = *board;
    // Opened on the romaji group, and registered into it.
    EXPECT_EQ(f.filterMode(), GameMode::Romaji);
    EXPECT_EQ(f.Text9->text(), u"ローマ字修行"_qs);
    QTest::keyClicks(f.Text1[Form3::kEntryRow], "Kana");
    QTest::mouseClick(f.Command5, Qt::LeftButton);
    const QString date = ReadScores(b.folder.path()).value(0).section(u',', 6, 6);
    EXPECT_EQ(ReadScores(b.folder.path()),
              QStringList({"1,Kana,120.5,80,2.66,97.5," + date + ",5,30"}));
    EXPECT_EQ(NamesListed(f).value(0), "Kana");

    // The button comes after 修行, whole and clear of the option frame.
    QPushButton *romaji = f.Command7.back();
    EXPECT_EQ(romaji->text(), u"ﾛｰﾏ字"_qs);
    EXPECT_GT(romaji->x(), f.Command7[3]->x());
    EXPECT_EQ(romaji->y(), f.Command7[3]->y());
    EXPECT_LE(romaji->geometry().right(), f.Frame1->geometry().left());
    EXPECT_LE(romaji->fontMetrics().horizontalAdvance(romaji->text()), romaji->width() - 6);

    // Training and romaji results are listed apart.
    QTest::mouseClick(f.Command7[3], Qt::LeftButton);
    EXPECT_EQ(f.filterMode(), GameMode::Training);
    EXPECT_EQ(NamesListed(f).value(0), "");
    QTest::mouseClick(romaji, Qt::LeftButton);
    EXPECT_EQ(f.filterMode(), GameMode::Romaji);
    EXPECT_EQ(NamesListed(f).value(0), "Kana");
}
