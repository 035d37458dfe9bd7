#pragma once
// The main window: the game area that the player types in. Every rule of play
// lives in Game; the window shows what the game writes and forwards the
// player's keys, clicks and the clock's ticks.

#include "engine/game.h"

#include <QHash>
#include <QMainWindow>
#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace typetoki {

class Form1 : public QMainWindow, public Screen {
    Q_OBJECT
public:
    Form1(Module1 &state, Platform platform, QWidget *parent = nullptr);
    ~Form1() override;

    Game &game() { return game_; }

    // Screen
    QString text(Box box) const override;
    void setText(Box box, const QString &text) override;
    void setLabel4Color(Rgb color) override;
    void setModeLabel(const QString &caption, Rgb color) override;
    void setInputMethod(InputMethod mode) override;
    void setBackground(Rgb color) override;
    void focusInput() override;
    void showMessage(const QString &text) override;

    InputMethod inputMethod() const { return inputMethod_; }
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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildGameArea();

    Module1 &m_;
    Game game_;
    // The echo boxes keep their CR LF line ends here exactly as the game
    // wrote them; the widget itself only knows line feeds.
    std::array<QString, 2> echoText_;
    InputMethod inputMethod_ = InputMethod::Hiragana;
    Rgb background_ = kGreenBackground;
};

}  // namespace typetoki
