#include "ui/form4.h"

#include "engine/game.h"
#include "engine/gamemode.h"
#include "engine/numbers.h"
#include "engine/targetlines.h"
#include "ui/artwork.h"
#include "ui/layout.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace typetoki {

namespace {

const QString kTextFilter = QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|全てのﾌｧｲﾙ(*.*)|*.*");
const QString kSoundFilter = QStringLiteral("WAVﾌｧｲﾙ(*.wav)|*.wav|全てのﾌｧｲﾙ(*.*)|*.*");
const QString kBrowseErrorTitle = QStringLiteral("ひよわ！ひよわァァッ！");

// One slider step is a hundredth of a second.
constexpr int kSliderMaximum = 50;
constexpr int kSliderReset = 20;

const char *const kTabCaptions[] = {"制限時間", "文章", "音声", "速度", "設定の保存"};

// Page 1: the options, one for each time limit in its order, which is also
// the order OK examines them in.
const ControlDesign kTimeOptions[std::size(kTimeLimits)] = {
    {120, 720, 1092, 252, nullptr},   {120, 1080, 1092, 252, nullptr},
    {1560, 720, 1092, 252, nullptr},  {1560, 1080, 1092, 252, nullptr},
    {3000, 720, 1200, 180, nullptr},  {3000, 1080, 1092, 252, nullptr},
};
constexpr int kDesignTimeOption = 2;  // "60秒"

const Qt::Alignment kTopRight = Qt::AlignRight | Qt::AlignTop;

// Page 2: the training text.
const Designed<Form4> kTextPage[] = {
    {ControlOf<&Form4::Label9>,
     {120, 480, 3612, 252, "「4.修行モード」で使う文章を設定します．", kNoColor, kNoColor, kTopLeft, 0, false,
      true}},
    {ControlOf<&Form4::Text1>, {120, 840, 3732, 372}},
    {ControlOf<&Form4::Command3>, {3960, 840, 612, 372, "参照"}},
    {ControlOf<&Form4::Command6, 0>, {1920, 1440, 852, 372, "初期状態"}},
    {ControlOf<&Form4::Check1>, {120, 120, 4452, 300, "ローマ字で入力する（IMEを使わない）"}},
};

// Page 3: the sounds, one row per cue.
const Designed<Form4> kSoundPage[] = {
    {ControlOf<&Form4::Label3, 0>,
     {480, 360, 612, 252, "エヤ！", kNoColor, kNoColor, kTopRight, 0, false, true}},
    {ControlOf<&Form4::Text2, 0>, {1200, 240, 2292, 372}},
    {ControlOf<&Form4::Command5, 0>, {3480, 240, 492, 372, "再生"}},
    {ControlOf<&Form4::Command7, 0>, {3960, 240, 612, 372, "参照"}},
    {ControlOf<&Form4::Label3, 1>,
     {480, 720, 612, 252, "非苦！", kNoColor, kNoColor, kTopRight, 0, false, true}},
    {ControlOf<&Form4::Text2, 1>, {1200, 600, 2292, 372}},
    {ControlOf<&Form4::Command5, 1>, {3480, 600, 492, 372, "再生"}},
    {ControlOf<&Form4::Command7, 1>, {3960, 600, 612, 372, "参照"}},
    {ControlOf<&Form4::Label3, 2>,
     {120, 1200, 972, 252, "やられた声", kNoColor, kNoColor, kTopRight, 0, false, true}},
    {ControlOf<&Form4::Text2, 2>, {1200, 1080, 2292, 372}},
    {ControlOf<&Form4::Command5, 2>, {3480, 1080, 492, 372, "再生"}},
    {ControlOf<&Form4::Command7, 2>, {3960, 1080, 612, 372, "参照"}},
    {ControlOf<&Form4::Command6, 1>, {1920, 1560, 852, 372, "初期状態"}},
};

// Page 4: the training pause.
const Designed<Form4> kPausePage[] = {
    {ControlOf<&Form4::Label6, 0>,
     {120, 600, 1452, 252, "文字打ち速度(s)", kNoColor, kNoColor, kTopRight, 0, false, true}},
    {ControlOf<&Form4::Text3, 0>, {1680, 480, 612, 372, "0.2"}},
    {ControlOf<&Form4::Slider1, 0>, {2280, 600, 2292, 252}},
    {ControlOf<&Form4::Label7>,
     {360, 960, 4092, 852,
      "「4.修行モード」の入力スピードです。ゲームモード4では、入力中カウントダウンが止まるので、"
      "一番しっくりくる値を選んでください。CPUスピードによって違います。",
      kNoColor, kNoColor, kTopLeft, 0, false, true}},
    {ControlOf<&Form4::Command6, 2>, {2040, 1560, 852, 372, "初期状態"}},
};

// Page 5: a notice only.
const Designed<Form4> kSavePage[] = {
    {ControlOf<&Form4::Label10>,
     {1320, 600, 2052, 252, "ごめん、工事中！！", kNoColor, kNoColor, kTopLeft, 0, false, true}},
    {ControlOf<&Form4::Label11>,
     {480, 1080, 3972, 732,
      "けど、設定はアプリケーションを終了しても自動的に保存され、次回起動時に自動的に再現されます．",
      kNoColor, kNoColor, kTopLeft, 0, false, true}},
};

// Below the strip.
const Designed<Form4> kBelow[] = {
    {ControlOf<&Form4::Command1>, {360, 2880, 1332, 372, "エヤエヤエヤ"}},
    {ControlOf<&Form4::Command2>, {2640, 2880, 1332, 372, "非苦非苦非苦"}},
    {ControlOf<&Form4::Label1, 0>,
     {240, 3360, 1932, 372, "OKなら「エヤエヤエヤ」", kNoColor, kNoColor, kTopLeft, 0, false, true}},
    {ControlOf<&Form4::Label2>,
     {2400, 3360, 2292, 372, "ｷｬﾝｾﾙなら「非苦非苦非苦」", kNoColor, kNoColor, kTopLeft, 0, false, true}},
};

// A path longer than its box shows its start, as the player reads it.
void ShowPath(QLineEdit *box, const QString &path)
{
    box->setText(path);
    box->setCursorPosition(0);
}

// Single precision as the game state keeps it. A number too large for it
// would be infinity, which no pause can wait out and the settings file could
// not read back, so it stops at the largest single.
float PauseFromText(const QString &text)
{
    const double typed = ReadNumber(text);
    if (std::isnan(typed))
        return 0;
    return float(std::clamp(typed, -double(FLT_MAX), double(FLT_MAX)));
}

}  // namespace

