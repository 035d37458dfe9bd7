#include "ui/form1.h"

#include "persistence/historystore.h"
#include "persistence/practicefile.h"
#include "persistence/settingsfile.h"
#include "ui/artwork.h"
#include "ui/form2.h"
#include "ui/form3.h"
#include "ui/form4.h"
#include "ui/form5.h"
#include "ui/form6.h"
#include "ui/frmabout.h"
#include "ui/frmhistory.h"
#include "ui/frmranking.h"
#include "ui/keyboardwidget.h"
#include "ui/layout.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTimer>

namespace typetoki {

namespace {

// Short, so that a row of the game area's table fits on one line.
constexpr int kNone = kNoColor;
constexpr int kGrey = 0xC0C0C0;
constexpr Rgb kOrnamentGreen = 0x008000;
constexpr int kShownTargetLength = 256;
constexpr int kGuideGrey = 0x9A9A9A;

// QLineEdit tells an input method it takes composed text whenever it is
// editable, whatever WA_InputMethodEnabled says, so the input method went on
// composing on chant lines. Here the attribute has the last word.
class InputBox final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    using QLineEdit::inputMethodQuery;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override
    {
        if (query == Qt::ImEnabled && !testAttribute(Qt::WA_InputMethodEnabled))
            return false;
        return QLineEdit::inputMethodQuery(query);
    }

    const QString &guide() const { return guide_; }
    void setGuide(const QString &guide)
    {
        if (guide == guide_)
            return;
        guide_ = guide;
        update();
    }

protected:
    // The guide follows the text, where the next key will land; with the
    // cursor moved back into the text it would point at the wrong place.
    void paintEvent(QPaintEvent *event) override
    {
        QLineEdit::paintEvent(event);
        if (guide_.isEmpty() || cursorPosition() != text().size())
            return;
        QPainter painter(this);
        painter.setPen(QColor(kGuideGrey));
        const QRect cursor = cursorRect();
        int x = cursor.center().x() + 1;
        // Keys are ASCII; anything else in the guide is a character of the
        // line that has no key and is passed over: struck through.
        for (qsizetype i = 0; i < guide_.size() && x < width();) {
            const bool key = guide_[i].unicode() < 128;
            qsizetype end = i;
            while (end < guide_.size() && (guide_[end].unicode() < 128) == key)
                ++end;
            QFont font = this->font();
            font.setStrikeOut(!key);
            painter.setFont(font);
            const QString run = guide_.mid(i, end - i);
            painter.drawText(QRect(x, cursor.top(), width() - x, cursor.height()),
                             Qt::AlignLeft | Qt::AlignVCenter, run);
            x += QFontMetrics(font).horizontalAdvance(run);
            i = end;
        }
    }

private:
    QString guide_;
};

// The board's boxes are written on every key and clock tick, mostly with
// what they show already; QLineEdit lays its text out anew even then.
void ShowInBox(QLineEdit *box, const QString &text)
{
    if (box->text() != text)
        box->setText(text);
}

QWidget *MakeInputBox(Form1 &window, QWidget *parent)
{
    window.Text1 = new InputBox(parent);
    return window.Text1;
}

// The score board, within Frame1.
const Designed<Form1> kScoreBoard[] = {
    {ControlOf<&Form1::Label2, 3>, {0, 240, 1092, 252, "入力文字数", kWhite, kNone, kRight}},
    {ControlOf<&Form1::Label2, 4>, {0, 480, 1092, 252, "正解文字数", kWhite, kNone, kRight}},
    {ControlOf<&Form1::Label2, 5>, {0, 840, 1092, 252, "文字正解率", kWhite, kNone, kRight}},
    {ControlOf<&Form1::Label2, 6>, {4440, 240, 1332, 252, "秒速[文字/秒]", kWhite, kNone, kRight}},
    {ControlOf<&Form1::Label2, 7>, {4440, 840, 1332, 252, "瞬間最大秒速", kWhite, kNone, kRight}},
    {ControlOf<&Form1::Text2, 3>, {1200, 240, 732, 264, "", kYellow, kBlack, kRight}},
    {ControlOf<&Form1::Text2, 4>, {1200, 480, 732, 264, "", kYellow, kBlack, kRight}},
    {ControlOf<&Form1::Text2, 5>, {1200, 840, 732, 264, "", kYellow, kBlack, kRight}},
    {ControlOf<&Form1::Text2, 6>, {5880, 240, 732, 264, "", kYellow, kBlack, kRight}},
    {ControlOf<&Form1::Text2, 7>, {5880, 840, 732, 264, "", kYellow, kBlack, kRight}},
    {ControlOf<&Form1::Label3>, {3360, 240, 732, 372, "得点", kWhite, kNone, kRight, 16.2}},
    {ControlOf<&Form1::Text3>, {3000, 720, 1452, 492, "0", kYellow, kBlack, kRight, 16.2}},
};

// The rest of the game area, within the client area. Command1 and Command4
// lie outside it: never seen, only pressed.
const Designed<Form1> kGameArea[] = {
    {ControlOf<&Form1::Text5, 0>, {120, 1800, 1692, 2652, "", kNone, kNone, kLeft, 12}},
    {ControlOf<&Form1::Text5, 1>, {6000, 1800, 1692, 2652, "", kNone, kNone, kLeft, 12}},
    {ControlOf<&Form1::Label4>, {2760, 1800, 2172, 972, "", kRed, kNone, Qt::AlignCenter, 48}},
    {ControlOf<&Form1::Command5>, {1920, 3720, 1212, 372, "SELECT"}},
    {ControlOf<&Form1::Command2>, {3240, 3720, 1332, 372, "START"}},
    {ControlOf<&Form1::Command3>, {4680, 3720, 1212, 372, "END"}},
    {ControlOf<&Form1::Label1>, {1920, 4200, 3972, 252, "", kRed, kBlack, Qt::AlignCenter}},
    {ControlOf<&Form1::Text4>, {120, 4560, 7572, 372, "", kBlack, kGrey, kLeft, 12}},
    {MakeInputBox, {120, 5040, 7572, 372, "", kBlack, kWhite, kLeft, 12}},
    {ControlOf<&Form1::Command1>, {8160, 480, 612, 900, "決定(&E)"}},
    {ControlOf<&Form1::Command4>, {3240, 5880, 1212, 372, "ストップ"}},
};

}  // namespace

