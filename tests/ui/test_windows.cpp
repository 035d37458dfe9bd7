// The splash, how-to-play, staff and About windows on the offscreen
// platform, driven by real key and mouse events.
#include "platform/registry.h"
#include "support/fakedialogs.h"
#include "support/fakeregistry.h"
#include "ui/artwork.h"
#include "ui/form5.h"
#include "ui/form6.h"
#include "ui/frmabout.h"
#include "ui/frmsplash.h"
#include "ui/layout.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstring>
#include <functional>
#include <memory>
#include <gtest/gtest.h>
#include <set>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

// ---- Layout tables -------------------------------------------------------------

// One control as designed: where (twips), what it says and how it looks.
struct Control {
    const char *name;
    QWidget *widget;
    int left, top, width, height;
    QString text;     // null: not checked
    int foreground;   // kNoColor: not checked
    int background;   // kNoColor: transparent (paints no background)
    double points;
    bool bold = false;
};

QString TextOf(QWidget *w)
{
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *button = qobject_cast<QPushButton *>(w))
        return button->text();
    if (auto *box = qobject_cast<QLineEdit *>(w))
        return box->text();
    return {};
}

void ExpectLaidOut(const Control &c, bool checkSize = true)
{
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.widget, nullptr);
    const QRect px = TwipsRect(c.left, c.top, c.width, c.height);
    if (checkSize) {
        EXPECT_EQ(c.widget->geometry(), px);
    } else {
        EXPECT_EQ(c.widget->geometry().top(), px.top());
    }
    if (!c.text.isNull()) {
        EXPECT_EQ(TextOf(c.widget), c.text);
    }
    const QPalette &palette = c.widget->palette();
    const QPalette::ColorRole textRole =
        qobject_cast<QLineEdit *>(c.widget) ? QPalette::Text : QPalette::WindowText;
    if (c.foreground != kNoColor) {
        EXPECT_EQ(palette.color(textRole), QColor(QRgb(c.foreground)));
    }
    if (c.background == kNoColor) {
        EXPECT_FALSE(c.widget->autoFillBackground());
    } else {
        EXPECT_TRUE(c.widget->autoFillBackground());
        const QPalette::ColorRole back =
            qobject_cast<QLineEdit *>(c.widget) ? QPalette::Base : QPalette::Window;
        EXPECT_EQ(palette.color(back), QColor(QRgb(c.background)));
    }
    EXPECT_DOUBLE_EQ(c.widget->font().pointSizeF(), c.points);
    EXPECT_EQ(c.widget->font().bold(), c.bold);
}

// Rows listed front to back must be stacked that way among their siblings.
void ExpectStackedFrontToBack(std::initializer_list<QWidget *> frontToBack)
{
    int previous = std::numeric_limits<int>::max();
    for (QWidget *w : frontToBack) {
        const int index = int(w->parentWidget()->children().indexOf(w));
        EXPECT_LT(index, previous) << w->objectName().toStdString();
        previous = index;
    }
}

QColor BackgroundOf(QWidget *w) { return w->palette().color(QPalette::Window); }

const QString kCopyright = QString::fromUtf8(kCopyrightLine);

// ---- How-to-play ---------------------------------------------------------------

