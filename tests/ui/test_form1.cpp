// The real main window on the offscreen platform, driven by real key and
// mouse events, with the clock and the waits under the test's control.
#include "engine/textread.h"
#include "persistence/historyreader.h"
#include "persistence/historystore.h"
#include "platform/eventpump.h"
#include "platform/steadyclock.h"
#include "support/fakedialogs.h"
#include "support/fakes.h"
#include "support/files.h"
#include "ui/form1.h"
#include "ui/keyboardwidget.h"
#include "ui/layout.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

// Made before the window, which takes its dialogs at once.
struct OwnDialogs {
    FakeDialogs dialogs;
};

class TestForm1 : private OwnDialogs, public Form1 {
public:
    TestForm1(Module1 &state, FakeWorld &world)
        : Form1(state, {world, world, world, world}, OwnDialogs::dialogs)
    {
        Timer1->stop();  // ticks come from the fake world
    }
    // The message boxes shown, by their text.
    QStringList messages() const { return dialogs.texts(); }
    FakeDialogs &fakeDialogs() { return dialogs; }
    void openSettingsDialog() override
    {
        opened << "settings";
        if (onSettings)
            onSettings();
    }
    std::function<void()> onSettings;  // what the player does in the dialog
    void openScoreBoard() override { opened << "scores"; }
    void openHistory() override { opened << "history"; }
    void openResultScreen(const GameResult &) override
    {
        opened << "result";
        if (onResult)
            onResult();
    }
    std::function<void()> onResult;
    void openHowToPlay() override { opened << "howto"; }
    void openStaff() override { opened << "staff"; }
    void openAbout() override { opened << "about"; }
    bool openRankingDialog(RankingSettings &settings) override
    {
        opened << "ranking";
        return onRanking && onRanking(settings);
    }
    std::function<bool(RankingSettings &)> onRanking;  // false: the player cancels
    QStringList opened;
};

struct Window {
    Window()
    {
        form.setHistoryStore(&history);
        form.show();
    }
    void start() { QTest::mouseClick(form.Command2, Qt::LeftButton); }
    Module1 state;
    TempProgramFolder folder{state};
    HistoryStore history{state.dataFolder};
    FakeWorld world;
    TestForm1 form{state, world};
};

// What an input method asks a box before it composes text in it.
bool AcceptsInputMethod(QWidget *box)
{
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QApplication::sendEvent(box, &query);
    return query.value(Qt::ImEnabled).toBool();
}

struct CountingSwitch final : InputMethodSwitch {
    void turnOn() override { ++turnedOn; }
    int turnedOn = 0;
};

void CommitFromInputMethod(QWidget *box, const QString &text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(box, &event);
}

}  // namespace

