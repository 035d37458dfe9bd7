// The real main window on the offscreen platform, driven by real key and
// mouse events, with the clock and the waits under the test's control.
#include "support/fakes.h"
#include "ui/form1.h"

#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

class TestForm1 : public Form1 {
public:
    TestForm1(Module1 &state, FakeWorld &world) : Form1(state, {world, world, world, world})
    {
        Timer1->stop();  // ticks come from the fake world
    }
    void showMessage(const QString &text) override { messages << text; }
    void openSettingsDialog() override { opened << "settings"; }
    void openScoreBoard() override { opened << "scores"; }
    void openHowToPlay() override { opened << "howto"; }
    void openStaff() override { opened << "staff"; }
    void openAbout() override { opened << "about"; }
    QStringList messages;
    QStringList opened;
};

struct Window {
    Window() { form.show(); }
    void start() { QTest::mouseClick(form.Command2, Qt::LeftButton); }
    Module1 state;
    TempProgramFolder folder{state};
    FakeWorld world;
    TestForm1 form{state, world};
};

}  // namespace

TEST(Form1, LaysOutTheGameAreaInTwips)
{
    Window w;
    struct Place {
        QWidget *widget;
        QRect px;
    };
    const Place places[] = {
        {w.form.Frame1, {8, 24, 505, 89}},
        {w.form.Text2[3], {80, 16, 49, 18}},
        {w.form.Text2[7], {392, 56, 49, 18}},
        {w.form.Text3, {200, 48, 97, 33}},
        {w.form.Text5[1], {400, 120, 113, 177}},
        {w.form.Label4, {184, 120, 145, 65}},
        {w.form.Command2, {216, 248, 89, 25}},
        {w.form.Text4, {8, 304, 505, 25}},
        {w.form.Text1, {8, 336, 505, 25}},
    };
    for (const Place &p : places) {
        SCOPED_TRACE(p.widget->metaObject()->className());
        EXPECT_EQ(p.widget->geometry(), p.px);
    }
    EXPECT_EQ(w.form.client->size(), QSize(526, 385));
    EXPECT_EQ(w.form.windowTitle(), "タイプ闘記");
    EXPECT_EQ(w.form.Label6[0]->text().size(), 800);
    EXPECT_EQ(w.form.Label6[1]->text().size(), 688);
    // Outside the designed client area: never seen.
    EXPECT_FALSE(w.form.client->rect().contains(w.form.Command1->geometry()));
    EXPECT_FALSE(w.form.client->rect().contains(w.form.Command4->geometry()));
}

TEST(Form1, SelectChangesTheModeLabel)
{
    Window w;
    QTest::mouseClick(w.form.Command5, Qt::LeftButton);
    EXPECT_EQ(w.state.gameMode, 2);
    EXPECT_EQ(w.form.Label1->text(), "ヴォルグ\u3000+\u3000ダーク・ゲート");
    EXPECT_EQ(w.form.Label1->palette().color(QPalette::WindowText), QColor(255, 0, 255));
}

TEST(Form1, TypedChantKeysAreJudgedAndEchoed)
{
    Window w;
    w.start();
    ASSERT_EQ(w.state.gamePhase, kPlaying);
    EXPECT_EQ(w.form.Label4->text(), "60");
    EXPECT_FALSE(w.form.Text1->testAttribute(Qt::WA_InputMethodEnabled));
    QTest::keyClicks(w.form.Text1, "eyaeyaeya");
    EXPECT_EQ(w.form.Text2[3]->text(), "9");
    EXPECT_EQ(w.form.Text2[5]->text(), "100");
    EXPECT_EQ(w.form.Text5[0]->toPlainText(), "エヤエヤエヤ\n");
    EXPECT_EQ(w.form.text(Box::Text5_0), "エヤエヤエヤ\r\n");
    EXPECT_EQ(w.form.Text1->text(), "");

    QTest::keyClick(w.form.Text1, 'x');
    EXPECT_EQ(w.form.Text2[5]->text(), "90");
    EXPECT_EQ(w.form.background(), kGreenBackground);
    EXPECT_EQ(w.world.sounds.filter("ahh.wav").size(), 1);
}