TEST(Form6, HowToPlayTextIsThirteenLinesEachEndedByCrLf)
{
    const QString ideographic(QChar(0x3000));
    const QString lines[13] = {
        "ゲームモード",
        "",
        "1:レクサ" + ideographic + "モード",
        ideographic + ideographic + "制限時間以内にひたすら「エヤエヤ」入力します",
        "",
        "2:ヴォルグ" + ideographic + "モード",
        ideographic + ideographic + "制限時間以内にひたすら「非苦非苦」入力します",
        "",
        "3:レクサ対ヴォルグ" + ideographic + "モード",
        ideographic + ideographic + "ランダムで、「エヤエヤ」「非苦非苦」のどちらかを入力します",
        "",
        "4:修行" + ideographic + "モード",
        ideographic + ideographic + "一般のテキストファイルを読み込みこんで、入力します。",
    };
    QString expected;
    for (const QString &line : lines)
        expected += line + "\r\n";

    const QString text = HowToPlayText();
    EXPECT_EQ(text, expected);
    // No bare line feed or carriage return hides anywhere: 13 CR LF pairs.
    EXPECT_EQ(text.count('\n'), 13);
    EXPECT_EQ(text.count('\r'), 13);
    EXPECT_EQ(text.count("\r\n"), 13);
    EXPECT_EQ(text.count(ideographic), 12);
    EXPECT_FALSE(text.contains(QChar(' ')));
    EXPECT_FALSE(text.contains(QChar(0xFF1A)));  // the colons are ASCII
}

TEST(Form6, LayoutTextsAndColours)
{
    Form6 w;
    EXPECT_EQ(w.windowTitle(), "遊び方");
    EXPECT_EQ(w.size(), QSize(Px(8556), Px(5712)));
    EXPECT_EQ(BackgroundOf(&w), QColor(0, 0, 0));
    EXPECT_FALSE(w.windowIcon().pixmap(16, 16).isNull());
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMaximizeButtonHint);

    const Control controls[] = {
        {"Label5", w.Label5, 3480, 5400, 2052, 252, kCopyright, 0xFFFFC0, kNoColor, 9},
        {"Label1", w.Label1, 360, 720, 8412, 4452, HowToPlayText(), 0xFF00FF, kNoColor, 12},
        {"Label6(1)", w.Label6[1], 4560, 0, 4812, 6972, QString("非苦").repeated(344), 0x404040,
         kNoColor, 12},
        {"Label6(0)", w.Label6[0], 0, 0, 4692, 6972, QString("エヤ").repeated(400), 0x404040,
         kNoColor, 12},
    };
    for (const Control &c : controls) {
        ExpectLaidOut(c);
        EXPECT_TRUE(static_cast<QLabel *>(c.widget)->wordWrap()) << c.name;
    }
    EXPECT_EQ(w.Label5->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    ExpectStackedFrontToBack({w.Label5, w.Label1, w.Label6[1], w.Label6[0]});
    // The copyright line fits its box on one line.
    EXPECT_LE(w.Label5->fontMetrics().horizontalAdvance(kCopyright), w.Label5->width());
}

// ---- Staff ---------------------------------------------------------------------

TEST(Form5, LayoutTextsAndColours)
{
    Form5 w;
    EXPECT_EQ(w.windowTitle(), "スタッフ");
    EXPECT_EQ(w.size(), QSize(Px(6240), Px(4488)));
    EXPECT_EQ(BackgroundOf(&w), QColor(0, 0, 64));
    EXPECT_FALSE(w.windowIcon().pixmap(16, 16).isNull());

    const Control controls[] = {
        {"Label5", w.Label5, 3960, 2640, 2052, 252, kCopyright, 0x800000, kNoColor, 9},
        {"Label2(1)", w.Label2[1], 3240, 3840, 2532, 612, {}, 0xC0FFC0, kNoColor, 25.8},
        {"Label1(1)", w.Label1[1], 3600, 3240, 1692, 492, "企画/製作", 0xC0FFC0, kNoColor, 16.2},
        {"Label2(0)", w.Label2[0], 720, 3840, 2052, 612, {}, 0xFFFFC0, kNoColor, 25.8},
        {"Label1(0)", w.Label1[0], 1080, 3240, 972, 492, "原案", 0xFFFFC0, kNoColor, 16.2},
        {"Image1", w.Image1, 120, 240, 5916, 2724, {}, kNoColor, kNoColor, 9},
        {"Label6(1)", w.Label6[1], 2880, 0, 4092, 5412, QString("非苦").repeated(344), 0x004040,
         kNoColor, 12},
        {"Label6(0)", w.Label6[0], -840, 0, 3972, 5412, QString("エヤ").repeated(400), 0x004040,
         kNoColor, 12},
    };
    for (const Control &c : controls)
        ExpectLaidOut(c);
    ExpectStackedFrontToBack({w.Label5, w.Label2[1], w.Label1[1], w.Label2[0], w.Label1[0],
                              w.Image1, w.Label6[1], w.Label6[0]});
    EXPECT_EQ(w.Image1->pixmap().size(), QSize(493, 227));
    EXPECT_TRUE(w.Image1->hasScaledContents());
    // Each name fits on the one line its box has room for.
    for (QLabel *name : w.Label2)
        EXPECT_LE(name->fontMetrics().horizontalAdvance(name->text()), name->width());
}