TEST(Form1, LaysOutTheGameAreaInTwips)
{
    Window w;
    struct Place {
        QWidget *widget;
        QRect twips;
        const char *text;
    };
    const auto &f = w.form;
    const Place places[] = {
        {f.Frame1, {120, 360, 7572, 1332}, "スコアボード"},
        {f.Label2[3], {0, 240, 1092, 252}, "入力文字数"},
        {f.Label2[4], {0, 480, 1092, 252}, "正解文字数"},
        {f.Label2[5], {0, 840, 1092, 252}, "文字正解率"},
        {f.Label2[6], {4440, 240, 1332, 252}, "秒速[文字/秒]"},
        {f.Label2[7], {4440, 840, 1332, 252}, "瞬間最大秒速"},
        {f.Text2[3], {1200, 240, 732, 264}, ""},
        {f.Text2[4], {1200, 480, 732, 264}, ""},
        {f.Text2[5], {1200, 840, 732, 264}, ""},
        {f.Text2[6], {5880, 240, 732, 264}, ""},
        {f.Text2[7], {5880, 840, 732, 264}, ""},
        {f.Label3, {3360, 240, 732, 372}, "得点"},
        {f.Text3, {3000, 720, 1452, 492}, "0"},
        {f.Text5[0], {120, 1800, 1692, 2652}, ""},
        {f.Text5[1], {6000, 1800, 1692, 2652}, ""},
        {f.Label4, {2760, 1800, 2172, 972}, ""},
        {f.Command5, {1920, 3720, 1212, 372}, "SELECT"},
        {f.Command2, {3240, 3720, 1332, 372}, "START"},
        {f.Command3, {4680, 3720, 1212, 372}, "END"},
        {f.Label1, {1920, 4200, 3972, 252}, "雷堂剛介　+　ブロンズガード"},
        {f.Text4, {120, 4560, 7572, 372}, ""},
        {f.Text1, {120, 5040, 7572, 372}, ""},
        {f.Command1, {8160, 480, 612, 900}, "決定(&E)"},
        {f.Command4, {3240, 5880, 1212, 372}, "ストップ"},
        {f.Label6[0], {0, 360, 3972, 5412}, nullptr},
        {f.Label6[1], {3840, 360, 4092, 5412}, nullptr},
    };
    for (const Place &p : places) {
        SCOPED_TRACE(p.text ? p.text : "ornament");
        const QRect &t = p.twips;
        EXPECT_EQ(p.widget->geometry(), TwipsRect(t.x(), t.y(), t.width(), t.height()));
        if (!p.text)
            continue;
        QString shown;
        if (auto *label = qobject_cast<QLabel *>(p.widget))
            shown = label->text();
        else if (auto *box = qobject_cast<QLineEdit *>(p.widget))
            shown = box->text();
        else if (auto *button = qobject_cast<QPushButton *>(p.widget))
            shown = button->text();
        else if (auto *frame = qobject_cast<QGroupBox *>(p.widget))
            shown = frame->title();
        EXPECT_EQ(shown, QString::fromUtf8(p.text));
    }
    struct Look {
        QWidget *widget;
        QPalette::ColorRole role;
        QColor color;
    };
    const Look looks[] = {
        {f.Text2[3], QPalette::Text, QColor(255, 255, 0)},
        {f.Text2[3], QPalette::Base, Qt::black},
        {f.Text3, QPalette::Text, QColor(255, 255, 0)},
        {f.Text4, QPalette::Base, QColor(192, 192, 192)},
        {f.Label1, QPalette::WindowText, QColor(255, 0, 0)},
        {f.Label1, QPalette::Window, Qt::black},
        {f.Label6[0], QPalette::WindowText, QColor(0, 128, 0)},
        {f.Frame1, QPalette::Window, QColor(0, 64, 0)},
        {f.centralWidget(), QPalette::Window, QColor(0, 64, 0)},
    };
    for (const Look &l : looks)
        EXPECT_EQ(l.widget->palette().color(l.role), l.color) << l.widget->metaObject()->className();
    EXPECT_DOUBLE_EQ(f.Label4->font().pointSizeF(), 48);
    EXPECT_DOUBLE_EQ(f.Text3->font().pointSizeF(), 16.2);
    EXPECT_EQ(f.Text1->font().families().value(0), "ＭＳ Ｐゴシック");
    EXPECT_EQ(w.form.client->size(), QSize(526, 385));
    EXPECT_EQ(w.form.windowTitle(), "タイプ闘記");
    EXPECT_EQ(w.form.Label6[0]->text().size(), 800);
    EXPECT_EQ(w.form.Label6[1]->text().size(), 688);
    // Outside the designed client area: never seen.
    EXPECT_FALSE(w.form.client->rect().contains(w.form.Command1->geometry()));
    EXPECT_FALSE(w.form.client->rect().contains(w.form.Command4->geometry()));
    // The hidden button does not take Alt+E from the menu bar.
    EXPECT_TRUE(w.form.Command1->shortcut().isEmpty());
}

TEST(Form1, SelectChangesTheModeLabel)
{
    Window w;
    QTest::mouseClick(w.form.Command5, Qt::LeftButton);
    EXPECT_EQ(w.state.gameMode, GameMode::Rival);
    EXPECT_EQ(w.form.Label1->text(), "ヴォルグ\u3000+\u3000ダーク・ゲート");
    EXPECT_EQ(w.form.Label1->palette().color(QPalette::WindowText), QColor(255, 0, 255));
}