TEST(Form1, BackspaceAndEnterInTrainingMode)
{
    Window w;
    w.state.gameMode = 4;
    w.start();
    ASSERT_EQ(w.state.gamePhase, kPlaying);
    EXPECT_TRUE(w.form.Text1->testAttribute(Qt::WA_InputMethodEnabled));
    const QString target = w.form.text(Box::Text4);
    // Composed text arrives without printable key presses; Enter judges it.
    w.form.Text1->insert(target.left(1) + "#");
    EXPECT_EQ(w.state.inputCount, 0);
    QTest::keyClick(w.form.Text1, Qt::Key_Return);
    EXPECT_EQ(w.state.inputCount, 2);
    EXPECT_EQ(w.state.correctCount, 1);
    EXPECT_EQ(w.form.Text1->text(), "#");
    // Backspace edits the box normally in training mode.
    QTest::keyClick(w.form.Text1, Qt::Key_Backspace);
    EXPECT_EQ(w.form.Text1->text(), "");
}

TEST(Form1, BackspaceThrowsAwayTheAttemptInAChantMode)
{
    Window w;
    w.start();
    w.form.Text1->setText("zz");  // not judged: no printable key was pressed
    QTest::keyClick(w.form.Text1, Qt::Key_Backspace);
    EXPECT_EQ(w.form.Text1->text(), "");
    EXPECT_EQ(w.state.inputCount, 0);
}

TEST(Form1, TheStopButtonGivesTheFocusBackToTheInputBox)
{
    Window w;
    w.form.Command4->setFocus();
    ASSERT_EQ(w.form.focusWidget(), w.form.Command4);
    QTest::mouseClick(w.form.Command4, Qt::LeftButton);
    EXPECT_EQ(w.form.focusWidget(), w.form.Text1);
}

TEST(Form1, ClosingDuringTheCountdownEndsCleanly)
{
    Window w;
    w.world.at(w.world.now() + 1.5, [&w] { w.form.close(); });
    w.start();
    EXPECT_FALSE(w.form.isVisible());
    EXPECT_EQ(w.state.gamePhase, kIdle);
    EXPECT_TRUE(w.form.game().shuttingDown());
    EXPECT_NE(w.form.Label4->text(), "60");
}

namespace {

// Every command of the menu, the toolbar and the "stuff" drop-down, run once.
void RunEveryCommand(TestForm1 &form)
{
    for (QAction *item : {form.MenuSettei, form.MenuScore, form.MenuVersion, form.MenuAsobikata,
                          form.staff, form.gao, form.hiyowa, form.seigi})
        item->trigger();
    for (const char *key : {"settei", "score", "help"})
        form.Toolbar1_ButtonClick(QString::fromLatin1(key));
    for (QAction *entry : form.stuffButton->menu()->actions())
        entry->trigger();
    form.stuffButton->click();  // the button part itself does nothing
}

const QStringList kAlwaysOpen{"howto", "staff", "howto", "staff"};
const QStringList kEveryWindow{"settings", "scores", "about", "howto", "staff",
                               "settings", "scores", "howto", "staff", "about"};

}  // namespace

TEST(Form1Commands, IdleEveryCommandActs)
{
    Window w;
    RunEveryCommand(w.form);
    EXPECT_EQ(w.form.opened, kEveryWindow);
    ASSERT_EQ(w.form.messages.size(), 3);
    EXPECT_EQ(w.form.messages[0], "がおぉぉぉぉぉぉぉぉぉ");
    EXPECT_EQ(w.form.messages[1], "ひよわ" + QString(232, u'ぅ'));
    EXPECT_EQ(w.form.messages[2], "ちからこそ正義だぁぁぁぁぁ");
}

