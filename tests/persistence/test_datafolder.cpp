#include "persistence/datafolder.h"
#include "persistence/scorefile.h"
#include "persistence/settingsfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <vector>

using namespace typetoki;

namespace {

struct ChoiceCase {
    const char *what;
    bool programFolderWritable;
    bool playerFolderExistsBefore;
    bool expectProgramFolder;
};

class ChooseDataFolderTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ChooseDataFolderTest, PicksTheFolderAndCreatesThePlayersWhenUsed)
{
    const ChoiceCase c = GetParam();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString program = root.filePath(QStringLiteral("program"));
    const QString player = root.filePath(QStringLiteral("home/.local/share/typetoki"));
    ASSERT_TRUE(QDir().mkpath(program));
    if (c.playerFolderExistsBefore) {
        ASSERT_TRUE(QDir().mkpath(player));
    }

    std::vector<QString> asked;
    const WritableProbe probe = [&](const QString &folder) {
        asked.push_back(folder);
        return c.programFolderWritable;
    };
    const QString chosen = ChooseDataFolder(program, probe, player);

    ASSERT_EQ(asked.size(), 1u) << c.what;
    EXPECT_EQ(asked.front(), program) << c.what;
    EXPECT_EQ(chosen, c.expectProgramFolder ? program : player) << c.what;
    // The player's folder is made only when it is the one chosen.
    EXPECT_EQ(QFileInfo(player).isDir(), c.playerFolderExistsBefore || !c.expectProgramFolder) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChooseDataFolderTest,
    ::testing::Values(ChoiceCase{"writable program folder", true, false, true},
                      ChoiceCase{"writable program folder, player folder present", true, true, true},
                      ChoiceCase{"read-only program folder, no player folder yet", false, false, false},
                      ChoiceCase{"read-only program folder, player folder present", false, true, false}));

TEST(FolderIsWritableTest, TellsAWritableFolderFromOneNobodyCanWrite)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        QString folder;
        bool writable;
    };
    // /proc refuses new files even to root, who ignores permission bits.
    const std::vector<Case> cases = {
        {dir.path(), true},
        {QStringLiteral("/proc"), false},
        {dir.filePath(QStringLiteral("missing")), false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FolderIsWritable(c.folder), c.writable) << c.folder.toStdString();
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        << "the probe leaves its file behind";
}

TEST(DataFolderTest, SettingsAndScoresFollowTheDataFolderWhileDefaultsStayInTheProgramFolder)
{
    Module1 state;
    state.setProgramFolder(QStringLiteral("/usr/lib/typetoki"));
    struct Case {
        QString dataFolder;
    };
    const std::vector<Case> cases = {{QString()}, {QStringLiteral("/home/player/.local/share/typetoki")}};
    for (const Case &c : cases) {
        if (!c.dataFolder.isNull())
            state.dataFolder = c.dataFolder;
        const QString expectedFolder = c.dataFolder.isNull() ? state.programFolder : c.dataFolder;
        EXPECT_EQ(SettingsPath(state), expectedFolder + QStringLiteral("/tatak.ini"));
        EXPECT_EQ(ScoresPath(state), expectedFolder + QStringLiteral("/tkscore.ini"));
        EXPECT_EQ(state.heroSoundPath, QStringLiteral("/usr/lib/typetoki/eya.wav"));
        EXPECT_EQ(state.rivalSoundPath, QStringLiteral("/usr/lib/typetoki/hiku.wav"));
        EXPECT_EQ(state.missSoundPath, QStringLiteral("/usr/lib/typetoki/ahh.wav"));
    }
}

TEST(DataFolderTest, SettingsSavedInTheDataFolderReadBackThereAndLeaveTheProgramFolderAlone)
{
    QTemporaryDir program, data;
    ASSERT_TRUE(program.isValid());
    ASSERT_TRUE(data.isValid());
    Module1 state;
    state.setProgramFolder(program.path());
    state.dataFolder = data.path();
    state.gameMode = GameMode::Vs;
    state.timeLimitSeconds = 120;
    state.trainingTextPath = program.filePath(QStringLiteral("test.txt"));
    QString error;
    ASSERT_TRUE(SaveSettings(state, state, &error)) << error.toStdString();

    EXPECT_TRUE(QFileInfo::exists(data.filePath(QStringLiteral("tatak.ini"))));
    EXPECT_FALSE(QFileInfo::exists(program.filePath(QStringLiteral("tatak.ini"))));

    Module1 again;
    again.setProgramFolder(program.path());
    again.dataFolder = data.path();
    ASSERT_TRUE(LoadSettings(again, again));
    EXPECT_EQ(again.gameMode, GameMode::Vs);
    EXPECT_EQ(again.timeLimitSeconds, 120);
}

TEST(DataFolderTest, AReadOnlyProgramFolderLendsItsFilesUntilThePlayerHasOwn)
{
    // A system-wide install moved its files to the player's folder; the
    // settings and scores already beside the program are read until the
    // player's own copies exist, and every save goes to the player's.
    struct Case {
        const char *what;
        bool besideProgram;
        bool playersOwn;
        std::int16_t mode;  // read from the settings
        int records;        // read from the scores
    };
    const Case cases[] = {
        {"neither", false, false, 1, 0},
        {"only beside the program", true, false, 3, 2},
        {"only the player's", false, true, 4, 1},
        {"both", true, true, 4, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir program, data;
        ASSERT_TRUE(program.isValid() && data.isValid());
        Module1 state;
        state.setProgramFolder(program.path());
        state.dataFolder = data.path();
        const auto put = [](const QString &path, const QByteArray &bytes) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        const QByteArray settings = "60\r\n/t.txt\r\n/h.wav\r\n/r.wav\r\n/m.wav\r\n/t.txt\r\n0.1\r\n";
        if (c.besideProgram) {
            put(program.filePath("tatak.ini"), "3\r\n" + settings);
            put(program.filePath("tkscore.ini"), "1,a,1,1,1,1,d,3,60\r\n2,b,2,2,2,2,d,3,60\r\n");
        }
        if (c.playersOwn) {
            put(data.filePath("tatak.ini"), "4\r\n" + settings);
            put(data.filePath("tkscore.ini"), "1,c,1,1,1,1,d,4,60\r\n");
        }
        const QByteArray programSettings = c.besideProgram ? "3\r\n" + settings : QByteArray();

        LoadSettings(state, state);
        EXPECT_EQ(state.gameMode, GameMode(c.mode));
        ScoreTable scores;
        EXPECT_TRUE(scores.LoadScores(ScoresPathToRead(state)));
        EXPECT_EQ(scores.scoreCount(), c.records);

        state.gameMode = GameMode::Rival;
        ASSERT_TRUE(SaveSettings(state, state));
        ASSERT_TRUE(scores.SaveScores(ScoresPath(state)));
        Module1 again;
        again.setProgramFolder(program.path());
        again.dataFolder = data.path();
        LoadSettings(again, again);
        EXPECT_EQ(again.gameMode, GameMode::Rival);
        EXPECT_TRUE(QFileInfo::exists(data.filePath("tkscore.ini")));
        QFile besides(program.filePath("tatak.ini"));
        EXPECT_EQ(besides.open(QIODevice::ReadOnly) ? besides.readAll() : QByteArray(), programSettings);
    }
}

}  // namespace
