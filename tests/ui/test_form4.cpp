// The settings dialog on the offscreen platform, driven by real clicks and
// keys, with the file dialog and the message box replaced by doubles that
// answer from a script and take notes.
#include "engine/game.h"
#include "support/fakedialogs.h"
#include "support/fakes.h"
#include "support/text.h"
#include "ui/form4.h"
#include "ui/layout.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cfloat>
#include <deque>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

using namespace typetoki;
using namespace typetoki::testing;

// Failures show a place as x,y and its size.
inline void PrintTo(const QRect &r, std::ostream *os)
{
    *os << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
}

namespace {

const QString kTextFilter = QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|全てのﾌｧｲﾙ(*.*)|*.*");
const QString kSoundFilter = QStringLiteral("WAVﾌｧｲﾙ(*.wav)|*.wav|全てのﾌｧｲﾙ(*.*)|*.*");

Module1 GameState()
{
    Module1 state;
    state.setProgramFolder(QStringLiteral("/game"));
    state.trainingTextPath = QStringLiteral("/texts/kept.txt");
    state.heroSoundPath = QStringLiteral("/sounds/hero.wav");
    state.rivalSoundPath = QStringLiteral("/sounds/rival.wav");
    state.missSoundPath = QStringLiteral("/sounds/miss.wav");
    state.sliderValue = 0.2f;
    return state;
}

// What OK may write; a cancelled dialog must leave all of it alone.
struct Written {
    QString training, hero, rival, miss;
    float pause;
    std::int16_t seconds;
    bool operator==(const Written &) const = default;
};
Written WrittenOf(const Module1 &s)
{
    return {s.trainingTextPath, s.heroSoundPath, s.rivalSoundPath, s.missSoundPath,
            s.sliderValue, s.timeLimitSeconds};
}

// The dialog over a game state, with doubles for everything it reaches.
struct Dialog {
    explicit Dialog(Module1 initial = GameState()) : state(std::move(initial)) { form.show(); }

    void showPage(int n)
    {
        QTabBar *bar = form.TabStrip1->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(n - 1).center());
    }
    void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    void retype(QLineEdit *box, const QString &text)
    {
        box->setFocus();
        box->selectAll();
        if (text.isEmpty())
            QTest::keyClick(box, Qt::Key_Delete);
        // Key by key, also the Japanese ones QTest::keyClicks cannot send.
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    void ok() { click(form.Command1); }

    Module1 state;
    FakeScreen screen;
    FakeWorld world;
    FakeDialogs dialogs;
    Form4 form{state, screen, world, dialogs};
    // The file dialogs' answers in line, what they were shown, and the
    // message boxes.
    std::deque<FileDialogAnswer> &answers = dialogs.answers;
    QStringList &filters = dialogs.filters;
    QStringList &offered = dialogs.offered;
    std::vector<FakeDialogs::Message> &messages = dialogs.messages;
};

FileDialogAnswer Chosen(const QString &name) { return {FileDialogAnswer::Chosen, name}; }
const FileDialogAnswer kCancelled{FileDialogAnswer::Cancelled, {}};
const FileDialogAnswer kFailed{FileDialogAnswer::Failed, {}};

}  // namespace

