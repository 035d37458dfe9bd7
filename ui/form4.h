#pragma once
// The settings dialog: time limit, training text, the three sounds and the
// training pause. It edits copies in its own fields and hands them to the
// game state only on OK; the settings file is written by the main window when
// it closes.

#include "engine/gamestate.h"
#include "engine/interfaces.h"
#include "ui/dialogs.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;

namespace typetoki {

// Why the play button cannot play the file at path, for its message box;
// empty for SoundProblem::None.
QString SoundProblemText(SoundProblem problem, const QString &path);

class Form4 : public QDialog {
    Q_OBJECT
public:
    // Fills itself from the game state at once. A pause of exactly 0 becomes
    // 0.01 in the game state right here, whether or not OK follows.
    Form4(Module1 &state, Screen &mainWindow, Sound &sound, Dialogs &dialogs = SystemDialogs(),
          QWidget *parent = nullptr);

    int currentPage() const { return currentPage_; }
    // The name the file dialog offers when it opens next.
    const QString &rememberedFileName() const { return rememberedName_; }

    // Controls, named as the window's design names them; arrays are indexed
    // as there (Frame1 from 1 to 5, index 0 unused).
    QTabWidget *TabStrip1 = nullptr;
    std::array<QWidget *, 6> Frame1{};
    std::array<QRadioButton *, 6> Option1{};
    QLabel *Label9 = nullptr;
    QLineEdit *Text1 = nullptr;
    QPushButton *Command3 = nullptr;
    QCheckBox *Check1 = nullptr;  // training texts typed as romaji
    std::array<QPushButton *, 3> Command6{};
    std::array<QLabel *, 3> Label3{};
    std::array<QLineEdit *, 3> Text2{};
    std::array<QPushButton *, 3> Command5{};
    std::array<QPushButton *, 3> Command7{};
    std::array<QLabel *, 1> Label6{};
    std::array<QLineEdit *, 1> Text3{};
    std::array<QSlider *, 1> Slider1{};
    QLabel *Label7 = nullptr;
    QLabel *Label10 = nullptr;
    QLabel *Label11 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    std::array<QLabel *, 1> Label1{};
    QLabel *Label2 = nullptr;

    // Handlers.
    void TabStrip1_Click();
    void Slider1_Scroll();
    void Command6_Click(int index);
    void Command3_Click();
    void Command7_Click(int index);
    void Command5_Click(int index);
    void Command1_Click();
    void Command2_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void Form_Load();
    void setSliderQuietly(int position);

    Module1 &m_;
    Screen &mainWindow_;
    Sound &sound_;
    Dialogs &dialogs_;
    QString rememberedName_;
    int currentPage_ = 1;
};

}  // namespace typetoki
