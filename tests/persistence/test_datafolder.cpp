#include "persistence/datafolder.h"
#include "persistence/scorefile.h"
#include "persistence/settingsfile.h"

#include <gtest/gtest.h>

#include <QDir>
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
    state.gameMode = 3;
    state.timeLimitSeconds = 120;
    state.trainingTextPath = program.filePath(QStringLiteral("test.txt"));
    QString error;
    ASSERT_TRUE(SaveSettings(state, &error)) << error.toStdString();

    EXPECT_TRUE(QFileInfo::exists(data.filePath(QStringLiteral("tatak.ini"))));
    EXPECT_FALSE(QFileInfo::exists(program.filePath(QStringLiteral("tatak.ini"))));

    Module1 again;
    again.setProgramFolder(program.path());
    again.dataFolder = data.path();
    ASSERT_TRUE(LoadSettings(again));
    EXPECT_EQ(again.gameMode, 3);
    EXPECT_EQ(again.timeLimitSeconds, 120);
}

}  // namespace