Form4::Form4(Module1 &state, Screen &mainWindow, Sound &sound, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_(state), mainWindow_(mainWindow), sound_(sound), dialogs_(dialogs)
{
    setWindowTitle(QStringLiteral("ゲームの設定ｨｨｨｨ"));
    setWindowIcon(QIcon(ToolbarPicture(QStringLiteral("settei"))));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFont(JapaneseFont(9));
    setFixedSize(Px(5172), Px(3876));
    buildControls();
    Form_Load();

    // Every click on the strip counts, also one on the tab already selected
    // (it arrives before any change of tab, so it sees the old one).
    connect(TabStrip1, &QTabWidget::tabBarClicked, this, &Form4::TabStrip1_Click);
    connect(TabStrip1, &QTabWidget::currentChanged, this, &Form4::TabStrip1_Click);
    // Programmatic moves go through setSliderQuietly, so only the player's
    // moves arrive here.
    connect(Slider1[0], &QSlider::valueChanged, this, &Form4::Slider1_Scroll);
    for (int i = 0; i < 3; ++i) {
        connect(Command6[i], &QPushButton::clicked, this, [this, i] { Command6_Click(i); });
        connect(Command5[i], &QPushButton::clicked, this, [this, i] { Command5_Click(i); });
        connect(Command7[i], &QPushButton::clicked, this, [this, i] { Command7_Click(i); });
    }
    connect(Command3, &QPushButton::clicked, this, &Form4::Command3_Click);
    connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);
}