TEST(Form4, LaysOutTheDesignInTwips)
{
    Dialog d;
    Form4 &f = d.form;
    struct Place {
        const char *name;
        QWidget *widget;
        QRect twips;
    };
    const Place places[] = {
        {"TabStrip1", f.TabStrip1, {120, 240, 4932, 2532}},
        {"Frame1(3)", f.Frame1[3], {240, 600, 4692, 2052}},
        {"Option1(5)", f.Option1[5], {3000, 1080, 1092, 252}},
        {"Text1", f.Text1, {120, 840, 3732, 372}},
        {"Label3(2)", f.Label3[2], {120, 1200, 972, 252}},
        {"Command7(2)", f.Command7[2], {3960, 1080, 612, 372}},
        {"Slider1(0)", f.Slider1[0], {2280, 600, 2292, 252}},
        {"Command6(2)", f.Command6[2], {2040, 1560, 852, 372}},
        {"Label11", f.Label11, {480, 1080, 3972, 732}},
        {"Command2", f.Command2, {2640, 2880, 1332, 372}},
        {"Label2", f.Label2, {2400, 3360, 2292, 372}},
    };
    for (const Place &p : places) {
        SCOPED_TRACE(p.name);
        const QRect &t = p.twips;
        EXPECT_EQ(p.widget->geometry(), TwipsRect(t.x(), t.y(), t.width(), t.height()));
    }
    // "180秒" is designed too low for its circle: it may grow, but about the
    // middle of its design box, so its caption lines up as designed.
    const QRect designed = TwipsRect(3000, 720, 1200, 180);
    EXPECT_EQ(f.Option1[4]->geometry().left(), designed.left());
    EXPECT_EQ(f.Option1[4]->geometry().width(), designed.width());
    EXPECT_GE(f.Option1[4]->height(),
              f.style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, nullptr, f.Option1[4]));
    EXPECT_NEAR(f.Option1[4]->geometry().center().y(), designed.center().y(), 1);

    EXPECT_EQ(f.size(), QSize(345, 258));
    EXPECT_EQ(f.windowTitle(), "ゲームの設定ｨｨｨｨ");

    // Every control of a page lies within its page, and every page within
    // the window.
    for (int n = 1; n <= 5; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(f.Frame1[n]->parentWidget(), &f);
        EXPECT_TRUE(f.rect().contains(f.Frame1[n]->geometry()));
        const auto children = f.Frame1[n]->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        EXPECT_FALSE(children.isEmpty());
        for (QWidget *child : children)
            EXPECT_TRUE(f.Frame1[n]->rect().contains(child->geometry()))
                << child->metaObject()->className() << " at " << child->geometry().x() << ","
                << child->geometry().y();
    }
    const QStringList captions = {"制限時間", "文章", "音声", "速度", "設定の保存"};
    ASSERT_EQ(f.TabStrip1->count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(f.TabStrip1->tabText(i), captions[i]);
}

TEST(Form4, OpensOnTheTimeLimitsOptionAndOkStoresItsSeconds)
{
    struct Case {
        std::int16_t opened;
        int option;
        std::int16_t stored;
    };
    const Case cases[] = {
        {10, 0, 10},   {30, 1, 30},     {60, 2, 60}, {120, 3, 120},
        {180, 4, 180}, {3600, 5, 3600}, {90, 2, 60},  // no option for 90: "60秒" stays
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.opened);
        Module1 state = GameState();
        state.timeLimitSeconds = c.opened;
        Dialog d(state);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(d.form.Option1[i]->isChecked(), i == c.option) << "option " << i;
        d.ok();
        EXPECT_EQ(d.form.result(), QDialog::Accepted);
        EXPECT_FALSE(d.form.isVisible());
        EXPECT_EQ(d.state.timeLimitSeconds, c.stored);
        EXPECT_EQ(d.screen.label4History, QStringList{QString::number(c.stored)});
    }
}

TEST(Form4, OpensWithThePauseOnTheSliderAndInTheBoxAndOkKeepsIt)
{
    struct Case {
        float pause;
        int position;
        const char *shown;
    };
    const Case cases[] = {
        {0.1f, 10, "0.1"},
        {0.15f, 15, "0.15"},
        {0.125f, 12, "0.125"},  // 12.5 rounds to the even 12
        {0.375f, 38, "0.375"},  // 37.5 rounds to the even 38
        {0.01f, 1, "0.01"},
        {0.7f, 50, "0.7"},    // beyond the slider: its end, the box keeps the value
        {-0.3f, 0, "-0.3"},   // below it: the other end
        {3.0e38f, 50, "3E+38"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.shown);
        Module1 state = GameState();
        state.sliderValue = c.pause;
        Dialog d(state);
        EXPECT_EQ(d.form.Slider1[0]->value(), c.position);
        EXPECT_EQ(d.form.Text3[0]->text(), c.shown);
        EXPECT_EQ(d.form.Text2[0]->text(), "/sounds/hero.wav");
        EXPECT_EQ(d.form.Text2[1]->text(), "/sounds/rival.wav");
        EXPECT_EQ(d.form.Text2[2]->text(), "/sounds/miss.wav");
        EXPECT_EQ(d.form.Text1->text(), "/texts/kept.txt");
        d.ok();
        EXPECT_EQ(d.state.sliderValue, c.pause);
    }
}

