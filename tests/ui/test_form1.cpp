// The real main window on the offscreen platform, driven by real key and
// mouse events, with the clock and the waits under the test's control.
#include "support/fakes.h"
#include "ui/form1.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
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
    QStringList messages;
};

struct Window {
    Window()
    {
        state.setProgramFolder(QStringLiteral(TYPETOKI_BIN_DIR));
        form.show();
    }
    void start() { QTest::mouseClick(form.Command2, Qt::LeftButton); }
    Module1 state;
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
    const QString target = w.form.Text4->text();
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