TEST(Form1, TypedChantKeysAreJudgedAndEchoed)
{
    Window w;
    w.start();
    ASSERT_EQ(w.state.gamePhase, kPlaying);
    EXPECT_EQ(w.form.Label4->text(), "60");
    EXPECT_FALSE(AcceptsInputMethod(w.form.Text1));
    QTest::keyClicks(w.form.Text1, "eyaeyaeya");
    EXPECT_EQ(w.form.Text2[3]->text(), "9");
    EXPECT_EQ(w.form.Text2[5]->text(), "100");
    EXPECT_EQ(w.form.Text5[0]->toPlainText(), "エヤエヤエヤ\n");
    EXPECT_EQ(w.form.game().echoText(0), "エヤエヤエヤ\r\n");
    EXPECT_EQ(w.form.Text1->text(), "");

    QTest::keyClick(w.form.Text1, 'x');
    EXPECT_EQ(w.form.Text2[5]->text(), "90");
    EXPECT_EQ(w.form.background(), kGreenBackground);
    EXPECT_EQ(w.world.sounds.filter("play miss").size(), 1);
}

TEST(Form1, BackspaceAndEnterInTrainingMode)
{
    Window w;
    w.state.gameMode = GameMode::Training;
    w.start();
    ASSERT_EQ(w.state.gamePhase, kPlaying);
    EXPECT_TRUE(AcceptsInputMethod(w.form.Text1));
    const QString target = w.form.game().targetLine();
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

TEST(Form1, OnlyOrdinaryLinesAskForJapaneseEntry)
{
    for (const int mode : {1, 2, 3, 4}) {
        Window w;
        CountingSwitch control;
        w.form.setInputMethodSwitch(&control);
        w.form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w.form));
        w.state.gameMode = GameMode(mode);
        w.start();
        ASSERT_TRUE(w.form.Text1->hasFocus());
        const bool ordinary = !w.form.game().targetLine().startsWith("eya") &&
                              !w.form.game().targetLine().startsWith("hiku");
        EXPECT_EQ(control.turnedOn, ordinary ? 1 : 0) << "mode " << mode;
        EXPECT_EQ(AcceptsInputMethod(w.form.Text1), ordinary) << "mode " << mode;
    }
}

TEST(Form1, CommittedJapaneseWaitsForEnterEvenAfterALetter)
{
    Window w;
    w.state.gameMode = GameMode::Training;
    w.start();
    const QString target = w.form.game().targetLine();
    QTest::keyClick(w.form.Text1, 'x');  // a miss, typed with the input method off
    ASSERT_EQ(w.state.inputCount, 1);
    w.form.Text1->clear();
    CommitFromInputMethod(w.form.Text1, target.left(2));
    EXPECT_EQ(w.form.Text1->text(), target.left(2));
    EXPECT_EQ(w.state.inputCount, 1);
    QTest::keyClick(w.form.Text1, Qt::Key_Return);
    EXPECT_EQ(w.state.inputCount, 3);
    EXPECT_EQ(w.state.correctCount, 2);
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

TEST(Form1, EnterPressesTheFocusedButtonAndOnlyThenTheDefault)
{
    struct Case {
        const char *where;
        std::function<QWidget *(Form1 &)> focus;
        bool judges;
    };
    const Case cases[] = {
        {"input box", [](Form1 &f) { return f.Text1; }, true},
        {"stop button", [](Form1 &f) { return f.Command4; }, false},
    };
    for (const Qt::Key enter : {Qt::Key_Return, Qt::Key_Enter}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.where) + (enter == Qt::Key_Enter ? ", keypad" : ""));
            Window w;
            w.state.gameMode = GameMode::Training;
            w.start();
            ASSERT_EQ(w.state.gamePhase, kPlaying);
            w.form.Text1->insert(w.form.game().targetLine().left(1));
            QWidget *focus = c.focus(w.form);
            focus->setFocus();
            ASSERT_EQ(w.form.focusWidget(), focus);
            QTest::keyClick(focus, enter);
            EXPECT_EQ(w.state.inputCount, c.judges ? 1 : 0);
            // The stop button's own click gives the input box the focus.
            EXPECT_EQ(w.form.focusWidget(), w.form.Text1);
        }
    }
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
    for (QAction *item : {form.MenuSettei, form.MenuScore, form.MenuKiroku, form.MenuVersion,
                          form.MenuAsobikata, form.staff, form.gao, form.hiyowa, form.seigi})
        item->trigger();
    for (const char *key : {"settei", "score", "help"})
        form.Toolbar1_ButtonClick(QString::fromLatin1(key));
    for (QAction *entry : form.stuffButton->menu()->actions())
        entry->trigger();
    form.stuffButton->click();  // the button part itself does nothing
}