Form1::Form1(Module1 &state, Platform platform, Dialogs &dialogs, QWidget *parent)
    : QMainWindow(parent), m_(state), sound_(platform.sound), dialogs_(dialogs),
      game_(state, *this, platform)
{
    setWindowTitle(kApplicationTitle);
    setFont(JapaneseFont(9));
    setWindowIcon(QIcon(ProgramLogo()));
    buildGameArea();
    buildMenus();
    buildToolbar();
    resize(client->width(), client->height() + menuBar()->sizeHint().height());
    // Below the game area, which stays where it is; the window grows by it.
    keyboardStrip = new KeyboardPicture(centralWidget(), KeyboardPicture::Look::Fingers);
    keyboardStrip->setGeometry(0, client->height(), client->width(),
                               keyboardStrip->heightForWidth(client->width()));
    keyboardStrip->hide();
    // Every game goes to the history the moment it ends, which takes its
    // copy at once and writes it on a thread of its own; the end of a game
    // by time then leads through the result screen to the board.
    game_.setGameKeptHandler([this](const GameResult &result) {
        if (history_)
            history_->Record(result);
    });
    game_.setEndOfGameHandler([this](const GameResult &result) {
        if (!result.abandoned && !game_.shuttingDown()) {
            const QScopedValueRollback ending(endingGame_, true);
            openResultScreen(result);
        }
        if (!gameRunning())
            endPractice();
        tellHistoryNotices();
    });
    Form_Load();
    options_ = std::make_unique<Options>(m_.dataFolder);
    applySoundOptions(ReadSoundOptions(*options_), false);
    m_.romajiTyping = ReadRomajiTyping(*options_);
    // Sends at once what earlier runs could not.
    if (const RankingSettings ranking = ReadRankingSettings(*options_); ranking.configured())
        ranking_ = std::make_unique<SharedRanking>(ranking, m_.dataFolder);
    if (ReadKeyboardShown(*options_))
        showKeyboard(true);
    sound_.setCueFiles(m_.heroSoundPath, m_.rivalSoundPath, m_.missSoundPath);
    if (QScreen *display = screen())
        move(display->availableGeometry().center() - rect().center());

    Timer1 = new QTimer(this);
    Timer1->setInterval(250);
    connect(Timer1, &QTimer::timeout, this, [this] { game_.Timer1_Timer(); });
    Timer1->start();
}

