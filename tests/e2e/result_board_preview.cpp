// Opens the result screen or the high-score board with the figures of a
// sample game and a few sample records, so a script can look at them
// without playing a game first:
//   typetoki_result_board_preview result|board
// The records live in a folder of their own that goes away with the
// program. Closing the result screen leads to the board, as after a game;
// the program ends when the last window closes.
#include "engine/rank.h"
#include "persistence/textfile.h"
#include "ui/form2.h"
#include "ui/form3.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

using namespace typetoki;

namespace {

// A 60-second hero game as it ends.
GameResult SampleGame()
{
    GameResult game;
    game.gameMode = GameMode::Hero;
    game.timeLimitSeconds = 60;
    game.judgedText = QStringLiteral("1001");
    game.correctText = QStringLiteral("987");
    game.accuracyText = QStringLiteral("98.6");
    game.speedText = QStringLiteral("16.45");
    game.peakText = QStringLiteral("17.5");
    game.scoreText = QStringLiteral("1234.56");
    game.echoRecord = QStringLiteral("エヤエヤエヤ\r\nエヤエヤエヤ\r\nエヤエヤe");
    Grade(game);
    return game;
}

const char *const kSampleRecords[] = {
    "1,ガルム,1500.25,1003,16.71,99.1,2000/11/12  13:45:10,1,60",
    "2,Rexa,1180,950,15.83,97.4,2000/11/12  14:02:31,1,60",
    "3,ハナ,640.5,530,8.83,92.2,2000/11/13  09:15:00,1,60",
    "4,Bob,902,760,12.66,95,2000/11/14  21:30:44,1,60",
    "5,サム,310,280,4.66,88.5,2000/11/15  08:01:12,1,60",
    "6,Volg,2000,1200,20,100,2000/11/15  08:05:00,2,60",
};

}  // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString name = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (name != QLatin1String("result") && name != QLatin1String("board")) {
        std::fprintf(stderr, "usage: %s result|board\n", argv[0]);
        return 2;
    }

    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "no folder for the sample records\n");
        return 1;
    }
    Module1 state;
    state.setProgramFolder(folder.path());
    state.gameMode = GameMode::Hero;
    state.timeLimitSeconds = 60;
    state.scoreBoardFlag = 1;
    QStringList records;
    for (const char *line : kSampleRecords)
        records << QString::fromUtf8(line);
    WriteTextLines(ScoresPath(state), records);

    const GameResult game = SampleGame();
    std::unique_ptr<QDialog> window;
    if (name == QLatin1String("result"))
        window = std::make_unique<Form2>(state, game);
    else
        window = std::make_unique<Form3>(state, &game);
    QObject::connect(window.get(), &QDialog::finished, &app, &QCoreApplication::quit);
    window->show();
    return app.exec();
}