TEST(Form4, AZeroPauseBecomesTheShortestAtOnceAndStaysSoAfterCancel)
{
    Module1 state = GameState();
    state.sliderValue = 0;
    Dialog d(state);
    EXPECT_EQ(d.state.sliderValue, 0.01f);
    EXPECT_EQ(d.form.Slider1[0]->value(), 1);
    EXPECT_EQ(d.form.Text3[0]->text(), "0.01");
    d.click(d.form.Command2);
    EXPECT_EQ(d.state.sliderValue, 0.01f);

    // A box without a number stores 0, which the next opening turns round.
    Dialog again(d.state);
    again.showPage(4);
    again.retype(again.form.Text3[0], QStringLiteral("なし"));
    again.ok();
    EXPECT_EQ(again.state.sliderValue, 0.0f);
    Dialog third(again.state);
    EXPECT_EQ(third.state.sliderValue, 0.01f);
    EXPECT_EQ(third.form.Text3[0]->text(), "0.01");
}

TEST(Form4, MovingTheSliderWritesTheBoxThatOkStores)
{
    struct Case {
        const char *name;
        std::vector<Qt::Key> keys;
        int position;
        const char *shown;
        float stored;
    };
    const Case cases[] = {
        {"home", {Qt::Key_Home}, 0, "0.01", 0.01f},
        {"35", {Qt::Key_Home, Qt::Key_PageUp, Qt::Key_PageUp, Qt::Key_PageUp, Qt::Key_PageUp,
                Qt::Key_PageUp, Qt::Key_PageUp, Qt::Key_PageUp},
         35, "0.35", 0.35f},
        {"7", {Qt::Key_Home, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right,
               Qt::Key_Right, Qt::Key_Right, Qt::Key_Right},
         7, "0.07", 0.07f},
        {"10", {Qt::Key_Home, Qt::Key_PageUp, Qt::Key_PageUp}, 10, "0.1", 0.1f},
        {"end", {Qt::Key_End}, 50, "0.5", 0.5f},
        {"one down", {Qt::Key_Left}, 19, "0.19", 0.19f},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Dialog d;  // opens at 0.2
        d.showPage(4);
        for (Qt::Key key : c.keys)
            QTest::keyClick(d.form.Slider1[0], key);
        EXPECT_EQ(d.form.Slider1[0]->value(), c.position);
        EXPECT_EQ(d.form.Text3[0]->text(), c.shown);
        EXPECT_EQ(d.state.sliderValue, 0.2f) << "the game state waits for OK";
        d.ok();
        EXPECT_EQ(d.state.sliderValue, c.stored);
    }
}

TEST(Form4, ATypedPauseIsReadLenientlyAndLeavesTheSliderAlone)
{
    struct Case {
        const char *typed;
        float stored;
    };
    const Case cases[] = {
        {"0.5abc", 0.5f},
        {"abc", 0.0f},
        {"", 0.0f},
        {" 0 .3 s", 0.3f},  // blanks are skipped wherever they stand
        {"-0.2", -0.2f},     // kept as typed; the game waits for nothing
        {"2.5", 2.5f},       // beyond the slider, yet honoured
        {"1e39", FLT_MAX},   // too large for a single: the largest one
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        Dialog d;
        d.showPage(4);
        d.retype(d.form.Text3[0], QString::fromUtf8(c.typed));
        EXPECT_EQ(d.form.Text3[0]->text(), QString::fromUtf8(c.typed));
        EXPECT_EQ(d.form.Slider1[0]->value(), 20);
        d.ok();
        EXPECT_EQ(d.state.sliderValue, c.stored);
    }
}

TEST(Form4, ResetButtonsRefillTheirOwnPageOnly)
{
    struct Boxes {
        QString text1, hero, rival, miss, pause;
        int position;
        bool operator==(const Boxes &) const = default;
    };
    auto boxesOf = [](const Form4 &f) {
        return Boxes{f.Text1->text(),    f.Text2[0]->text(), f.Text2[1]->text(),
                     f.Text2[2]->text(), f.Text3[0]->text(), f.Slider1[0]->value()};
    };
    const Boxes typed{"a.txt", "b.wav", "c.wav", "d.wav", "0.45", 45};
    struct Case {
        int page, button;
        Boxes after;
    };
    const Case cases[] = {
        {2, 0, {"/game/test.txt", "b.wav", "c.wav", "d.wav", "0.45", 45}},
        {3, 1, {"a.txt", "/game/eya.wav", "/game/hiku.wav", "/game/ahh.wav", "0.45", 45}},
        {4, 2, {"a.txt", "b.wav", "c.wav", "d.wav", "0.2", 20}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.button);
        Module1 state = GameState();
        state.sliderValue = 0.45f;
        Dialog d(state);
        const Written before = WrittenOf(d.state);
        d.form.Text1->setText(typed.text1);
        d.form.Text2[0]->setText(typed.hero);
        d.form.Text2[1]->setText(typed.rival);
        d.form.Text2[2]->setText(typed.miss);
        ASSERT_EQ(boxesOf(d.form), typed);

        d.showPage(c.page);
        d.click(d.form.Command6[c.button]);
        EXPECT_EQ(boxesOf(d.form), c.after);
        EXPECT_EQ(WrittenOf(d.state), before) << "a reset touches the fields only";
        d.click(d.form.Command2);
        EXPECT_EQ(WrittenOf(d.state), before);
    }
}

