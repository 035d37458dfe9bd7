#pragma once
// The main window: the game area that the player types in. Every rule of play
// lives in Game; the window shows what the game writes and forwards the
// player's keys, clicks and the clock's ticks.

#include "engine/game.h"
#include "persistence/options.h"
#include "persistence/sharedranking.h"
#include "ui/dialogs.h"
#include "platform/inputmethodswitch.h"

#include <QHash>
#include <QMainWindow>
#include <array>
#include <memory>
#include <optional>
#include <thread>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace typetoki {

class HistoryStore;
class SharedRanking;
class KeyboardPicture;
class PracticeMaker;

class Form1 : public QMainWindow, public Screen {
    Q_OBJECT
public:
    Form1(Module1 &state, Platform platform, Dialogs &dialogs = SystemDialogs(),
          QWidget *parent = nullptr);
    ~Form1() override;

    Game &game() { return game_; }

    // Screen
    QString inputText() const override;
    void setText(Box box, const QString &text) override;
    void setLabel4Color(Rgb color) override;
    void setModeLabel(const QString &caption, Rgb color) override;
    void setInputMethod(InputMethod mode) override;
    void setInputGuide(const QString &rest) override;
    QString inputGuide() const;
    void setNextKey(QChar key, bool missed) override;
    void setBackground(Rgb color) override;
    void focusInput() override;
    void showMessage(const QString &text) override;

    // Where the desktop lets a program turn its input method on, ordinary
    // lines ask for Japanese entry through this; without it they only allow it.
    void setInputMethodSwitch(InputMethodSwitch *control) { inputMethodSwitch_ = control; }
    // Where every game is recorded as it ends, and what the statistics
    // window shows; without one, no game is kept and the window cannot open.
    // The store outlives the window.
    void setHistoryStore(HistoryStore *store);
    Rgb background() const { return background_; }

    // Controls, named as the game names them.
    QWidget *client = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text3 = nullptr;
    QLineEdit *Text4 = nullptr;
    std::array<QLineEdit *, 8> Text2{};       // 3 to 7
    std::array<QPlainTextEdit *, 2> Text5{};
    std::array<QLabel *, 8> Label2{};         // 3 to 7
    std::array<QLabel *, 2> Label6{};
    QLabel *Label1 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command4 = nullptr;
    QPushButton *Command5 = nullptr;
    QTimer *Timer1 = nullptr;
    // Under the game area, shown from the menu: the next key and its finger.
    KeyboardPicture *keyboardStrip = nullptr;

    // Menus and toolbar.
    QAction *MenuStart = nullptr;
    QAction *MenuEnd = nullptr;
    QAction *MenuSettei = nullptr;
    QAction *MenuScore = nullptr;
    QAction *MenuKiroku = nullptr;                 // the statistics window
    QAction *MenuRanking = nullptr;                // boards shared on a server
    QAction *MenuRenshuu = nullptr;                // a practice made for the player
    QAction *MenuKeyboard = nullptr;               // the keyboard strip
    QAction *MenuKoukaon = nullptr;                // cues on or off
    QMenu *MenuOnryou = nullptr;                   // their volume
    std::array<QAction *, 4> MenuOnryouStep{};     // as kVolumeSteps
    QAction *gao = nullptr;
    QAction *hiyowa = nullptr;
    QAction *seigi = nullptr;
    QAction *MenuAsobikata = nullptr;
    QAction *staff = nullptr;
    QAction *MenuVersion = nullptr;
    QToolBar *Toolbar1 = nullptr;
    QToolButton *stuffButton = nullptr;

    // A toolbar button by its key, a drop-down entry of "stuff" by its
    // position (1 or 2).
    void Toolbar1_ButtonClick(const QString &key);
    void Toolbar1_ButtonMenuClick(int index);

    // The commands refused while a game runs.
    void MenuSettei_Click();
    void MenuScore_Click();
    void MenuKiroku_Click();
    void MenuRenshuu_Click();
    void MenuVersion_Click();
    void MenuRanking_Click();

    // The client of the shared boards, while [ranking] names a server.
    SharedRanking *sharedRanking() const { return ranking_.get(); }

    // Shows or hides the keyboard strip; the window grows or shrinks by it.
    void showKeyboard(bool on);
    // A practice text is being made on its worker.
    bool makingPractice() const { return makingPractice_; }

    // The secondary windows, each modal and made afresh.
    virtual void openSettingsDialog();
    virtual void openScoreBoard();
    virtual void openHistory();
    // The ランキング dialog; true when the player chose OK.
    virtual bool openRankingDialog(RankingSettings &settings);
    // The result screen of a game ended by time, which leads on to the board.
    virtual void openResultScreen(const GameResult &result);
    virtual void openHowToPlay();
    virtual void openStaff();
    virtual void openAbout();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildGameArea();
    void Form_Load();
    void buildMenus();
    void buildToolbar();
    bool gameRunning() const { return m_.gamePhase != kIdle; }
    // Hands the options to the sound and the menu, and keeps them.
    void applySoundOptions(const SoundOptions &sound, bool keep);
    // Shows what the history has to tell, unless a game or its result
    // screen is under way; then it waits for the end of that.
    void tellHistoryNotices();

    // A practice made: played as the training text (as romaji when that is
    // the player's choice), and the player's own text back afterwards.
    void startPractice(const QString &path, const QString &problem);
    void endPractice();

    Module1 &m_;
    Sound &sound_;
    Dialogs &dialogs_;
    Game game_;
    InputMethodSwitch *inputMethodSwitch_ = nullptr;
    HistoryStore *history_ = nullptr;
    bool endingGame_ = false;  // the result screen and the board are open
    Rgb background_ = kGreenBackground;
    std::unique_ptr<Options> options_;
    SoundOptions soundOptions_;
    std::unique_ptr<SharedRanking> ranking_;
    // Practice: what the player had before it, while it plays.
    struct Restore {
        QString trainingTextPath;
        GameMode gameMode;
    };
    std::optional<Restore> restore_;
    std::unique_ptr<PracticeMaker> practice_;
    std::thread practiceWorker_;
    bool makingPractice_ = false;
};

}  // namespace typetoki