const QStringList kAlwaysOpen{"howto", "staff", "howto", "staff"};
const QStringList kEveryWindow{"settings", "scores", "history", "about", "howto", "staff",
                               "settings", "scores", "howto", "staff", "about"};

}  // namespace

TEST(Form1Commands, IdleEveryCommandActs)
{
    Window w;
    RunEveryCommand(w.form);
    EXPECT_EQ(w.form.opened, kEveryWindow);
    ASSERT_EQ(w.form.messages().size(), 3);
    EXPECT_EQ(w.form.messages()[0], "がおぉぉぉぉぉぉぉぉぉ");
    EXPECT_EQ(w.form.messages()[1], "ひよわ" + QString(232, u'ぅ'));
    EXPECT_EQ(w.form.messages()[2], "ちからこそ正義だぁぁぁぁぁ");
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
    EXPECT_EQ(w.form.messages().size(), 3);  // the joke items still answer

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

TEST(Form1Commands, TheRankingItemSetsUpSharedBoardsForThisRunAndTheNext)
{
    Window w;
    EXPECT_EQ(w.form.sharedRanking(), nullptr);
    const RankingSettings chosen{"postgresql://hanako@localhost/typetoki?host=/nonexistent", "3年A組", "花子"};
    struct Step {
        const char *what;
        bool ok;
        RankingSettings typed;
        bool configured;
    };
    const Step steps[] = {
        {"set up", true, chosen, true},
        {"cancelled", false, {}, true},
        {"emptied", true, {"", "3年A組", "花子"}, false},
        {"set up again", true, chosen, true},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        w.form.onRanking = [&](RankingSettings &settings) {
            settings = step.typed;
            return step.ok;
        };
        w.form.MenuRanking->trigger();
        ASSERT_EQ(w.form.sharedRanking() != nullptr, step.configured);
        if (step.configured) {
            EXPECT_EQ(w.form.sharedRanking()->settings().player, chosen.player);
        }
        EXPECT_EQ(ReadRankingSettings(Options(w.state.dataFolder)).configured(), step.configured);
    }
    TestForm1 nextRun(w.state, w.world);
    ASSERT_NE(nextRun.sharedRanking(), nullptr);
    EXPECT_EQ(nextRun.sharedRanking()->settings().server, chosen.server);

    // Refused during a game, as the other dialogs are.
    w.form.opened.clear();
    w.start();
    w.form.MenuRanking->trigger();
    EXPECT_TRUE(w.form.opened.isEmpty());
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

TEST(Form1Commands, TheSoundItemsMuteAndSetTheVolumeForThisRunAndTheNext)
{
    Window w;
    auto *options = qobject_cast<QMenu *>(w.form.MenuOnryou->parent());
    ASSERT_TRUE(options);
    QStringList items;
    for (QAction *a : options->actions())
        items << (a->isSeparator() ? QString("-") : a->text());
    EXPECT_EQ(items, (QStringList{"ｹﾞｰﾑの設定(&S)", "ﾊｲｽｺｱ(&H)", "成績の記録(&R)...", "ランキング(&N)...",
                                  "苦手を練習(&P)", "-", "効果音(&K)", "音量(&V)", "キーボードを表示"}));
    QStringList steps;
    for (QAction *a : w.form.MenuOnryou->actions())
        steps << a->text();
    EXPECT_EQ(steps, (QStringList{"100%", "75%", "50%", "25%"}));
    // On at full volume until the player says otherwise, and the files read
    // ahead as soon as the window is there.
    EXPECT_TRUE(w.form.MenuKoukaon->isChecked());
    EXPECT_TRUE(w.form.MenuOnryouStep[0]->isChecked());
    EXPECT_EQ(w.world.sounds, (QStringList{"unmute", "volume 100"}));
    EXPECT_EQ(w.world.preloaded,
              (QStringList{w.state.heroSoundPath, w.state.rivalSoundPath, w.state.missSoundPath}));

    w.world.sounds.clear();
    w.form.MenuKoukaon->trigger();
    w.form.MenuOnryouStep[2]->trigger();
    EXPECT_FALSE(w.form.MenuKoukaon->isChecked());
    EXPECT_TRUE(w.form.MenuOnryouStep[2]->isChecked());
    EXPECT_FALSE(w.form.MenuOnryouStep[0]->isChecked());
    EXPECT_EQ(w.world.sounds.filter("mute").last(), "mute");
    EXPECT_EQ(w.world.sounds.last(), "volume 50");

    // The next run starts as this one was left, from typetoki.conf alone.
    EXPECT_FALSE(QFile::exists(w.state.inDataFolder("tatak.ini")));
    FakeWorld next;
    TestForm1 again(w.state, next);
    EXPECT_FALSE(again.MenuKoukaon->isChecked());
    EXPECT_TRUE(again.MenuOnryouStep[2]->isChecked());
    EXPECT_EQ(next.sounds, (QStringList{"mute", "volume 50"}));
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
        first.state.gameMode = GameMode::Vs;
        first.state.timeLimitSeconds = 30;
        first.start();  // closing in the middle of a game
        route.close(first.form);
        EXPECT_FALSE(first.form.isVisible());
        EXPECT_TRUE(first.form.messages().isEmpty());

        Module1 state;
        state.setProgramFolder(first.folder.dir.path());
        FakeWorld world;
        TestForm1 second(state, world);
        EXPECT_EQ(state.gameMode, GameMode::Vs);
        EXPECT_EQ(state.timeLimitSeconds, 30);
        EXPECT_EQ(second.Label4->text(), "30");
        EXPECT_EQ(second.Label1->text(), Text(RowOf(GameMode::Vs)->caption));
    }
}

TEST(Form1Settings, AFailedSaveIsReportedAndTheWindowStillCloses)
{
    Window w;
    // A folder where the settings file should be cannot be replaced by a file.
    ASSERT_TRUE(QDir(w.folder.dir.path()).mkdir("tatak.ini"));
    w.form.close();
    EXPECT_FALSE(w.form.isVisible());
    ASSERT_EQ(w.form.messages().size(), 1);
    // What failed, where, and why, in the player's language.
    EXPECT_EQ(w.form.messages()[0].section(u'\n', 0, 1),
              "設定を保存できませんでした。\n" + w.folder.dir.filePath("tatak.ini"));
    EXPECT_TRUE(w.form.messages()[0].section(u'\n', 3).startsWith("同じ名前のフォルダーがあります"))
        << w.form.messages()[0].toStdString();
}

TEST(Form1Windows, EachCommandOpensItsOwnModalWindowAndReturnsWhenItCloses)
{
    Module1 state;
    TempProgramFolder folder(state);
    FakeWorld world;
    HistoryStore history(state.dataFolder);
    Form1 form(state, {world, world, world, world});
    form.Timer1->stop();
    form.setHistoryStore(&history);
    form.show();
    struct Opening {
        QAction *item;
        const char *caption;
    };
    const Opening openings[] = {
        {form.MenuSettei, "ゲームの設定ｨｨｨｨ"}, {form.MenuScore, "ハイスコア"},
        {form.MenuKiroku, "成績の記録"},      {form.MenuAsobikata, "遊び方"},
        {form.staff, "スタッフ"},
        {form.MenuVersion, "タイプ闘記のﾊﾞｰｼﾞｮﾝ情報"},
    };
    for (const Opening &o : openings) {
        SCOPED_TRACE(o.caption);
        QString seen;
        bool modal = false;
        // Until the command returns: a window that reads before it shows
        // (the statistics window on a slow build) handles events first.
        QTimer closer;
        closer.setInterval(10);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (QWidget *window = QApplication::activeModalWidget()) {
                seen = window->windowTitle();
                modal = window->isModal();
                window->close();
            }
        });
        closer.start();
        o.item->trigger();  // returns only once the window has closed
        closer.stop();
        EXPECT_EQ(seen, QString::fromUtf8(o.caption));
        EXPECT_TRUE(modal);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

// ---- The history of games ----------------------------------------------------

namespace {

// The games in the history file, newest first, once every game handed over
// has been tried.
std::vector<GameResult> Recorded(Window &w)
{
    EXPECT_TRUE(w.history.WaitForIdle(5000));
    std::vector<GameResult> games;
    for (StoredGame &g : HistoryReader(w.history.path()).RecentGames(10, true))
        games.push_back(std::move(g.result));
    return games;
}

// Keys typed into the input box at moments of the game.
void TypeAt(Window &w, double at, const char *keys)
{
    w.world.at(w.state.startTime + at, [&w, keys] { QTest::keyClicks(w.form.Text1, keys); });
}

}  // namespace

TEST(Form1History, EveryGameIsRecordedBeforeItsEndIsAnnouncedWithEveryKeyAndUnit)
{
    Window w;
    w.state.timeLimitSeconds = 10;
    w.world.startTicks([&w] { w.form.game().Timer1_Timer(); });
    size_t atAnnouncement = 99, atResult = 99;
    QElapsedTimer sinceAnnouncement;
    qint64 resultDelayNs = -1;
    w.form.fakeDialogs().onMessage = [&] {
        atAnnouncement = Recorded(w).size();
        sinceAnnouncement.start();
    };
    w.form.onResult = [&] {
        resultDelayNs = sinceAnnouncement.nsecsElapsed();
        atResult = Recorded(w).size();
    };

    // A key every 0.35 s, one of them a miss.
    w.start();
    const char *keys[] = {"e", "y", "a", "e", "y", "a", "e", "x", "y", "a"};
    for (int i = 0; i < 10; ++i)
        TypeAt(w, 0.5 + 0.35 * i, keys[i]);
    w.world.advance(12);
    ASSERT_EQ(w.form.opened, QStringList{"result"});
    EXPECT_EQ(atAnnouncement, 1u) << "kept before 終了！ shows: a logout then loses nothing";
    EXPECT_EQ(atResult, 1u) << "handed over before the result screen";
    EXPECT_LT(resultDelayNs, 20'000'000) << "the result screen waited for the history";

    std::vector<GameResult> games = Recorded(w);
    ASSERT_EQ(games.size(), 1u);
    const GameResult &g = games[0];
    EXPECT_FALSE(g.abandoned);
    EXPECT_EQ(g.gameMode, GameMode::Hero);
    EXPECT_EQ(g.timeLimitSeconds, 10);
    EXPECT_EQ(QStringList({g.judgedText, g.correctText, g.accuracyText, g.speedText, g.scoreText}),
              QStringList({"10", "9", "90", "0.9", w.form.Text3->text()}));
    EXPECT_FALSE(g.rankTitle.isEmpty());
    struct Want {
        const char *target;
        int targeted, missed, timedHits;
        double hitSeconds;
    };
    // The first e has no key before it; the y after the miss is timed from it.
    for (const Want &want : {Want{"e", 3, 0, 2, 0.7}, Want{"y", 4, 1, 3, 1.05}, Want{"a", 3, 0, 3, 1.05}}) {
        SCOPED_TRACE(want.target);
        ASSERT_TRUE(g.targets.count(want.target));
        const TargetStats &got = g.targets.at(want.target);
        EXPECT_EQ(got.targeted, want.targeted);
        EXPECT_EQ(got.missed, want.missed);
        EXPECT_EQ(got.timedHits, want.timedHits);
        EXPECT_NEAR(got.hitSeconds, want.hitSeconds, 1e-6);
    }
    EXPECT_EQ(g.targets.size(), 3u);
    ASSERT_EQ(g.heroUnitSeconds.size(), 3u);
    for (size_t i = 0; i < 3; ++i)  // kept to the millisecond
        EXPECT_NEAR(g.heroUnitSeconds[i], (std::vector<float>{0.7f, 0.7f, 1.05f})[i], 0.0006);
    EXPECT_TRUE(g.rivalUnitSeconds.empty());

    // END, and closing the window in the middle of a game, keep the game
    // as abandoned: what was typed, no grade, no result screen.
    w.start();
    TypeAt(w, 0.5, "ey");
    w.world.at(w.state.startTime + 1, [&w] { QTest::mouseClick(w.form.Command3, Qt::LeftButton); });
    w.world.advance(2);
    w.start();
    TypeAt(w, 0.5, "e");
    w.world.at(w.state.startTime + 1, [&w] { w.form.close(); });
    w.world.advance(2);
    EXPECT_EQ(w.form.opened, QStringList{"result"});
    games = Recorded(w);
    ASSERT_EQ(games.size(), 3u);
    for (size_t i : {0, 1}) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(games[i].abandoned);
        EXPECT_EQ(games[i].rankTitle, "");
        EXPECT_EQ(games[i].targets.at("e").targeted, 1);
        EXPECT_EQ(games[i].targets.count("y"), i == 0 ? 0u : 1u);
    }
}