Form1::~Form1()
{
    // A practice text being made takes well under a second.
    if (practiceWorker_.joinable())
        practiceWorker_.join();
}

void Form1::buildGameArea()
{
    client = new QWidget;
    auto *central = new QWidget;
    SetContainerColor(central, kGreenBackground);
    client->setParent(central);
    // Nothing is rearranged when the window is resized.
    client->setGeometry(TwipsRect(0, 0, 7896, 5772));
    setCentralWidget(central);

    // Ornaments first, so that every other control lies on top of them.
    Label6[1] = RivalChant(client, kOrnamentGreen, TwipsRect(3840, 360, 4092, 5412));
    Label6[0] = HeroChant(client, kOrnamentGreen, TwipsRect(0, 360, 3972, 5412));

    Frame1 = ScoreBoardFrame(client, TwipsRect(120, 360, 7572, 1332), kGreenBackground);

    BuildDesign(*this, Frame1, kScoreBoard);
    BuildDesign(*this, client, kGameArea);

    // The game writes every box; the player types only into Text1.
    for (QLineEdit *box : {Text2[3], Text2[4], Text2[5], Text2[6], Text2[7], Text3, Text4, Text1}) {
        box->setMaxLength(std::numeric_limits<int>::max());
        if (box == Text1)
            continue;
        box->setReadOnly(true);
        box->setFocusPolicy(Qt::NoFocus);
    }
    for (QPlainTextEdit *echo : Text5)
        echo->setReadOnly(true);
    // Alt+E belongs to the menu "その他(&E)" the player can see; two owners
    // would leave the key to neither.
    Command1->setShortcut(QKeySequence());

    Label1->setText(Text(kModes[0].caption));

    // Only the input box and the hidden stop button take the focus, in
    // that order; the other buttons are clicked with the mouse.
    for (QPushButton *b : {Command2, Command3, Command5, Command1})
        b->setFocusPolicy(Qt::NoFocus);
    setTabOrder(Text1, Command4);
    Text1->installEventFilter(this);
    Text1->setFocus();

    connect(Command1, &QPushButton::clicked, this, [this] { game_.Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { game_.Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { game_.Command3_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { game_.Command4_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { game_.Command5_Click(); });
    connect(Text1, &QLineEdit::textChanged, this, [this] { game_.Text1_Change(); });
}

// ---- Menus and toolbar ------------------------------------------------------

void Form1::buildMenus()
{
    QMenuBar *bar = menuBar();
    QMenu *MenuFile = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    MenuStart = MenuFile->addAction(QStringLiteral("ｹﾞｰﾑｽﾀｰﾄ(&S)"));
    MenuFile->addSeparator();  // kubunsen1
    MenuEnd = MenuFile->addAction(u'"' + kApplicationTitle + QStringLiteral("\"の終了(&E)"));

    QMenu *MenuOption = bar->addMenu(QStringLiteral("ｵﾌﾟｼｮﾝ(&O)"));
    MenuSettei = MenuOption->addAction(QStringLiteral("ｹﾞｰﾑの設定(&S)"));
    MenuScore = MenuOption->addAction(QStringLiteral("ﾊｲｽｺｱ(&H)"));
    MenuKiroku = MenuOption->addAction(QStringLiteral("成績の記録(&R)..."));
    MenuKiroku->setEnabled(false);  // until there is a history to show
    MenuRanking = MenuOption->addAction(QStringLiteral("ランキング(&N)..."));
    MenuRenshuu = MenuOption->addAction(QStringLiteral("苦手を練習(&P)"));
    MenuOption->addSeparator();
    MenuKoukaon = MenuOption->addAction(QStringLiteral("効果音(&K)"));
    MenuKoukaon->setCheckable(true);
    MenuOnryou = MenuOption->addMenu(QStringLiteral("音量(&V)"));
    auto *steps = new QActionGroup(MenuOnryou);
    for (std::size_t i = 0; i < MenuOnryouStep.size(); ++i) {
        const int percent = kVolumeSteps[i];
        MenuOnryouStep[i] = MenuOnryou->addAction(QStringLiteral("%1%").arg(percent));
        MenuOnryouStep[i]->setCheckable(true);
        steps->addAction(MenuOnryouStep[i]);
        connect(MenuOnryouStep[i], &QAction::triggered, this, [this, percent] {
            SoundOptions sound = soundOptions_;
            sound.volumePercent = percent;
            applySoundOptions(sound, true);
        });
    }
    connect(MenuKoukaon, &QAction::triggered, this, [this](bool on) {
        SoundOptions sound = soundOptions_;
        sound.on = on;
        applySoundOptions(sound, true);
    });

    MenuKeyboard = MenuOption->addAction(QStringLiteral("キーボードを表示"));
    MenuKeyboard->setCheckable(true);
    connect(MenuKeyboard, &QAction::triggered, this, [this](bool on) {
        showKeyboard(on);
        // An option that cannot be written still holds for this run.
        WriteKeyboardShown(*options_, on);
    });

    QMenu *sonota = bar->addMenu(QStringLiteral("その他(&E)"));
    gao = sonota->addAction(QStringLiteral("がおぉぉぉ(&G)"));
    hiyowa = sonota->addAction(QStringLiteral("ひよわぅぅぅぅ(&H)"));
    seigi = sonota->addAction(QStringLiteral("ちからこそ正義だぁぁぁぁぁぁ(&S)"));

    QMenu *MenuHelp = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    MenuAsobikata = MenuHelp->addAction(QStringLiteral("遊び方(&M)"));
    staff = MenuHelp->addAction(QStringLiteral("スタッフ情報(&I)"));
    MenuHelp->addSeparator();  // kubunsen2
    MenuVersion = MenuHelp->addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"));

    connect(MenuStart, &QAction::triggered, this, [this] { game_.StartGame(); });
    connect(MenuEnd, &QAction::triggered, this, &QWidget::close);
    connect(MenuSettei, &QAction::triggered, this, &Form1::MenuSettei_Click);
    connect(MenuScore, &QAction::triggered, this, &Form1::MenuScore_Click);
    connect(MenuKiroku, &QAction::triggered, this, &Form1::MenuKiroku_Click);
    connect(MenuRanking, &QAction::triggered, this, &Form1::MenuRanking_Click);
    connect(MenuRenshuu, &QAction::triggered, this, &Form1::MenuRenshuu_Click);
    connect(gao, &QAction::triggered, this,
            [this] { showMessage(QStringLiteral("がおぉぉぉぉぉぉぉぉぉ")); });
    connect(hiyowa, &QAction::triggered, this,
            [this] { showMessage(QStringLiteral("ひよわ") + QString(232, u'ぅ')); });
    connect(seigi, &QAction::triggered, this,
            [this] { showMessage(QStringLiteral("ちからこそ正義だぁぁぁぁぁ")); });
    connect(MenuAsobikata, &QAction::triggered, this, &Form1::openHowToPlay);
    connect(staff, &QAction::triggered, this, &Form1::openStaff);
    connect(MenuVersion, &QAction::triggered, this, &Form1::MenuVersion_Click);
}

void Form1::buildToolbar()
{
    Toolbar1 = new QToolBar(client);
    Toolbar1->setGeometry(0, 0, client->width(), Px(336));
    Toolbar1->setIconSize(QSize(16, 16));
    Toolbar1->setMovable(false);
    Toolbar1->setFocusPolicy(Qt::NoFocus);
    // A toolbar keeps the system's button face, not the window's green.
    Toolbar1->setPalette(QApplication::palette(Toolbar1));
    Toolbar1->setAutoFillBackground(true);

    struct Button {
        const char *key;  // nullptr: a separator
        const char *tooltip;
    };
    const Button buttons[] = {
        {"start", "ゲームスタート"}, {"end", "タイプ闘記の終了"}, {nullptr, nullptr},
        {"settei", "ゲームの設定"},  {"score", "ハイスコア"},     {nullptr, nullptr},
        {"help", "遊び方"},
    };
    for (const Button &b : buttons) {
        if (!b.key) {
            Toolbar1->addSeparator();
            continue;
        }
        const QString key = QString::fromLatin1(b.key);
        QAction *action = Toolbar1->addAction(QIcon(ToolbarPicture(key)), QString());
        action->setToolTip(QString::fromUtf8(b.tooltip));
        action->setObjectName(key);
        connect(action, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
    }

    auto *stuffMenu = new QMenu(this);
    const char *entries[] = {"スタッフ情報", "バージョン情報"};
    const char *entryKeys[] = {"stuffj", "versionj"};
    for (int i = 0; i < 2; ++i) {
        QAction *entry = stuffMenu->addAction(QString::fromUtf8(entries[i]));
        entry->setObjectName(QString::fromLatin1(entryKeys[i]));
        connect(entry, &QAction::triggered, this, [this, i] { Toolbar1_ButtonMenuClick(i + 1); });
    }
    stuffButton = new QToolButton(Toolbar1);
    stuffButton->setObjectName(QStringLiteral("stuff"));
    stuffButton->setIcon(QIcon(ToolbarPicture(QStringLiteral("stuff"))));
    stuffButton->setToolTip(QStringLiteral("ゲームの情報"));
    stuffButton->setMenu(stuffMenu);
    // The button part does nothing; only its arrow opens the menu.
    stuffButton->setPopupMode(QToolButton::MenuButtonPopup);
    Toolbar1->addWidget(stuffButton)->setToolTip(stuffButton->toolTip());
}

void Form1::Toolbar1_ButtonClick(const QString &key)
{
    if (key == u"start")
        game_.StartGame();
    else if (key == u"end")
        close();
    else if (key == u"settei")
        MenuSettei_Click();
    else if (key == u"score")
        MenuScore_Click();
    else if (key == u"help")
        openHowToPlay();
}

void Form1::Toolbar1_ButtonMenuClick(int index)
{
    if (index == 1)
        openStaff();
    else if (index == 2)
        MenuVersion_Click();
}

void Form1::MenuSettei_Click()
{
    if (gameRunning())
        return;
    const bool romaji = m_.romajiTyping;
    openSettingsDialog();
    // An option that cannot be written still holds for this run.
    if (m_.romajiTyping != romaji)
        WriteRomajiTyping(*options_, m_.romajiTyping);
    // Read ahead now, so the first cue of the next game is ready.
    sound_.setCueFiles(m_.heroSoundPath, m_.rivalSoundPath, m_.missSoundPath);
}

void Form1::applySoundOptions(const SoundOptions &sound, bool keep)
{
    soundOptions_ = sound;
    sound_.setMuted(!sound.on);
    sound_.setVolume(sound.volumePercent);
    MenuKoukaon->setChecked(sound.on);
    for (std::size_t i = 0; i < MenuOnryouStep.size(); ++i)
        MenuOnryouStep[i]->setChecked(kVolumeSteps[i] == sound.volumePercent);
    // An option that cannot be written still holds for this run.
    if (keep)
        WriteSoundOptions(*options_, sound);
}

void Form1::MenuScore_Click()
{
    if (!gameRunning())
        openScoreBoard();
}

void Form1::MenuKiroku_Click()
{
    if (!gameRunning())
        openHistory();
}

void Form1::MenuRenshuu_Click()
{
    if (gameRunning() || makingPractice_ || game_.shuttingDown())
        return;
    makingPractice_ = true;
    if (practiceWorker_.joinable())
        practiceWorker_.join();
    if (!practice_)
        practice_ = std::make_unique<PracticeMaker>();
    // Off the window's thread: the word list, the history and the dictionary
    // take a moment, the first time most of a second.
    HistoryStore *store = history_;
    const QString historyPath = store ? store->path() : QString();
    const QString folder = m_.dataFolder;
    ReaderSource *source = game_.readerSource();
    const auto seed = std::uint32_t(QDateTime::currentMSecsSinceEpoch());
    practiceWorker_ = std::thread([this, store, historyPath, folder, source, seed, maker = practice_.get()] {
        // The game just played counts once the store has written it.
        if (store)
            store->WaitForIdle(500);
        QString unused;
        std::shared_ptr<const Reader> reader = source ? source->reader(&unused) : nullptr;
        const PracticeMaker::Made made = maker->Make(historyPath, folder, std::move(reader), seed);
        // The window waits for this thread before it goes.
        QMetaObject::invokeMethod(
            this, [this, made] { startPractice(made.path, made.problem); }, Qt::QueuedConnection);
    });
}

void Form1::startPractice(const QString &path, const QString &problem)
{
    makingPractice_ = false;
    if (game_.shuttingDown())
        return;
    if (path.isEmpty()) {
        showMessage(problem);
        return;
    }
    // A game started meanwhile goes on; the practice waits for the next ask.
    if (gameRunning())
        return;
    restore_ = Restore{m_.trainingTextPath, m_.gameMode};
    m_.trainingTextPath = path;
    m_.gameMode = GameMode::Training;
    game_.ShowMode();
    game_.Command2_Click();
    // Refused, or over before it began: the player's own text at once.
    if (!gameRunning())
        endPractice();
}

void Form1::endPractice()
{
    if (!restore_)
        return;
    m_.trainingTextPath = restore_->trainingTextPath;
    m_.gameMode = restore_->gameMode;
    restore_.reset();
    game_.ShowMode();
}

void Form1::showKeyboard(bool on)
{
    MenuKeyboard->setChecked(on);
    keyboardStrip->setVisible(on);
    resize(client->width(),
           client->height() + menuBar()->sizeHint().height() + (on ? keyboardStrip->height() : 0));
}

void Form1::MenuVersion_Click()
{
    if (!gameRunning())
        openAbout();
}

void Form1::MenuRanking_Click()
{
    if (gameRunning())
        return;
    RankingSettings settings = ReadRankingSettings(*options_);
    if (!openRankingDialog(settings))
        return;
    const RankingSettings before = ranking_ ? ranking_->settings() : RankingSettings{};
    WriteRankingSettings(*options_, settings);  // a file that cannot be written: for this run
    if (settings.server == before.server && settings.group == before.group && settings.player == before.player)
        return;
    ranking_.reset();
    if (settings.configured())
        ranking_ = std::make_unique<SharedRanking>(settings, m_.dataFolder);
}

bool Form1::openRankingDialog(RankingSettings &settings)
{
    frmRanking window(settings, this);
    if (window.exec() != QDialog::Accepted)
        return false;
    settings = window.settings();
    return true;
}

void Form1::openSettingsDialog()
{
    Form4 window(m_, *this, sound_, dialogs_, this);
    window.exec();
}

void Form1::openScoreBoard()
{
    Form3 board(m_, nullptr, dialogs_, this);
    board.setSharedRanking(ranking_.get());
    board.exec();
}

void Form1::openHistory()
{
    if (!history_)
        return;
    frmHistory window(*history_, int(PlayedMode(m_.gameMode, m_.romajiTyping)), m_.timeLimitSeconds,
                      dialogs_, this);
    window.exec();
    if (window.practiceAsked())
        MenuRenshuu_Click();
}

void Form1::openResultScreen(const GameResult &result)
{
    Form2 window(m_, result, dialogs_, this);
    window.setSharedRanking(ranking_.get());
    window.exec();
}

void Form1::setHistoryStore(HistoryStore *store)
{
    if (history_)
        disconnect(history_, nullptr, this, nullptr);
    history_ = store;
    MenuKiroku->setEnabled(store != nullptr);
    if (!store)
        return;
    // The store tells from its own thread.
    connect(store, &HistoryStore::noticeReady, this, &Form1::tellHistoryNotices, Qt::QueuedConnection);
    // Trouble with the file may have been found before this connection.
    QMetaObject::invokeMethod(this, &Form1::tellHistoryNotices, Qt::QueuedConnection);
}

void Form1::tellHistoryNotices()
{
    // Never in the way of a game: what comes during one, or while its
    // result is shown, waits for the end of that.
    if (!history_ || gameRunning() || endingGame_ || game_.shuttingDown())
        return;
    for (const QString &notice : history_->TakeNotices())
        dialogs_.message(this, kApplicationTitle, notice, Dialogs::Look::Warning);
}

void Form1::openHowToPlay()
{
    Form6 window(this);
    window.exec();
}

void Form1::openStaff()
{
    Form5 window(this);
    window.exec();
}

void Form1::openAbout()
{
    frmAbout window(dialogs_, this);
    window.exec();
}

// ---- Screen -----------------------------------------------------------------

QString Form1::inputText() const { return Text1->text(); }

void Form1::setText(Box box, const QString &text)
{
    switch (box) {
    case Box::Text1: Text1->setText(text); break;
    case Box::Text4:
        // The box shows a few dozen characters; laying out the whole
        // 12,000-letter rival line on every key would cost milliseconds.
        Text4->setText(text.left(kShownTargetLength));
        Text4->setCursorPosition(0);
        break;
    case Box::Text3: ShowInBox(Text3, text); break;
    case Box::Label4: Label4->setText(text); break;
    case Box::Text5_0:
    case Box::Text5_1: {
        // The game keeps the CR LF line ends; the widget knows line feeds.
        const int i = box == Box::Text5_0 ? 0 : 1;
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        Text5[i]->setPlainText(shown);
        break;
    }
    default: ShowInBox(Text2[int(box) - int(Box::Text2_3) + 3], text); break;
    }
}

void Form1::setLabel4Color(Rgb color) { SetColors(Label4, int(color), kNone); }

void Form1::setModeLabel(const QString &caption, Rgb color)
{
    Label1->setText(caption);
    SetColors(Label1, int(color), kBlack);
}

void Form1::setInputMethod(InputMethod mode)
{
    const bool japanese = mode == InputMethod::Hiragana;
    Text1->setAttribute(Qt::WA_InputMethodEnabled, japanese);
    Text1->setInputMethodHints(japanese ? Qt::ImhNone
                                        : Qt::ImhLatinOnly | Qt::ImhNoPredictiveText);
    if (!Text1->hasFocus())
        return;
    QGuiApplication::inputMethod()->update(Qt::ImEnabled | Qt::ImHints);
    if (japanese && inputMethodSwitch_)
        inputMethodSwitch_->turnOn();
}

void Form1::setInputGuide(const QString &rest) { static_cast<InputBox *>(Text1)->setGuide(rest); }

QString Form1::inputGuide() const { return static_cast<const InputBox *>(Text1)->guide(); }

void Form1::setNextKey(QChar key, bool missed)
{
    if (!keyboardStrip)
        return;
    keyboardStrip->setNextKey(key);
    if (missed)
        keyboardStrip->flashKey(key);
}

void Form1::setBackground(Rgb color)
{
    background_ = color;
    SetContainerColor(centralWidget(), color);
    SetContainerColor(Frame1, color);
}

void Form1::focusInput() { Text1->setFocus(); }

void Form1::showMessage(const QString &text) { dialogs_.message(this, kApplicationTitle, text); }

// ---- Window events -------------------------------------------------------------

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        // Enter belongs to the hidden default button, not to the input box.
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            return false;
        if (key->key() == Qt::Key_Backspace)
            game_.Text1_KeyPress(8);
        else if (!key->text().isEmpty())
            game_.Text1_KeyPress(key->text().at(0).unicode());
        // The key always reaches the box afterwards.
    }
    if (watched == Text1 && event->type() == QEvent::InputMethod) {
        // Text the input method commits counts as key presses of its own
        // characters. Composed Japanese is never printable ASCII, so its
        // change waits for Enter, even when the key typed before was a letter.
        const QString committed = static_cast<QInputMethodEvent *>(event)->commitString();
        for (const QChar c : committed)
            game_.Text1_KeyPress(c.unicode());
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    // Enter presses the button that has the focus (the hidden stop button);
    // anywhere else in the window it presses the default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto *focused = qobject_cast<QPushButton *>(focusWidget());
        (focused ? focused : Command1)->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void Form1::Form_Load()
{
    // Only a file read to its end sets the labels; otherwise they keep the
    // mode-1 caption and an empty time until something else sets them.
    if (!LoadSettings(m_, m_))
        return;
    game_.ShowMode();
    game_.ShowTimeLimit();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing never asks and is never refused, also in the middle of a game.
    game_.Shutdown();
    Timer1->stop();
    // The practice text is never saved as the player's training text.
    endPractice();
    QString error;
    if (!SaveSettings(m_, m_, &error)) {
        showMessage(QStringLiteral("設定を保存できませんでした。\n%1\n\n%2")
                        .arg(QDir::toNativeSeparators(SettingsPath(m_)), error));
    }
    event->accept();
}

}  // namespace typetoki
