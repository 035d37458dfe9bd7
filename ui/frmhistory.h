#pragma once
// 成績の記録: every game the player has played, one mode and time limit at a
// time. How speed and accuracy grew, the keys that slip or hold the player
// back, the time each chant unit took, the last games, and the whole history
// saved as CSV. Abandoned games stay out of the charts unless asked for.

#include "engine/gameresult.h"
#include "persistence/historyreaderthread.h"
#include "ui/dialogs.h"
#include "ui/keyboardwidget.h"

#include <QDialog>
#include <QTransform>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QChart;
class QChartView;
class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QXYSeries;

namespace typetoki {

class HistoryStore;

class frmHistory : public QDialog {
    Q_OBJECT
public:
    // Reads the store's file and the games it still keeps in memory, and
    // opens on the group of this mode and time limit.
    frmHistory(HistoryStore &store, int gameMode, int timeLimitSeconds,
               Dialogs &dialogs = SystemDialogs(), QWidget *parent = nullptr);
    // The same on a file alone.
    frmHistory(const QString &historyPath, const std::vector<GameResult> &unwritten, int gameMode,
               int timeLimitSeconds, Dialogs &dialogs = SystemDialogs(), QWidget *parent = nullptr);
    ~frmHistory() override;

    int gameMode() const { return group_.gameMode; }
    int timeLimitSeconds() const { return group_.timeLimitSeconds; }
    void ShowGroup(int gameMode, int timeLimitSeconds);
    // The player closed the window with the practice button.
    bool practiceAsked() const { return practiceAsked_; }

    // Writes the whole history to file; a message box says why not.
    bool SaveCsv(const QString &file);

    enum Tab { kProgressTab, kKeysTab, kUnitsTab, kGamesTab };

    // Controls, for the tests.
    std::vector<QPushButton *> modeButtons;
    std::vector<QPushButton *> timeButtons;
    QCheckBox *withAbandoned = nullptr;
    QLabel *problem = nullptr;
    QTabWidget *tabs = nullptr;
    QLabel *progressSummary = nullptr;
    QChartView *progressView = nullptr;
    QXYSeries *speedSeries = nullptr;
    QXYSeries *averageSeries = nullptr;
    QXYSeries *bestSeries = nullptr;
    QXYSeries *accuracySeries = nullptr;
    QXYSeries *abandonedSeries = nullptr;
    KeyboardPicture *keyboard = nullptr;
    QChartView *missedView = nullptr;  // training texts only
    QLabel *unitStatus = nullptr;       // weak, improving and mastered kana
    QPushButton *practice = nullptr;
    QLabel *unitsSummary = nullptr;
    QChartView *unitsView = nullptr;
    QTableWidget *gamesTable = nullptr;
    QPushButton *saveCsv = nullptr;

private:
    void buildControls();
    void showTab(int tab);
    void fillProgress();
    void fillKeys();
    void fillUnits();
    void fillGames();
    void chooseCsvFile();

    Dialogs &dialogs_;
    std::unique_ptr<HistoryReaderThread> reader_;
    HistoryGroup group_;
    QButtonGroup *modeGroup_ = nullptr;
    QButtonGroup *timeGroup_ = nullptr;
    std::array<bool, 4> fresh_{};  // per tab: filled for the present group
    bool practiceAsked_ = false;
};

}  // namespace typetoki