TEST(Form4, CancelAndTheCloseBoxWriteNothing)
{
    struct Case {
        const char *name;
        std::function<void(Dialog &)> leave;
    };
    const Case cases[] = {
        {"cancel button", [](Dialog &d) { d.click(d.form.Command2); }},
        {"close box", [](Dialog &d) { d.form.close(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Dialog d;
        const Written before = WrittenOf(d.state);
        d.click(d.form.Option1[0]);
        d.showPage(2);
        d.retype(d.form.Text1, QStringLiteral("/other.txt"));
        d.showPage(3);
        d.retype(d.form.Text2[1], QStringLiteral("/other.wav"));
        d.showPage(4);
        QTest::keyClick(d.form.Slider1[0], Qt::Key_End);
        c.leave(d);
        EXPECT_FALSE(d.form.isVisible());
        EXPECT_EQ(d.form.result(), QDialog::Rejected);
        EXPECT_EQ(WrittenOf(d.state), before);
        EXPECT_TRUE(d.screen.label4History.isEmpty());
    }
}

TEST(Form4, EnterAndEscHaveNoMeaningOfTheirOwn)
{
    Dialog d;
    const Written before = WrittenOf(d.state);
    d.form.Option1[0]->setChecked(true);
    for (QWidget *focus : {static_cast<QWidget *>(d.form.Option1[0]),
                           static_cast<QWidget *>(d.form.Text1)}) {
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_Return);
        QTest::keyClick(focus, Qt::Key_Escape);
        EXPECT_TRUE(d.form.isVisible());
    }
    EXPECT_TRUE(d.offered.isEmpty()) << "no browse button was pressed";
    EXPECT_EQ(WrittenOf(d.state), before);

    // A button with the focus takes Enter as a click.
    d.form.Command1->setFocus();
    QTest::keyClick(d.form.Command1, Qt::Key_Return);
    EXPECT_FALSE(d.form.isVisible());
    EXPECT_EQ(d.state.timeLimitSeconds, 10);
}

TEST(Form4, BrowsingForTheTrainingTextTriesTheFile)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString readable = folder.filePath(QStringLiteral("kata.txt"));
    QFile file(readable);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("abc\r\n");
    file.close();
    const QString missing = folder.filePath(QStringLiteral("missing.txt"));

    struct Case {
        const char *name;
        FileDialogAnswer answer;
        bool complaint;
        QString text1;       // after the browse
        QString offeredNext; // the name the dialog offers next time
    };
    // Each case follows a browse that picked the readable file, so that a
    // remembered name is there to keep or to clear.
    const Case cases[] = {
        {"readable", Chosen(readable), false, readable, readable},
        {"missing", Chosen(missing), true, "", ""},
        {"a folder", Chosen(folder.path()), true, "", ""},
        {"dialog failed", kFailed, true, "", ""},
        {"cancelled", kCancelled, false, readable, readable},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Dialog d;
        d.showPage(2);
        d.answers = {Chosen(readable), c.answer, kCancelled};
        d.click(d.form.Command3);
        ASSERT_EQ(d.form.Text1->text(), readable);
        ASSERT_TRUE(d.messages.empty());

        d.click(d.form.Command3);
        EXPECT_EQ(d.form.Text1->text(), c.text1);
        if (c.complaint) {
            ASSERT_EQ(d.messages.size(), 1u);
            EXPECT_EQ(d.messages[0].title, "ひよわ！ひよわァァッ！");
            EXPECT_EQ(d.messages[0].text, kTrainingTextError);
        } else {
            EXPECT_TRUE(d.messages.empty());
        }
        d.click(d.form.Command3);
        EXPECT_EQ(d.offered, (QStringList{"", readable, c.offeredNext}));
        EXPECT_EQ(d.filters, (QStringList{kTextFilter, kTextFilter, kTextFilter}));

        // An emptied box stores an empty path; the loader falls back later.
        d.ok();
        EXPECT_EQ(d.state.trainingTextPath, c.text1);
    }
}

TEST(Form4, BrowsingForASoundTakesTheNameUntried)
{
    struct Case {
        const char *name;
        FileDialogAnswer answer;
        bool taken;
    };
    const Case cases[] = {
        {"missing file", Chosen(QStringLiteral("/nowhere/voice.wav")), true},
        {"dialog failed", kFailed, false},
        {"cancelled", kCancelled, false},
    };
    for (const Case &c : cases) {
        for (int row = 0; row < 3; ++row) {
            SCOPED_TRACE(::testing::Message() << c.name << ", row " << row);
            Dialog d;
            d.showPage(3);
            d.answers = {c.answer};
            QStringList before;
            for (QLineEdit *box : d.form.Text2)
                before << box->text();
            d.click(d.form.Command7[row]);

            QStringList expected = before;
            if (c.taken)
                expected[row] = c.answer.fileName;
            QStringList after;
            for (QLineEdit *box : d.form.Text2)
                after << box->text();
            EXPECT_EQ(after, expected);
            EXPECT_EQ(d.form.Text1->text(), "/texts/kept.txt");
            EXPECT_TRUE(d.messages.empty());
            EXPECT_EQ(d.filters, QStringList{kSoundFilter});
            EXPECT_EQ(d.form.rememberedFileName(), c.taken ? c.answer.fileName : QString());
        }
    }
}

TEST(Form4, PlayStopsTheCueAndPlaysTheBoxAsItStandsNow)
{
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        Dialog d;
        d.showPage(3);
        const QString typed = QStringLiteral("/elsewhere/try%1.wav").arg(row);
        d.retype(d.form.Text2[row], typed);
        d.click(d.form.Command5[row]);
        d.click(d.form.Command5[row]);
        EXPECT_EQ(d.world.sounds, (QStringList{"stop", "play " + typed, "stop", "play " + typed}));
        EXPECT_EQ(WrittenOf(d.state), WrittenOf(GameState()));
    }
}

