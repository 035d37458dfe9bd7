// A history of games to look at, without playing them:
//   typetoki_history_tool fill <folder> [games [days [seed]]]
//     writes typetoki-history.sqlite in folder with that many realistic
//     games (300 over 91 days unless told), all modes, getting faster;
//   typetoki_history_tool sitting <folder> games
//     writes that many one-minute Rexa games of one evening, two minutes
//     apart, each a little faster;
//   typetoki_history_tool show <folder> [tab [mode [seconds]]]
//     opens the statistics window on it, on that tab (0 progress, 1 keys,
//     2 chant units, 3 last games) and group (1 and 60 unless told).
// The program ends when the window closes.
#include "persistence/historydatabase.h"
#include "support/samplehistory.h"
#include "ui/frmhistory.h"

#include <QApplication>
#include <QTabWidget>
#include <cstdio>

using namespace typetoki;

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    auto number = [&](int index, int otherwise) { return args.size() > index ? args[index].toInt() : otherwise; };
    if (args.size() >= 2 && args[0] == QLatin1String("fill")) {
        QCoreApplication app(argc, argv);  // no window, so no display needed
        testing::SampleHistoryOptions options;
        options.games = number(2, options.games);
        options.days = number(3, options.days);
        options.seed = unsigned(number(4, int(options.seed)));
        QString error;
        if (!testing::WriteHistory(args[1], testing::RealisticHistory(options), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("%s\n", qPrintable(HistoryPath(args[1])));
        return 0;
    }
    if (args.size() >= 3 && args[0] == QLatin1String("sitting")) {
        QCoreApplication app(argc, argv);
        std::vector<GameResult> games;
        const QDateTime start(QDate(2026, 12, 8), QTime(21, 0));
        for (int i = 0; i < args[2].toInt(); ++i)
            games.push_back(testing::RealisticGame(1, 60, start.addSecs(120 * i), 4.2 + 0.3 * i, 94 + i, unsigned(i)));
        QString error;
        if (!testing::WriteHistory(args[1], games, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }
    if (args.size() >= 2 && args[0] == QLatin1String("show")) {
        QApplication app(argc, argv);
        frmHistory window(HistoryPath(args[1]), {}, number(3, 1), number(4, 60));
        window.tabs->setCurrentIndex(number(2, 0));
        QObject::connect(&window, &QDialog::finished, &app, &QCoreApplication::quit);
        window.show();
        return app.exec();
    }
    std::fprintf(stderr, "usage: %s fill <folder> [games [days [seed]]] | sitting <folder> games"
                 " | show <folder> [tab [mode [seconds]]]\n",
                 argv[0]);
    return 2;
}
