#pragma once
// The high-score board: the ten best results of one game mode and time
// limit, ranked by score, correct characters, speed or accuracy. Opened after
// a game it carries the new result in an entry row at its foot, where the
// player names it and registers it; opened from the main window it only
// browses.

#include "engine/gamemode.h"
#include "engine/gameresult.h"
#include "engine/gamestate.h"
#include "persistence/scorefile.h"
#include "ui/dialogs.h"

#include <QDateTime>
#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace typetoki {

class SharedRanking;

// When a result was registered, as the date column shows it: the system's
// short date, two blanks, the time with its seconds.
QString PlayedAtText(const QDateTime &when);

class Form3 : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPlaces = 10;
    static constexpr int kEntryRow = 10;
    using Column = std::array<QLineEdit *, kPlaces + 1>;

    // Reads the high-score file and lists the group of the current settings
    // by score; with a result waiting (scoreBoardFlag 1) fills the entry row
    // from the finished game's figures.
    Form3(Module1 &state, const GameResult *finished, Dialogs &dialogs = SystemDialogs(),
          QWidget *parent = nullptr);

    GameMode filterMode() const { return filterMode_; }
    std::int16_t filterTime() const { return filterTime_; }
    std::int16_t sortColumn() const { return sortColumn_; }
    const ScoreTable &scores() const { return scores_; }

    // Controls, named as the window's design names them. The columns, left
    // to right: name, score, correct characters, speed, accuracy, date.
    Column Text1{};  // name
    Column Text2{};  // score
    Column Text5{};  // correct characters
    Column Text3{};  // speed
    Column Text4{};  // accuracy
    Column Text6{};  // date
    QLineEdit *Text7 = nullptr;  // the sort column's name
    QLineEdit *Text8 = nullptr;  // the listed time limit
    QLineEdit *Text9 = nullptr;  // the listed mode
    QPushButton *Command1 = nullptr;  // sort by score
    QPushButton *Command2 = nullptr;  // sort by speed
    QPushButton *Command3 = nullptr;  // sort by accuracy
    QPushButton *Command4 = nullptr;  // sort by correct characters
    QPushButton *Command5 = nullptr;  // OK
    std::array<QPushButton *, std::size(kTimeLimits)> Command6{};  // time limits
    std::array<QPushButton *, kModeCount> Command7{};             // modes, in table order
    QGroupBox *Frame1 = nullptr;
    QRadioButton *Option1 = nullptr;  // highlight the sort column
    QRadioButton *Option2 = nullptr;  // keep every column plain
    // With boards shared on a server: この PC (Option3) or みんな (Option4).
    QGroupBox *Frame2 = nullptr;
    QRadioButton *Option3 = nullptr;
    QRadioButton *Option4 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    std::array<QLabel *, kPlaces> Label3{};
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    std::array<QLabel *, 3> Label6{};  // 0 and 2; 1 was never drawn

    // The window's handlers.
    void SortButton_Click(int field);  // Command1 to Command4 by their field
    void Command5_Click();
    void Command6_Click(int index);
    void Command7_Click(int index);
    void Option2_Click();

    // Every way of closing comes here; a waiting result is registered first.
    void done(int result) override;

    // The boards shared on a server, which outlive the board. With one set
    // up the toggle この PC / みんな stands beside the option frame (the
    // window grows by its width; nothing else moves), and each result
    // registered is also queued for the server. みんな lists the group's
    // ten best from the server, read on the client's thread; the caption
    // tells when the rows are not (yet) the server's answer.
    void setSharedRanking(SharedRanking *ranking);
    void Option4_Click(bool shared);
    static constexpr int kServerWaitMs = 2000;

private:
    void buildControls();
    void fitDateColumn();
    void load(const GameResult *finished);
    void ClearBoard();
    void ShowTopTen(int field, GameMode mode, int timeLimit);
    void AddPendingResult();
    // Lists a group from this PC's file or, with みんな chosen, the server.
    void ListGroup(int field, GameMode mode, int timeLimit);
    void AskServer();
    void ServerAnswered(quint64 ticket);
    void ShowServerRows(const std::vector<ScoreRecord> &rows);
    void SetSharedCaption(const QString &state);

    Module1 &m_;
    Dialogs &dialogs_;
    // The mode the settings play, which the game just ended was played in
    // (the settings cannot change during a game): the group the board opens
    // on and registers into.
    GameMode mode_;
    ScoreTable scores_;
    GameMode filterMode_ = GameMode(0);
    std::int16_t filterTime_ = 0;
    std::int16_t sortColumn_ = 2;

    SharedRanking *ranking_ = nullptr;
    bool shared_ = false;
    quint64 ticket_ = 0;  // the server's answer the board waits for
    struct Listed {
        int field;
        GameMode mode;
        int timeLimit;
    } listed_{kPoints, GameMode(0), 0};
};

}  // namespace typetoki
