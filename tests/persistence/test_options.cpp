// typetoki.conf: the program's own options, beside tatak.ini but never in it.
#include "persistence/options.h"
#include "support/files.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace typetoki;
using namespace typetoki::testing;

TEST(Options, SoundOptionsReadAsWrittenAndBrokenValuesAsTheDefault)
{
    struct Case {
        const char *what;
        QByteArray file;  // empty: no file
        bool on;
        int volume;
    };
    const Case cases[] = {
        {"no file", "", true, 100},
        {"written", "[sound]\non=false\nvolume=50\n", false, 50},
        {"each step", "[sound]\non=true\nvolume=25\n", true, 25},
        {"a volume off the menu", "[sound]\nvolume=33\n", true, 100},
        {"words", "[sound]\non=maybe\nvolume=loud\n", true, 100},
        {"another section", "[other]\non=false\nvolume=50\n", true, 100},
        {"not INI at all", QByteArray(300, '\xff'), true, 100},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        if (!c.file.isEmpty())
            WriteRaw(dir.filePath(QStringLiteral("typetoki.conf")), c.file);
        const SoundOptions sound = ReadSoundOptions(Options(dir.path()));
        EXPECT_EQ(sound.on, c.on);
        EXPECT_EQ(sound.volumePercent, c.volume);
    }
}

TEST(Options, AChangeIsWrittenAtOnceAndOnlyIntoItsOwnFile)
{
    QTemporaryDir dir;
    const QByteArray settings = "1\r\n60\r\n";
    WriteRaw(dir.filePath(QStringLiteral("tatak.ini")), settings);
    {
        Options options(dir.path());
        EXPECT_TRUE(WriteSoundOptions(options, {false, 75}));
        // Read back by another reader, as the next run reads it.
        const SoundOptions again = ReadSoundOptions(Options(dir.path()));
        EXPECT_FALSE(again.on);
        EXPECT_EQ(again.volumePercent, 75);
    }
    EXPECT_EQ(ReadRaw(dir.filePath(QStringLiteral("tatak.ini"))), settings);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              (QStringList{QStringLiteral("tatak.ini"), QStringLiteral("typetoki.conf")}));

    // With no data folder nothing is written anywhere, and the choice holds.
    Options memoryOnly{QString()};
    EXPECT_TRUE(WriteSoundOptions(memoryOnly, {false, 25}));
    EXPECT_EQ(ReadSoundOptions(memoryOnly).volumePercent, 25);
}

TEST(Options, AFolderThatCannotBeWrittenKeepsTheChoiceForThisRun)
{
    QTemporaryDir dir;
    // A file where the folder should be: as root ignores permission bits,
    // the one way to a folder nobody can write into.
    const QString folder = dir.filePath(QStringLiteral("file"));
    WriteRaw(folder, "x");
    Options options(folder);
    EXPECT_FALSE(WriteSoundOptions(options, {false, 50}));
    const SoundOptions now = ReadSoundOptions(options);
    EXPECT_FALSE(now.on);
    EXPECT_EQ(now.volumePercent, 50);
}