TEST(Form1History, TroubleWithTheHistoryIsToldOnceAndNeverDuringAGame)
{
    Module1 state;
    TempProgramFolder folder(state);
    QFile broken(HistoryPath(state.dataFolder));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray("not a database\n").repeated(300));
    broken.close();
    // The damaged file is moved aside as the store opens, before the window
    // is there to tell.
    HistoryStore history(state.dataFolder);
    ASSERT_TRUE(history.WaitForIdle(5000));
    FakeWorld world;
    TestForm1 form(state, world);
    form.setHistoryStore(&history);
    form.show();

    // A game starts before the window has looked: the notice waits for its end.
    QTest::mouseClick(form.Command2, Qt::LeftButton);
    ASSERT_EQ(state.gamePhase, kPlaying);
    QTest::qWait(50);
    EXPECT_EQ(form.messages(), QStringList());
    QTest::mouseClick(form.Command3, Qt::LeftButton);
    ASSERT_EQ(form.messages().size(), 1);
    EXPECT_TRUE(form.messages()[0].contains(".broken-")) << form.messages()[0].toStdString();
    EXPECT_EQ(form.fakeDialogs().messages[0].look, Dialogs::Look::Warning);

    for (int game = 0; game < 2; ++game) {
        QTest::mouseClick(form.Command2, Qt::LeftButton);
        QTest::keyClicks(form.Text1, "ey");
        QTest::mouseClick(form.Command3, Qt::LeftButton);
    }
    ASSERT_TRUE(history.WaitForIdle(5000));
    QTest::qWait(50);
    EXPECT_EQ(form.messages().size(), 1);
    EXPECT_EQ(HistoryReader(history.path()).GameCount(), 3) << "a new history took every game";
}