TEST(Form1Commands, CountdownAndPlayRefuseSettingsScoresAndAboutSilently)
{
    Window w;
    w.world.at(w.world.now() + 1.5, [&w] {
        ASSERT_EQ(w.state.gamePhase, kCountdown);
        RunEveryCommand(w.form);
    });
    w.start();
    EXPECT_EQ(w.form.opened, kAlwaysOpen);
    EXPECT_EQ(w.form.messages.size(), 3);  // the joke items still answer

    w.form.opened.clear();
    ASSERT_EQ(w.state.gamePhase, kPlaying);
    RunEveryCommand(w.form);
    EXPECT_EQ(w.form.opened, kAlwaysOpen);
}

TEST(Form1Commands, StartFromTheMenuOrToolbarNeverRestartsAGame)
{
    Window w;
    w.start();
    QTest::keyClicks(w.form.Text1, "eya");
    w.form.MenuStart->trigger();
    w.form.Toolbar1_ButtonClick("start");
    EXPECT_EQ(w.state.inputCount, 3);
    EXPECT_EQ(w.state.gamePhase, kPlaying);
}

TEST(Form1Commands, MenuAndToolbarTextsAsDesigned)
{
    Window w;
    QStringList menus;
    for (QAction *menu : w.form.menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"ﾌｧｲﾙ(&F)", "ｵﾌﾟｼｮﾝ(&O)", "その他(&E)", "ﾍﾙﾌﾟ(&H)"}));
    EXPECT_EQ(w.form.MenuEnd->text(), "\"タイプ闘記\"の終了(&E)");
    QStringList tips;
    for (QAction *a : w.form.Toolbar1->actions())
        tips << (a->isSeparator() ? QString("-") : a->toolTip());
    EXPECT_EQ(tips, (QStringList{"ゲームスタート", "タイプ闘記の終了", "-", "ゲームの設定",
                                 "ハイスコア", "-", "遊び方", "ゲームの情報"}));
    QStringList entries;
    for (QAction *entry : w.form.stuffButton->menu()->actions())
        entries << entry->text();
    EXPECT_EQ(entries, (QStringList{"スタッフ情報", "バージョン情報"}));
}

TEST(Form1Settings, AreReadWhenTheWindowIsMadeAndWrittenByEveryWayOfClosing)
{
    struct Route {
        const char *name;
        std::function<void(TestForm1 &)> close;
    };
    const Route routes[] = {
        {"close box", [](TestForm1 &f) { f.close(); }},
        {"menu", [](TestForm1 &f) { f.MenuEnd->trigger(); }},
        {"toolbar", [](TestForm1 &f) { f.Toolbar1_ButtonClick("end"); }},
    };
    for (const Route &route : routes) {
        SCOPED_TRACE(route.name);
        Window first;
        EXPECT_EQ(first.form.Label4->text(), "");  // no settings file yet
        first.state.gameMode = 3;
        first.state.timeLimitSeconds = 30;
        first.start();  // closing in the middle of a game
        route.close(first.form);
        EXPECT_FALSE(first.form.isVisible());
        EXPECT_TRUE(first.form.messages.isEmpty());

        Module1 state;
        state.setProgramFolder(first.folder.dir.path());
        FakeWorld world;
        TestForm1 second(state, world);
        EXPECT_EQ(state.gameMode, 3);
        EXPECT_EQ(state.timeLimitSeconds, 30);
        EXPECT_EQ(second.Label4->text(), "30");
        EXPECT_EQ(second.Label1->text(), LookOfMode(3)->caption);
    }
}

TEST(Form1Settings, AFailedSaveIsReportedAndTheWindowStillCloses)
{
    Window w;
    // A folder where the settings file should be cannot be replaced by a file.
    ASSERT_TRUE(QDir(w.folder.dir.path()).mkdir("tatak.ini"));
    w.form.close();
    EXPECT_FALSE(w.form.isVisible());
    ASSERT_EQ(w.form.messages.size(), 1);
    EXPECT_TRUE(w.form.messages[0].startsWith("設定を保存できませんでした。"));
}