TEST(Form5, OnlyALeftClickOnThePictureClosesIt)
{
    enum Gesture { Click, RightClick, PressInsideReleaseOutside };
    struct Case {
        const char *what;
        std::function<QWidget *(Form5 &)> target;
        Gesture gesture;
        bool closes;
    };
    const Case cases[] = {
        {"picture", [](Form5 &w) { return w.Image1; }, Click, true},
        {"picture, right button", [](Form5 &w) { return w.Image1; }, RightClick, false},
        {"picture, dragged off", [](Form5 &w) { return w.Image1; }, PressInsideReleaseOutside, false},
        {"copyright", [](Form5 &w) { return w.Label5; }, Click, false},
        {"heading", [](Form5 &w) { return w.Label1[1]; }, Click, false},
        {"name", [](Form5 &w) { return w.Label2[1]; }, Click, false},
        {"background", [](Form5 &w) { return &w; }, Click, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Form5 w;
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        QWidget *target = c.target(w);
        // The background: right of the picture, where only the ornament
        // lies, and that lets every click through.
        const QPoint at = target == &w ? QPoint(w.width() - 3, 5) : target->rect().center();
        if (target == &w) {
            ASSERT_EQ(w.childAt(at), nullptr);
        }
        switch (c.gesture) {
        case Click: QTest::mouseClick(target, Qt::LeftButton, {}, at); break;
        case RightClick: QTest::mouseClick(target, Qt::RightButton, {}, at); break;
        case PressInsideReleaseOutside:
            QTest::mousePress(target, Qt::LeftButton, {}, at);
            QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(target->width() + 20, at.y()));
            break;
        }
        EXPECT_EQ(w.isVisible(), !c.closes);
        EXPECT_EQ(w.result(), c.closes ? QDialog::Accepted : QDialog::Rejected);
    }
}

TEST(SecondaryWindows, EscapeClosesNeitherHowToPlayNorStaff)
{
    // Both close by their close box only (the staff screen also by its
    // picture), like the other windows whose Escape is settled.
    const std::function<std::unique_ptr<QDialog>()> windows[] = {
        [] { return std::make_unique<Form6>(); },
        [] { return std::make_unique<Form5>(); },
    };
    for (const auto &make : windows) {
        const std::unique_ptr<QDialog> w = make();
        SCOPED_TRACE(w->windowTitle().toStdString());
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        QWidget *focus = QApplication::focusWidget() ? QApplication::focusWidget() : w.get();
        QTest::keyClick(focus, Qt::Key_Escape);
        QTest::keyClick(w.get(), Qt::Key_Escape);
        EXPECT_TRUE(w->isVisible());
        w->close();
        EXPECT_FALSE(w->isVisible());
    }
}