// The real clock and waits: closing the window ends the countdown at once.
TEST(QtEventPump, ClosingTheWindowDuringTheRealCountdownEndsItPromptly)
{
    Module1 state;
    TempProgramFolder folder(state);
    SteadyClock clock;
    QtEventPump pump;
    FakeWorld world;  // random numbers and sound only
    Form1 form(state, {clock, pump, world, world});
    form.show();
    QTimer::singleShot(300, &form, [&] { form.close(); });
    QElapsedTimer timer;
    timer.start();
    form.game().Command2_Click();
    EXPECT_LT(timer.elapsed(), 1500);
    EXPECT_EQ(state.gamePhase, kIdle);
    EXPECT_FALSE(form.isVisible());
}

TEST(Form1Settings, TheRomajiOptionIsKeptInTypetokiConfWhileTatakIniKeepsItsBytes)
{
    Window w;
    const QString tatak = w.state.inDataFolder("tatak.ini");
    w.form.close();
    const QByteArray before = ReadRaw(tatak);
    ASSERT_FALSE(before.isEmpty());
    FakeWorld next;
    {
        TestForm1 again(w.state, next);
        EXPECT_FALSE(w.state.romajiTyping);
        again.onSettings = [&w] { w.state.romajiTyping = true; };
        again.MenuSettei_Click();
        again.close();
    }
    EXPECT_EQ(ReadRaw(tatak), before);
    QSettings conf(w.state.inDataFolder("typetoki.conf"), QSettings::IniFormat);
    EXPECT_EQ(conf.value("training/romaji").toString(), "true");

    // The next run plays romaji again, from typetoki.conf alone.
    w.state.romajiTyping = false;
    TestForm1 third(w.state, next);
    EXPECT_TRUE(w.state.romajiTyping);
}