TEST(Form4, PlayTellsWhyAFileCannotBePlayed)
{
    struct Case {
        SoundProblem problem;
        QString why;  // empty: no message
    };
    const Case cases[] = {
        {SoundProblem::None, {}},
        {SoundProblem::Missing, "ファイルが見つかりません。"},
        {SoundProblem::NotSound, "音声ファイルではないか、読めない形式です。"},
        {SoundProblem::TooLong, "音声が長すぎます。効果音は10秒（16MB）までです。"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why.toStdString());
        Dialog d;
        d.showPage(3);
        d.world.previewAnswer = c.problem;
        d.retype(d.form.Text2[1], "/sounds/こえ.wav");
        d.click(d.form.Command5[1]);
        EXPECT_EQ(d.world.sounds, (QStringList{"stop", "play /sounds/こえ.wav"}));
        if (c.why.isEmpty()) {
            EXPECT_TRUE(d.messages.empty());
            continue;
        }
        ASSERT_EQ(d.messages.size(), 1u);
        EXPECT_EQ(d.messages[0].title, "タイプ闘記");
        EXPECT_EQ(d.messages[0].text, c.why + "\n/sounds/こえ.wav");
    }
}

TEST(Form4, OkWritesTheBoxesAsTypedAndTheTimeLabel)
{
    Dialog d;
    d.click(d.form.Option1[3]);
    d.showPage(2);
    d.retype(d.form.Text1, QStringLiteral("どこにもない.txt"));
    d.showPage(3);
    d.retype(d.form.Text2[0], QStringLiteral("h.wav"));
    d.retype(d.form.Text2[1], QString());
    d.retype(d.form.Text2[2], QStringLiteral("  m.wav "));
    d.ok();
    const Written expected{"どこにもない.txt", "h.wav", "", "  m.wav ", 0.2f, 120};
    EXPECT_EQ(WrittenOf(d.state), expected);
    EXPECT_EQ(d.screen.label4History, QStringList{"120"});
}

