#pragma once
// 成績の記録: every game the player has played, one mode and time limit at a
// time. How speed and accuracy grew, the keys that slip or hold the player
// back, the time each chant unit took, the last games, and the whole history
// saved as CSV. Abandoned games stay out of the charts unless asked for.

#include "engine/gameresult.h"
#include "persistence/historyreaderthread.h"
#include "ui/dialogs.h"
#include "ui/keyboardwidget.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QTransform>
#include <QWidget>
#include <array>
#include <map>
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
class QSortFilterProxyModel;
class QTableView;
class QXYSeries;

namespace typetoki {

class HistoryStore;

// The games of a group as rows; each column sorts by its value, numbers as
// numbers, through the sort role.
class GamesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kWhen, kScore, kJudged, kCorrect, kAccuracy, kSpeed, kPeak, kRank, kText, kNotes, kColumns };
    using QAbstractTableModel::QAbstractTableModel;
    void setGames(std::vector<StoredGame> games);
    const StoredGame &game(int row) const { return games_[size_t(row)]; }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<StoredGame> games_;
};

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

    // Writes the whole history to file (and, with the box ticked, the keys
    // and units of every game beside it, in DetailCsvPath) on a thread of
    // its own, with a progress dialog; a message box says why not.
    bool SaveCsv(const QString &file);
    static QString DetailCsvPath(const QString &file);

    // The detail of the game in a row of the list, as a double-click
    // opens it (closed with the window).
    QDialog *OpenGameDetail(int row);

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
    QCheckBox *byDate = nullptr;  // the x-axis in dates rather than games
    QChartView *scoreView = nullptr;
    QXYSeries *scoreSeries = nullptr;
    KeyboardPicture *keyboard = nullptr;
    QLabel *keysSources = nullptr;
    QChartView *missedView = nullptr;  // training texts only
    QLabel *unitStatus = nullptr;       // weak, improving and mastered kana
    QPushButton *practice = nullptr;
    QLabel *unitsSummary = nullptr;
    QChartView *unitsView = nullptr;
    GamesModel *gamesModel = nullptr;
    QSortFilterProxyModel *gamesProxy = nullptr;
    QTableView *gamesView = nullptr;
    QPushButton *saveCsv = nullptr;
    QCheckBox *csvDetail = nullptr;

private:
    void buildControls();
    void showTab(int tab);
    void fillProgress();
    void fillKeys();
    void fillUnits();
    void fillGames();
    void chooseCsvFile();

    Dialogs &dialogs_;
    // For the export's own reader on its thread.
    QString historyPath_;
    std::vector<GameResult> unwritten_;
    std::unique_ptr<HistoryReaderThread> reader_;
    HistoryGroup group_;
    QButtonGroup *modeGroup_ = nullptr;
    QButtonGroup *timeGroup_ = nullptr;
    std::array<bool, 4> fresh_{};  // per tab: filled for the present group
    bool practiceAsked_ = false;
};

}  // namespace typetoki