TEST(SecondaryWindows, OpenCentredOnTheMainWindowAndKeepTheirPlacesWhenResized)
{
    QWidget main;
    main.setGeometry(60, 50, 700, 500);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));

    Form5 staff(&main);
    Form6 howTo(&main);
    frmAbout about(SystemDialogs(), &main);
    for (QDialog *d : {static_cast<QDialog *>(&staff), static_cast<QDialog *>(&howTo),
                       static_cast<QDialog *>(&about)}) {
        SCOPED_TRACE(d->windowTitle().toStdString());
        d->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(d));
        const QPoint offset = d->frameGeometry().center() - main.frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 2);
        d->close();
    }

    // Growing a window moves nothing inside it.
    const QRect label = howTo.Label1->geometry();
    const QRect picture = staff.Image1->geometry();
    howTo.resize(900, 700);
    staff.resize(900, 700);
    EXPECT_EQ(howTo.Label1->geometry(), label);
    EXPECT_EQ(staff.Image1->geometry(), picture);
}

// ---- Splash --------------------------------------------------------------------

TEST(frmSplash, LayoutTextsAndColours)
{
    frmSplash w;
    EXPECT_EQ(w.size(), QSize(Px(7380), Px(4236)));
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w.windowType(), Qt::Tool);  // kept out of the task bar
    EXPECT_TRUE(w.windowTitle().isEmpty());
    EXPECT_EQ(BackgroundOf(&w), QColor(0, 64, 64));
    EXPECT_EQ(BackgroundOf(w.Frame1), QColor(0, 64, 64));
    EXPECT_EQ(w.Frame1->geometry(), TwipsRect(150, 120, 7080, 4050));
    EXPECT_EQ(w.imgLogo->geometry(), TwipsRect(120, 840, 2772, 2388));
    EXPECT_TRUE(w.imgLogo->hasScaledContents());

    constexpr int teal = 0x004040;
    const Control fixed[] = {
        {"Label2", w.Label2, 4320, 3000, 2292, 252, kCopyright, 0xFFC0C0, kNoColor, 12},
    };
    for (const Control &c : fixed)
        ExpectLaidOut(c);
    EXPECT_LE(w.Label2->fontMetrics().horizontalAdvance(kCopyright), w.Label2->width());

    // Auto-sized: the size of their text, anchored on the side they align to.
    enum Anchor { Left, Centre, Right };
    struct Sized {
        Control control;
        Anchor anchor;
    };
    const Sized sized[] = {
        {{"lblCompanyProduct", w.lblCompanyProduct, 120, 240, 6804, 480,
          QString("エヤ").repeated(24), 0xFFC080, teal, 18, true},
         Left},
        {{"lblProductName", w.lblProductName, 4440, 1560, 1020, 324, "タイプ闘記", 0xE0E0E0, teal,
          16.2, true},
         Centre},
        {{"lblVersion", w.lblVersion, 5880, 2040, 888, 288, "ﾊﾞｰｼﾞｮﾝ 0.2.1", 0x80FFFF, teal, 12,
          true},
         Right},
        {{"Label1", w.Label1, 240, 3480, 6660, 360, QString("非苦").repeated(12), 0x80FF80, teal,
          18, true},
         Left},
    };
    for (const Sized &s : sized) {
        ExpectLaidOut(s.control, false);
        QLabel *label = static_cast<QLabel *>(s.control.widget);
        const QRect design = TwipsRect(s.control.left, s.control.top, s.control.width,
                                       s.control.height);
        EXPECT_EQ(label->size(), label->sizeHint()) << s.control.name;
        switch (s.anchor) {
        case Left: EXPECT_EQ(label->x(), design.x()) << s.control.name; break;
        case Centre:
            EXPECT_LE(std::abs(label->geometry().center().x() - design.center().x()), 1)
                << s.control.name;
            break;
        case Right: EXPECT_EQ(label->geometry().right(), design.right()) << s.control.name; break;
        }
    }
    // The version, grown leftwards, stays inside the frame.
    EXPECT_LE(w.lblVersion->geometry().right(), w.Frame1->width());
}

struct SplashFixture {
    SplashFixture()
    {
        splash.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&splash));
    }
    frmSplash splash;
    QSignalSpy clicked{&splash, &frmSplash::frameClicked};
    QSignalSpy quit{&splash, &frmSplash::closedToQuit};
};