void Form4::buildControls()
{
    // The strip's own pages stay empty: the five frames lie over them, so
    // that switching shows and hides the frames themselves.
    TabStrip1 = new QTabWidget(this);
    ApplyDesign(TabStrip1, {120, 240, 4932, 2532});
    for (const char *caption : kTabCaptions)
        TabStrip1->addTab(new QWidget, QString::fromUtf8(caption));
    for (int n = 1; n <= 5; ++n) {
        Frame1[n] = new QWidget(this);
        ApplyDesign(Frame1[n], {240, 600, 4692, 2052});
        Frame1[n]->setVisible(n == 1);
    }

    for (int i = 0; i < int(Option1.size()); ++i) {
        Option1[i] = new QRadioButton(TimeLimitText(kTimeLimits[i]), Frame1[1]);
        ApplyDesign(Option1[i], kTimeOptions[i]);
        // "180秒" is designed lower than its circle; cut off, the circle looks
        // broken. It grows about its middle, so the caption stays put.
        QRect place = Option1[i]->geometry();
        const int missing =
            Option1[i]->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, nullptr,
                                             Option1[i])
            - place.height();
        if (missing > 0) {
            place.adjust(0, -missing / 2, 0, missing - missing / 2);
            Option1[i]->setGeometry(place);
        }
    }
    Option1[kDesignTimeOption]->setChecked(true);

    BuildDesign(*this, Frame1[2], kTextPage);
    BuildDesign(*this, Frame1[3], kSoundPage);
    BuildDesign(*this, Frame1[4], kPausePage);
    Slider1[0]->setOrientation(Qt::Horizontal);
    Slider1[0]->setRange(0, kSliderMaximum);
    Slider1[0]->setSingleStep(1);
    Slider1[0]->setPageStep(5);
    BuildDesign(*this, Frame1[5], kSavePage);
    BuildDesign(*this, this, kBelow);

    for (QLineEdit *box : {Text1, Text2[0], Text2[1], Text2[2], Text3[0]})
        box->setMaxLength(std::numeric_limits<int>::max());
    // No button is the default one, so none may look like it.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);
}

void Form4::Form_Load()
{
    ShowPath(Text2[0], m_.heroSoundPath);
    ShowPath(Text2[1], m_.rivalSoundPath);
    ShowPath(Text2[2], m_.missSoundPath);
    ShowPath(Text1, m_.trainingTextPath);
    Check1->setChecked(m_.romajiTyping);

    // The game takes a pause of 0 for "never set"; the change stays even if
    // the dialog is then cancelled.
    if (m_.sliderValue == 0)
        m_.sliderValue = 0.01f;

    // A pause outside the slider's range (from the settings file) puts the
    // slider at its nearest end; the value box still shows the pause itself,
    // and that is what OK keeps.
    const double position = RoundHalfEven(double(m_.sliderValue * 100.0f));
    setSliderQuietly(position > 0 ? int(std::min(position, double(kSliderMaximum))) : 0);
    Text3[0]->setText(FormatSingle(m_.sliderValue));

    currentPage_ = 1;

    // A limit none of the options offers (90 from the settings file) leaves
    // "60秒", so OK turns it into 60.
    for (int i = 0; i < 6; ++i) {
        if (kTimeLimits[i] == m_.timeLimitSeconds)
            Option1[i]->setChecked(true);
    }
}

void Form4::setSliderQuietly(int position)
{
    const QSignalBlocker quiet(Slider1[0]);
    Slider1[0]->setValue(position);
}

void Form4::TabStrip1_Click()
{
    const int n = TabStrip1->currentIndex() + 1;
    if (n == currentPage_)
        return;
    // Showing first and hiding second would blank the page if both were the
    // same frame; the test above keeps them apart.
    Frame1[n]->setVisible(true);
    Frame1[currentPage_]->setVisible(false);
    currentPage_ = n;
}

void Form4::Slider1_Scroll()
{
    const int position = Slider1[0]->value();
    Text3[0]->setText(FormatNumber(position / 100.0));
    // No pause at all would read as "never set"; the shortest is 0.01.
    if (position == 0)
        Text3[0]->setText(QStringLiteral("0.01"));
}