TEST(Form1Practice, APracticeGameOnTheMadeTextThenThePlayersOwnTextAgain)
{
    Window w;
    const QString own = w.state.inDataFolder("own.txt");
    w.state.trainingTextPath = own;
    w.state.timeLimitSeconds = 10;
    w.world.startTicks([&w] { w.form.game().Timer1_Timer(); });
    // No dictionary here: the words written in kana alone, typed as romaji
    // with the strip lighting the guide's next key.
    w.state.romajiTyping = true;
    w.form.showKeyboard(true);
    w.form.MenuRenshuu_Click();
    ASSERT_TRUE(QTest::qWaitFor([&w] { return !w.form.makingPractice(); }, 10000));
    ASSERT_EQ(w.state.gamePhase, kPlaying) << w.form.messages().join(u'|').toStdString();
    const QString practice = w.state.inDataFolder("typetoki-practice.txt");
    EXPECT_EQ(w.state.trainingTextPath, practice);
    EXPECT_EQ(w.form.Label1->text(), "修行モード【一般テキスト】");
    const std::optional<QStringList> lines = ReadTextLines(practice);
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->size(), 100);
    EXPECT_TRUE(lines->contains(w.form.Text4->text())) << w.form.Text4->text().toStdString();
    ASSERT_FALSE(w.form.inputGuide().isEmpty());
    EXPECT_EQ(w.form.keyboardStrip->litKey(), w.form.inputGuide().left(1).toUpper());
    // Refused while it plays, as the statistics are.
    w.form.MenuRenshuu_Click();
    EXPECT_FALSE(w.form.makingPractice());

    w.world.advance(12);
    ASSERT_EQ(w.form.opened, QStringList{"result"});
    EXPECT_EQ(w.state.trainingTextPath, own);
    EXPECT_EQ(w.state.gameMode, GameMode::Hero);
    EXPECT_EQ(w.form.Label1->text(), Text(kModes[0].caption));
    const std::vector<GameResult> games = Recorded(w);
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].gameMode, GameMode::Romaji);
    EXPECT_EQ(games[0].trainingTextPath, practice);
}