TEST(frmSplash, AnyKeyThatTypesACharacterClosesItWhereverTheFocusIs)
{
    struct Case {
        const char *what;
        Qt::Key key;
        char character;  // 0: the key alone
        bool atAControl;
        bool closes;
    };
    const Case cases[] = {
        {"letter", Qt::Key_A, 'a', false, true},
        {"digit", Qt::Key_5, '5', false, true},
        {"space", Qt::Key_Space, ' ', false, true},
        {"Enter", Qt::Key_Return, 0, false, true},
        {"Escape", Qt::Key_Escape, 0, false, true},
        {"letter at a control", Qt::Key_Q, 'q', true, true},
        {"Shift alone", Qt::Key_Shift, 0, false, false},
        {"arrow", Qt::Key_Left, 0, false, false},
        {"F1", Qt::Key_F1, 0, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SplashFixture f;
        QWidget *target = c.atAControl ? static_cast<QWidget *>(f.splash.lblVersion) : &f.splash;
        if (c.character)
            QTest::keyClick(target, c.character);
        else
            QTest::keyClick(target, c.key);
        EXPECT_EQ(f.splash.isVisible(), !c.closes);
        EXPECT_EQ(f.quit.count(), c.closes ? 1 : 0);
        EXPECT_EQ(f.clicked.count(), 0);
    }
}

TEST(frmSplash, OnlyAClickOnTheFramesOwnSurfaceGoesOn)
{
    struct Case {
        const char *what;
        std::function<QWidget *(frmSplash &)> target;
        bool releaseOutside;
        bool goesOn;
    };
    const Case cases[] = {
        {"frame", [](frmSplash &w) { return w.Frame1; }, false, true},
        {"frame, released outside it", [](frmSplash &w) { return w.Frame1; }, true, false},
        {"logo", [](frmSplash &w) { return w.imgLogo; }, false, false},
        {"title", [](frmSplash &w) { return w.lblProductName; }, false, false},
        {"version", [](frmSplash &w) { return w.lblVersion; }, false, false},
        {"copyright", [](frmSplash &w) { return w.Label2; }, false, false},
        {"hero chant", [](frmSplash &w) { return w.lblCompanyProduct; }, false, false},
        {"rival chant", [](frmSplash &w) { return w.Label1; }, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SplashFixture f;
        QWidget *target = c.target(f.splash);
        QPoint at = target->rect().center();
        if (target == f.splash.Frame1) {
            at = QPoint(target->width() - 8, target->height() / 2);
            ASSERT_EQ(target->childAt(at), nullptr) << "not a free spot of the frame";
        } else if (target->width() > f.splash.Frame1->width()) {
            at = QPoint(20, target->height() / 2);  // on its visible part
        }
        if (c.releaseOutside) {
            QTest::mousePress(target, Qt::LeftButton, {}, at);
            QTest::mouseRelease(target, Qt::LeftButton, {}, QPoint(-30, at.y()));
        } else {
            QTest::mouseClick(target, Qt::LeftButton, {}, at);
        }
        EXPECT_EQ(f.clicked.count(), c.goesOn ? 1 : 0);
        EXPECT_EQ(f.splash.isVisible(), !c.goesOn);
        EXPECT_EQ(f.quit.count(), 0);
    }
}

TEST(frmSplash, EveryOtherWayOfGoingAwayEndsTheProgram)
{
    // Alt+F4 or wmctrl -c: the window manager asks the platform window to
    // close, which closes the widget; a key press closes it too. Only the
    // frame click goes on, and each way is told once.
    struct Case {
        const char *what;
        std::function<void(frmSplash &)> act;
        bool goesOn;
    };
    const Case cases[] = {
        {"window manager", [](frmSplash &w) { w.windowHandle()->close(); }, false},
        {"close()", [](frmSplash &w) { w.close(); }, false},
        {"key, then the window manager",
         [](frmSplash &w) {
             QTest::keyClick(&w, 'x');
             w.close();
         },
         false},
        {"frame click, then close()",
         [](frmSplash &w) {
             QTest::mouseClick(w.Frame1, Qt::LeftButton, {}, QPoint(w.Frame1->width() - 8, 8));
             w.close();
         },
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SplashFixture f;
        ASSERT_NE(f.splash.windowHandle(), nullptr);
        c.act(f.splash);
        EXPECT_FALSE(f.splash.isVisible());
        EXPECT_EQ(f.quit.count(), c.goesOn ? 0 : 1);
        EXPECT_EQ(f.clicked.count(), c.goesOn ? 1 : 0);
    }
}

TEST(frmSplash, ClosingItDoesNotEndTheProgramByItself)
{
    frmSplash w;
    EXPECT_FALSE(w.testAttribute(Qt::WA_QuitOnClose));
    EXPECT_FALSE(w.testAttribute(Qt::WA_DeleteOnClose));
}

// ---- About ---------------------------------------------------------------------

TEST(frmAbout, LayoutTextsAndColours)
{
    frmAbout w;
    EXPECT_EQ(w.windowTitle(), "タイプ闘記のﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(w.size(), QSize(Px(5844), Px(3852)));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(BackgroundOf(&w), QColor(0, 64, 0));
    EXPECT_EQ(w.windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
              ProgramLogo().toImage().convertToFormat(QImage::Format_ARGB32));

    constexpr int green = 0x004000;
    constexpr int paleGreen = 0xC0FFC0;
    constexpr int paleYellow = 0xFFFFC0;
    const Control controls[] = {
        {"lblTitle", w.lblTitle, 1200, 240, 3888, 480, "タイプ闘記", paleGreen, green, 16.2},
        {"lblVersion", w.lblVersion, 3360, 720, 1716, 228, "ﾊﾞｰｼﾞｮﾝ 0.2.1", 0xFFC080, green, 12},
        {"lblDescription", w.lblDescription, 1920, 960, 4092, 336,
         "漫画史上に残る永遠の名勝負を再現しました。", paleYellow, green, 9},
        {"Label2", w.Label2, 120, 1200, 1812, 576,
         "注意！このソフトは、きっと著作権に違反してないんじゃないかなあ。。。", 0xFF0000, green,
         9},
        {"Label3", w.Label3, 2640, 1680, 2652, 252, QString::fromUtf8(kCreditLine), paleYellow,
         green, 9},
        {"Text1(1)", w.Text1[1], 240, 1920, 5532, 264, "", paleGreen, 0x000000, 9},
        {"Text1(2)", w.Text1[2], 240, 2160, 5532, 264, "", paleGreen, 0x000000, 9},
        {"lblDisclaimer", w.lblDisclaimer, 252, 2640, 3876, 708,
         "警告:これは、まだ、テストバージョンです。よって、作者の許可なく再配布しないで下さい。"
         "動作報告、ご意見等は、下記のアドレスまで。",
         0xFFC0C0, green, 9},
        {"cmdOK", w.cmdOK, 4245, 2760, 1380, 345, "OK", kNoColor, kNoColor, 9},
        {"Text1(0)", w.Text1[0], 360, 3240, 3372, 264, "", paleGreen, 0x000000, 9},
        {"cmdSysInfo", w.cmdSysInfo, 4260, 3240, 1380, 345, "ｼｽﾃﾑ情報(&S)...", kNoColor,
         kNoColor, 9},
        {"Label1", w.Label1, 1320, 3600, 2652, 252, kCopyright, paleYellow, green, 9},
    };
    for (const Control &c : controls)
        ExpectLaidOut(c);
    EXPECT_EQ(w.Image1->geometry(), TwipsRect(120, 120, 972, 972));
    EXPECT_TRUE(w.Image1->hasScaledContents());
    EXPECT_EQ(w.Label3->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(w.Label1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_TRUE(w.lblDisclaimer->wordWrap());
    for (QLineEdit *box : w.Text1)
        EXPECT_FALSE(box->isReadOnly());
    EXPECT_TRUE(w.cmdOK->isDefault());
    EXPECT_FALSE(w.cmdSysInfo->isDefault());
}

TEST(frmAbout, TheSeparatorIsAGreyLineOverAWhiteOne)
{
    frmAbout w;
    const QImage shot = w.grab().toImage();
    const int y = Px(2520);
    for (int x : {Px(240), Px(3000), Px(5700)}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(QColor(shot.pixel(x, y - 1)), QColor(0, 64, 0));
        EXPECT_EQ(QColor(shot.pixel(x, y)), QColor(128, 128, 128));
        EXPECT_EQ(QColor(shot.pixel(x, y + 1)), QColor(255, 255, 255));
        EXPECT_EQ(QColor(shot.pixel(x, y + 2)), QColor(0, 64, 0));
    }
    // The grey line reaches further right than the white one under it.
    EXPECT_EQ(QColor(shot.pixel(Px(5810), y)), QColor(128, 128, 128));
    EXPECT_EQ(QColor(shot.pixel(Px(5810), y + 1)), QColor(0, 64, 0));
}

TEST(frmAbout, OkFirstInTheFocusOrderThenSystemInformation)
{
    frmAbout w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(QApplication::focusWidget(), w.cmdOK);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.cmdSysInfo);
}

TEST(frmAbout, EnterAndEscapeBothPressOk)
{
    struct Case {
        const char *what;
        Qt::Key key;
        std::function<QWidget *(frmAbout &)> focus;
    };
    const Case cases[] = {
        {"Enter", Qt::Key_Return, [](frmAbout &w) { return w.cmdOK; }},
        {"Escape", Qt::Key_Escape, [](frmAbout &w) { return w.cmdOK; }},
        {"Escape from the system-information button", Qt::Key_Escape,
         [](frmAbout &w) { return w.cmdSysInfo; }},
        {"Enter in a contact box", Qt::Key_Return, [](frmAbout &w) { return w.Text1[0]; }},
        {"keypad Enter in a contact box", Qt::Key_Enter, [](frmAbout &w) { return w.Text1[2]; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        frmAbout w;
        QSignalSpy ok(w.cmdOK, &QPushButton::clicked);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        QWidget *focus = c.focus(w);
        focus->setFocus();
        QTest::keyClick(focus, c.key);
        EXPECT_EQ(ok.count(), 1);
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(w.result(), QDialog::Accepted);
    }
}

TEST(frmAbout, SystemInformationButtonRunsTheLookupAndStaysOpen)
{
    FakeDialogs dialogs;
    frmAbout w(dialogs);
    World world;
    w.sysInfo = world.hooks();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.cmdSysInfo, Qt::LeftButton);
    EXPECT_EQ(world.registry.opened, (QStringList{kFirstKey, kSecondKey}));
    // The message is the window's, through its dialogs, not the lookup's own.
    EXPECT_EQ(dialogs.texts(), QStringList{kUnavailable});
    EXPECT_TRUE(world.messages.isEmpty());
    EXPECT_TRUE(w.isVisible());
}

// Reads the message box that the next modal loop opens, then presses its OK.
struct MessageBoxReader {
    void readSoon()
    {
        QTimer::singleShot(10, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) {
                if (++tries < 200)
                    readSoon();
                return;
            }
            title = box->windowTitle();
            text = box->text();
            buttons = int(box->buttons().size());
            icon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
    }
    int tries = 0;
    QString title, text;
    int buttons = 0;
    QMessageBox::Icon icon = QMessageBox::Critical;
};

TEST(frmAbout, TheUnavailableMessageIsAPlainBoxTitledWithTheGame)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "this machine may well have the tool";
#endif
    frmAbout w;
    // This machine's registry and message box, but no viewer is looked
    // for or started.
    w.sysInfo.findExecutable = [](const QString &) { return QString(); };
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    MessageBoxReader reader;
    reader.readSoon();
    w.cmdSysInfo->click();
    EXPECT_EQ(reader.title, "タイプ闘記");
    EXPECT_EQ(reader.text, kUnavailable);
    EXPECT_EQ(reader.buttons, 1);
    EXPECT_EQ(reader.icon, QMessageBox::NoIcon);
    EXPECT_TRUE(w.isVisible());
}

// ---- Pictures ------------------------------------------------------------------

bool HasTransparentAndOpaquePixels(const QImage &image)
{
    bool clear = false, solid = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            clear |= alpha == 0;
            solid |= alpha == 255;
        }
    return clear && solid;
}

TEST(Artwork, SevenDistinctToolbarPicturesOnATransparentGround)
{
    const char *keys[] = {"start", "end", "settei", "score", "help2", "stuff", "help"};
    std::vector<QImage> seen;
    for (const char *key : keys) {
        SCOPED_TRACE(key);
        const QPixmap picture = ToolbarPicture(key);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.size(), QSize(16, 16));
        const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_TRUE(HasTransparentAndOpaquePixels(image));
        for (const QImage &other : seen)
            EXPECT_NE(image, other);
        seen.push_back(image);
    }
    // The drop-down entries' keys have no picture of their own.
    EXPECT_TRUE(ToolbarPicture("stuffj").isNull());
    EXPECT_TRUE(ToolbarPicture("Start").isNull());
}

TEST(Artwork, LogoAndWindowIcons)
{
    const QImage logo = ProgramLogo().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(logo.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(logo.pixel(0, 0)), 0);     // round badge: the corners are clear
    EXPECT_EQ(qAlpha(logo.pixel(16, 3)), 255);  // the rim
    // The kanji is light on the red face: the middle holds both.
    std::set<bool> light;
    for (int y = 10; y < 22; ++y)
        for (int x = 10; x < 22; ++x)
            light.insert(QColor(logo.pixel(x, y)).lightness() > 180);
    EXPECT_EQ(light.size(), 2u);

    EXPECT_EQ(ProgramLogo(QSize(185, 159)).size(), QSize(185, 159));
    for (const QIcon &icon : {HowToPlayIcon(), StaffIcon()}) {
        const QImage image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(image.size(), QSize(16, 16));
        EXPECT_TRUE(HasTransparentAndOpaquePixels(image));
    }
    EXPECT_NE(HowToPlayIcon().pixmap(16, 16).toImage(), StaffIcon().pixmap(16, 16).toImage());
}

TEST(Artwork, StaffLandscape)
{
    const QImage picture = StaffPicture().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(picture.size(), QSize(493, 227));
    struct Spot {
        const char *what;
        QPoint at;
        std::function<bool(QColor)> looks;
    };
    const Spot spots[] = {
        {"sky", {10, 5}, [](QColor c) { return c.blue() > 150 && c.blue() > c.red() + 60; }},
        {"sun", {395, 62}, [](QColor c) { return c.red() > 180 && c.green() < 90 && c.blue() < 90; }},
        {"snow", {215, 55}, [](QColor c) { return c.lightness() > 220; }},
        {"rock", {215, 140}, [](QColor c) { return c.lightness() < 120 && c.blue() > c.green(); }},
        {"ground", {246, 220}, [](QColor c) { return c.green() > c.red() + 40 && c.green() > c.blue() + 40; }},
    };
    for (const Spot &s : spots) {
        const QColor color(picture.pixel(s.at));
        EXPECT_TRUE(s.looks(color)) << s.what << " " << color.name().toStdString();
    }
    // Opaque all over: a landscape, not a cut-out.
    for (int y = 0; y < picture.height(); y += 7)
        for (int x = 0; x < picture.width(); x += 7)
            ASSERT_EQ(qAlpha(picture.pixel(x, y)), 255) << x << "," << y;
}

}  // namespace