TEST(Form4, TheTabsShowOnePageAtATime)
{
    Dialog d;
    auto expectOnly = [&](int page) {
        EXPECT_EQ(d.form.currentPage(), page);
        for (int n = 1; n <= 5; ++n)
            EXPECT_EQ(d.form.Frame1[n]->isVisible(), n == page) << "frame " << n;
    };
    expectOnly(1);
    // Clicking the tab that is already selected must not hide its page.
    for (int tab : {1, 3, 3, 5, 2, 2, 4, 1}) {
        SCOPED_TRACE(tab);
        d.showPage(tab);
        expectOnly(tab);
    }
    // The keyboard switches the strip too.
    d.form.TabStrip1->setFocus();
    QTest::keyClick(d.form.TabStrip1, Qt::Key_Tab, Qt::ControlModifier);
    expectOnly(2);
}

TEST(Form4, NameFiltersShowEveryFileForStarDotStar)
{
    struct Case {
        QString filter;
        QStringList expected;
    };
    const Case cases[] = {
        {kTextFilter, {"ﾃｷｽﾄﾌｧｲﾙ(*.txt) (*.txt)", "全てのﾌｧｲﾙ(*.*) (*)"}},
        {kSoundFilter, {"WAVﾌｧｲﾙ(*.wav) (*.wav)", "全てのﾌｧｲﾙ(*.*) (*)"}},
        {"Pictures|*.bmp;*.png", {"Pictures (*.bmp *.png)"}},
        {"", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.filter.toStdString());
        EXPECT_EQ(NameFilters(c.filter), c.expected);
    }
}

TEST(Form4, QtsFileDialogOffersTheRememberedNameAndTakesAMissingFile)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString remembered = folder.filePath(QStringLiteral("old.txt"));
    QFile(remembered).open(QIODevice::WriteOnly);
    const QString missing = folder.filePath(QStringLiteral("new.txt"));

    QStringList seenFilters;
    QStringList seenSelection;
    bool refused = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        seenFilters = dialog->nameFilters();
        seenSelection = dialog->selectedFiles();
        dialog->selectFile(missing);
        // A dialog that insists on existing files says so in a box of its own.
        QTimer::singleShot(0, [&] {
            if (QWidget *box = QApplication::activeModalWidget(); box && box != dialog) {
                refused = true;
                static_cast<QDialog *>(box)->reject();
            }
        });
        static_cast<QDialog *>(dialog)->accept();  // QFileDialog::accept, by the public door
        if (dialog->isVisible()) {
            refused = true;
            dialog->reject();
        }
    });
    QtDialogs dialogs;
    const FileDialogAnswer answer = dialogs.openFile(nullptr, kTextFilter, remembered);
    EXPECT_FALSE(refused) << "the dialog refused a file that does not exist";
    EXPECT_EQ(seenFilters, NameFilters(kTextFilter));
    EXPECT_EQ(seenSelection, QStringList{remembered});
    EXPECT_EQ(answer.outcome, FileDialogAnswer::Chosen);
    EXPECT_EQ(answer.fileName, missing);

    QTimer::singleShot(0, [] {
        if (QWidget *dialog = QApplication::activeModalWidget())
            static_cast<QDialog *>(dialog)->reject();
    });
    EXPECT_EQ(dialogs.openFile(nullptr, kTextFilter, remembered).outcome,
              FileDialogAnswer::Cancelled);
}

TEST(Form4, TheRomajiBoxOnTheTextPageIsKeptOnlyByOk)
{
    struct Case {
        bool before;
        bool click;
        bool ok;
        bool after;
    };
    const Case cases[] = {
        {false, true, true, true},  {true, true, true, false},  {true, false, true, true},
        {false, true, false, false}, {true, true, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.before << c.click << c.ok);
        Module1 state = GameState();
        state.romajiTyping = c.before;
        Dialog d(state);
        d.showPage(2);
        ASSERT_TRUE(d.form.Check1->isVisible());
        EXPECT_EQ(d.form.Check1->isChecked(), c.before);
        // Not hidden behind the page's other controls.
        for (QWidget *other : {static_cast<QWidget *>(d.form.Label9), static_cast<QWidget *>(d.form.Text1),
                               static_cast<QWidget *>(d.form.Command3),
                               static_cast<QWidget *>(d.form.Command6[0])})
            EXPECT_FALSE(d.form.Check1->geometry().intersects(other->geometry()));
        if (c.click)
            d.click(d.form.Check1);
        d.click(c.ok ? d.form.Command1 : d.form.Command2);
        EXPECT_EQ(d.state.romajiTyping, c.after);
    }
}