TEST(Form1Keyboard, TheStripGrowsTheWindowAndLightsTheNextKey)
{
    Window w;
    const QSize before = w.form.size();
    const QRect game = w.form.client->geometry();
    EXPECT_FALSE(w.form.keyboardStrip->isVisible());
    w.form.MenuKeyboard->trigger();
    ASSERT_TRUE(w.form.keyboardStrip->isVisible());
    EXPECT_EQ(w.form.size(), QSize(before.width(), before.height() + w.form.keyboardStrip->height()));
    EXPECT_EQ(w.form.client->geometry(), game);
    EXPECT_EQ(w.form.keyboardStrip->y(), game.bottom() + 1);

    struct Step {
        const char *keys;
        const char *lit;
        const char *flashing;
    };
    w.start();
    for (const Step &s : {Step{"", "E", ""}, Step{"e", "Y", ""}, Step{"x", "Y", "Y"}, Step{"ya", "E", "Y"}}) {
        QTest::keyClicks(w.form.Text1, s.keys);
        EXPECT_EQ(w.form.keyboardStrip->litKey(), s.lit) << s.keys;
        EXPECT_EQ(w.form.keyboardStrip->flashingKey(), s.flashing) << s.keys;
    }
    QTest::mouseClick(w.form.Command3, Qt::LeftButton);
    EXPECT_EQ(w.form.keyboardStrip->litKey(), "");

    // Kept in typetoki.conf for the next run.
    FakeWorld next;
    {
        TestForm1 again(w.state, next);
        EXPECT_TRUE(again.MenuKeyboard->isChecked());
        EXPECT_FALSE(again.keyboardStrip->isHidden());
        again.MenuKeyboard->trigger();
        EXPECT_EQ(again.height(), before.height());
    }
    QSettings conf(w.state.inDataFolder("typetoki.conf"), QSettings::IniFormat);
    EXPECT_EQ(conf.value("window/keyboard").toString(), "false");
}
