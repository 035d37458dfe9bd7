// The high-score board's みんな view on a PostgreSQL server of its own (a
// socket in a temporary folder) holding a club's worth of results: 10,000
// players with 100 results each, all in one group. Timed from the click to
// the moment the board has listed the server's answer, through the client's
// thread and the board's queued signal, as a player waits for it.
#include "persistence/sharedranking.h"
#include "support/fakedialogs.h"
#include "support/postgres.h"
#include "ui/form3.h"

#include "percentiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include "qtbench.h"

using namespace typetoki;

namespace {

constexpr int kPlayers = 10'000;
constexpr int kResultsEach = 100;

void SharedBoard(benchmark::State &state)
{
    testing::TestPostgres server;
    if (const QString why = server.Start(); !why.isEmpty()) {
        state.SkipWithError(why.toStdString().c_str());
        return;
    }
    // Every mode and time limit of the board, the scores spread as a club's are.
    const QString fill = QStringLiteral(
        "INSERT INTO typetoki.scores (result_id, group_name, mode, time_limit, player, points_text, correct_text, "
        "speed_text, accuracy_text, played_at, points, correct_chars, chars_per_second, accuracy) "
        "SELECT gen_random_uuid(), '3年A組', 1 + i % 4, (ARRAY[10, 30, 60, 120, 180, 3600])[1 + i / 4 % 6], "
        "'player ' || (i % %1), p::text, c::text, s::text, a::text, '2026/12/09  10:00:00', p, c, s, a "
        "FROM (SELECT i, floor(random() * 5000) AS p, floor(random() * 400) AS c, "
        "floor(random() * 800) / 100 AS s, floor(random() * 10000) / 100 AS a "
        "FROM generate_series(0, %2) AS i) AS r; ANALYZE typetoki.scores")
                             .arg(kPlayers)
                             .arg(kPlayers * kResultsEach - 1);
    if (!server.Psql(QStringLiteral("typetoki"), {QStringLiteral("-c"), fill})) {
        state.SkipWithError("filling the server failed");
        return;
    }

    QTemporaryDir folder;
    Module1 m;
    m.setProgramFolder(folder.path());
    m.timeLimitSeconds = 60;
    SharedRanking ranking({server.url(QStringLiteral("alice")), QStringLiteral("3年A組"), QStringLiteral("player 7")},
                          folder.path());
    testing::FakeDialogs dialogs;
    Form3 board(m, nullptr, dialogs);
    board.setSharedRanking(&ranking);
    board.show();

    // Connected after the board: its slot has run when this one does.
    QEventLoop listed;
    QObject::connect(&ranking, &SharedRanking::boardRead, &listed, &QEventLoop::quit, Qt::QueuedConnection);
    board.Option4->click();
    listed.exec();  // the connection is made once, before the timing

    const int fields[] = {kPoints, kCorrectChars, kCharsPerSecond, kAccuracy};
    std::vector<double> micros;
    int i = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        // Another mode, or another ranking of it: one question each.
        if (i % 2 == 0)
            board.Command7_Click(i / 2 % 4);
        else
            board.SortButton_Click(fields[i / 2 % 4]);
        listed.exec();
        const double us = double(clock.nsecsElapsed()) / 1000.0;
        state.SetIterationTime(us / 1e6);
        micros.push_back(us);
        if (board.Text1[9]->text().isEmpty())
            state.SkipWithError("the board listed fewer than ten rows");
        ++i;
    }
    bench::ReportPercentiles(state, "", micros);
    state.counters["rows_on_server"] = double(kPlayers) * kResultsEach;
}

}  // namespace

BENCHMARK(SharedBoard)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return typetoki::bench::RunOffscreen(argc, argv);
}
