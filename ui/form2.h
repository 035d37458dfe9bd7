#pragma once
// The result screen: the figures of the game just finished, graded with a
// rank title and comment, and the echo record. Closing it, by OK or by the
// close box, leads to the high-score board.

#include "engine/gamestate.h"
#include "engine/interfaces.h"
#include "engine/rank.h"

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace typetoki {

class Form2 : public QDialog {
    Q_OBJECT
public:
    // Reads the finished game's figures from the main window's boxes and the
    // echo record from the game state, and grades the game.
    Form2(Module1 &state, const Screen &mainWindow, QWidget *parent = nullptr);

    std::int16_t rankIndex() const { return rankIndex_; }

    // Controls, named as the window's design names them.
    QGroupBox *Frame1 = nullptr;
    std::array<QLabel *, 8> Label2{};     // 3 to 7
    std::array<QLineEdit *, 8> Text2{};   // 3 to 7
    QLabel *Label3 = nullptr;
    QLineEdit *Text3 = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label1 = nullptr;
    QPlainTextEdit *Text6 = nullptr;
    QPushButton *Command1 = nullptr;
    std::array<QLabel *, 2> Label6{};

    // Every way of closing comes here: the board is shown first, over this
    // screen, and only then does the screen go away.
    void done(int result) override;

protected:
    // The high-score board, modal; a test may put its own in place.
    virtual void openScoreBoard();

private:
    void buildControls();
    void load();

    Module1 &m_;
    const Screen &mainWindow_;
    std::int16_t rankIndex_ = 0;
    bool closing_ = false;
};

}  // namespace typetoki
