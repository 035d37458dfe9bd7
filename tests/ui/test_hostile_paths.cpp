// Every reader of a file the player (or a hand-edited settings file) can
// point the game at, against each kind of path that once froze the game or
// ran it out of memory: a pipe without a writer, endless devices, a folder,
// a sparse giant, a file just past its reader's limit. Each reader answers
// at once, as for a file it cannot read, and a watchdog ends the whole test
// should one of them block.
#include "engine/targetlines.h"
#include "persistence/scorefile.h"
#include "persistence/settingsfile.h"
#include "support/fakedialogs.h"
#include "support/fakes.h"
#include "support/files.h"
#include "ui/form4.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

constexpr qint64 kSettled = 2000;  // ms; each answer takes a few at most

// What a reader finds at its path: made from the content the reader would
// take, and that reader's size limit (0: it has none).
using Make = std::function<void(const QString &path, const QByteArray &content, qint64 limit)>;

void Sparse(const QString &path, const QByteArray &content, qint64 size)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(content), content.size());
    ASSERT_TRUE(file.resize(size));  // nothing more on disk
}

void LinkTo(const char *device, const QString &path)
{
    ASSERT_TRUE(QFile::link(QString::fromLatin1(device), path));
}

struct Hostile {
    const char *what;
    Make make;
    bool settingsRead;  // only tatak.ini reads a file that starts well
};

const Hostile kHostile[] = {
    {"named pipe without a writer",
     [](const QString &path, const QByteArray &, qint64) {
         ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
     },
     false},
    {"/dev/zero", [](const QString &path, const QByteArray &, qint64) { LinkTo("/dev/zero", path); },
     false},
    {"/dev/urandom",
     [](const QString &path, const QByteArray &, qint64) { LinkTo("/dev/urandom", path); }, false},
    {"folder", [](const QString &path, const QByteArray &, qint64) { ASSERT_TRUE(QDir().mkdir(path)); },
     false},
    {"sparse file of 4 GB",
     [](const QString &path, const QByteArray &, qint64) { Sparse(path, {}, qint64(4) << 30); }, false},
    // Good content, then one byte past the limit; the settings are read no
    // further than their first lines, whatever the size.
    {"one byte past its limit",
     [](const QString &path, const QByteArray &content, qint64 limit) {
         Sparse(path, content, limit > 0 ? limit + 1 : qint64(1) << 30);
     },
     true},
};

// Runs one reader and checks that it answered in time.
void Timed(const char *reader, const std::function<void()> &read)
{
    SCOPED_TRACE(reader);
    QElapsedTimer timer;
    timer.start();
    read();
    EXPECT_LT(timer.elapsed(), kSettled);
}

class Watchdog {
public:
    explicit Watchdog(unsigned seconds) { alarm(seconds); }  // SIGALRM ends the run
    ~Watchdog() { alarm(0); }
};

}  // namespace

TEST(HostilePaths, EveryReaderAnswersAtOnceAsForAnUnreadableFile)
{
    const Watchdog watchdog(60);
    const QByteArray training = "abc\r\n";
    const QByteArray settings = "2\r\n30\r\n/t.txt\r\n/h.wav\r\n/r.wav\r\n/m.wav\r\n/t.txt\r\n0.5\r\n";
    const QByteArray scores = "1,old,10,10,1,100,d,1,60\r\n";
    for (const Hostile &h : kHostile) {
        SCOPED_TRACE(h.what);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());

        // START in training mode: the "cannot read" message, no game.
        const QString text = dir.filePath("training.txt");
        h.make(text, training, kTrainingTextLimit);
        Timed("training text", [&] {
            Harness game;
            game.state.gameMode = GameMode::Training;
            game.state.trainingTextPath = text;
            game.start();
            EXPECT_EQ(game.state.gamePhase, kIdle);
            EXPECT_EQ(game.screen.messages, QStringList{kTrainingTextError});
        });

        // The settings dialog's browse button tries the file it is given.
        Timed("browsing for the training text", [&] {
            Module1 state;
            state.setProgramFolder(dir.path());
            FakeScreen screen;
            FakeWorld world;
            FakeDialogs dialogs;
            dialogs.answers = {{FileDialogAnswer::Chosen, text}};
            Form4 form(state, screen, world, dialogs);
            QTest::mouseClick(form.Command3, Qt::LeftButton);
            EXPECT_EQ(dialogs.texts(), QStringList{kTrainingTextError});
            EXPECT_EQ(form.Text1->text(), "");
        });

        // tatak.ini: the defaults, as for a missing file.
        Module1 state;
        state.setProgramFolder(dir.path());
        h.make(SettingsPath(state), settings, 0);
        Timed("settings", [&] {
            EXPECT_EQ(LoadSettings(state, state), h.settingsRead);
            EXPECT_EQ(state.gameMode, h.settingsRead ? GameMode::Rival : GameMode::Hero);
            EXPECT_EQ(state.timeLimitSeconds, h.settingsRead ? 30 : 60);
        });

        // tkscore.ini: an empty board that refuses to overwrite what it holds.
        const QString board = ScoresPath(state);
        h.make(board, scores, kScoreFileLimit);
        const QFileInfo before(board);
        Timed("scores", [&] {
            ScoreTable table;
            EXPECT_FALSE(table.LoadScores(board));
            EXPECT_EQ(table.scoreCount(), 0);
            ScoreRecord record;
            record.fields = {"", "new", "1", "1", "1", "1", "d", "1", "60"};
            QString error;
            EXPECT_FALSE(table.Register(record, board, board, {}, &error));
            EXPECT_TRUE(error.startsWith(QString::fromUtf8("ファイルを読めなかった"))) << error.toStdString();
        });
        const QFileInfo after(board);
        EXPECT_EQ(after.isDir(), before.isDir());
        EXPECT_EQ(after.isSymLink(), before.isSymLink());
        EXPECT_EQ(after.size(), before.size());
    }
}
