#pragma once
// The result screen: the figures of the game just finished, graded with a
// rank title and comment, and the echo record. Closing it, by OK or by the
// close box, leads to the high-score board.

#include "engine/gameresult.h"
#include "engine/gamestate.h"
#include "ui/dialogs.h"

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

class SharedRanking;

class Form2 : public QDialog {
    Q_OBJECT
public:
    // Shows the finished game's figures, grade and echo record; the game
    // state is the board's, which this screen opens.
    Form2(Module1 &state, const GameResult &result, Dialogs &dialogs = SystemDialogs(),
          QWidget *parent = nullptr);

    int rankIndex() const { return result_.rankIndex; }
    // Handed on to the board this screen opens.
    void setSharedRanking(SharedRanking *ranking) { ranking_ = ranking; }

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
    const GameResult result_;
    SharedRanking *ranking_ = nullptr;
    Dialogs &dialogs_;
    bool closing_ = false;
};

}  // namespace typetoki