void Form4::Command6_Click(int index)
{
    switch (index) {
    case 0:
        ShowPath(Text1, m_.inProgramFolder(QStringLiteral("test.txt")));
        break;
    case 1:
        ShowPath(Text2[0], m_.inProgramFolder(QStringLiteral("eya.wav")));
        ShowPath(Text2[1], m_.inProgramFolder(QStringLiteral("hiku.wav")));
        ShowPath(Text2[2], m_.inProgramFolder(QStringLiteral("ahh.wav")));
        break;
    case 2:
        setSliderQuietly(kSliderReset);
        Text3[0]->setText(FormatNumber(kSliderReset / 100.0));
        break;
    default:
        break;
    }
}

void Form4::Command3_Click()
{
    const FileDialogAnswer answer = dialogs_.openFile(this, kTextFilter, rememberedName_);
    if (answer.outcome == FileDialogAnswer::Chosen && !answer.fileName.isEmpty()) {
        ShowPath(Text1, answer.fileName);
        rememberedName_ = answer.fileName;
        // The same reading a training game does later, so a file that passes
        // here will also load then.
        if (ReadTrainingText(answer.fileName))
            return;
    } else if (answer.outcome != FileDialogAnswer::Failed) {
        return;  // cancelled
    }
    dialogs_.message(this, kBrowseErrorTitle, kTrainingTextError);
    rememberedName_.clear();
    Text1->clear();
}

void Form4::Command7_Click(int index)
{
    // A sound is not tried here; the play button is there for that. A failed
    // dialog leaves the row as it was.
    const FileDialogAnswer answer = dialogs_.openFile(this, kSoundFilter, rememberedName_);
    if (answer.outcome != FileDialogAnswer::Chosen || answer.fileName.isEmpty())
        return;
    ShowPath(Text2[index], answer.fileName);
    rememberedName_ = answer.fileName;
}

QString SoundProblemText(SoundProblem problem, const QString &path)
{
    QString why;
    switch (problem) {
    case SoundProblem::None: return {};
    case SoundProblem::Missing: why = QStringLiteral("ファイルが見つかりません。"); break;
    case SoundProblem::NotSound:
        why = QStringLiteral("音声ファイルではないか、読めない形式です。");
        break;
    case SoundProblem::TooLong:
        why = QStringLiteral("音声が長すぎます。効果音は10秒（16MB）までです。");
        break;
    }
    return why + u'\n' + path;
}

void Form4::Command5_Click(int index)
{
    // The box as it stands now: the player hears a file before keeping it,
    // or learns why it would be silent in a game.
    sound_.stop();
    const QString path = Text2[index]->text();
    const SoundProblem problem = sound_.preview(path);
    if (problem != SoundProblem::None)
        dialogs_.message(this, kApplicationTitle, SoundProblemText(problem, path));
}

void Form4::Command1_Click()
{
    // Paths are kept as typed; a bad one shows up when it is used.
    m_.heroSoundPath = Text2[0]->text();
    m_.rivalSoundPath = Text2[1]->text();
    m_.missSoundPath = Text2[2]->text();
    m_.trainingTextPath = Text1->text();
    m_.romajiTyping = Check1->isChecked();
    // Also a negative pause or one beyond the slider's range: the game waits
    // for nothing or for as long as asked.
    m_.sliderValue = PauseFromText(Text3[0]->text());
    for (int i = 0; i < 6; ++i) {
        if (Option1[i]->isChecked()) {
            m_.timeLimitSeconds = std::int16_t(kTimeLimits[i]);
            break;
        }
    }
    mainWindow_.setText(Box::Label4, QString::number(m_.timeLimitSeconds));
    accept();
}

void Form4::Command2_Click() { reject(); }

void Form4::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // There is no cancel button for Esc to press.
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Nor a default button: Enter presses only a button that has the
        // focus, as on Windows.
        if (auto *button = qobject_cast<QPushButton *>(focusWidget()))
            button->click();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

}  // namespace typetoki
