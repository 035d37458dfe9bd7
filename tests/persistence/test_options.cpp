// typetoki.conf: the program's own options, beside tatak.ini but never in it.
#include "persistence/options.h"
#include "support/files.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

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

// typetoki.conf is the player's to edit: a change of volume rewrites that
// one line, and a path that is no file of ours never stops the game.
TEST(Options, AVolumeChangeRewritesOnlyItsLine)
{
    const QByteArray cp932Line = "name=\x83\x5e\x83\x43\x83\x76\x93\xac\x8b\x4c\r\n";  // タイプ闘記
    const QByteArray edited = "; my own settings\r\n[sound]\r\nvolume = 100 \r\n" + cp932Line
                              + "colour=blue\r\n\r\n[ranking]\r\nserver=example\r\n";
    const QByteArray big = "[sound]\nvolume=25\n" + QByteArray(Options::kMaxBytes, ';') + "\nvolume=75\n";
    struct Case {
        const char *what;
        std::function<void(const QString &path)> make;
        int volumeRead;
        bool written;
        QByteArray after;  // empty: the file as it was
    };
    const Case cases[] = {
        {"a comment, code page 932 and a key of someone else's",
         [&](const QString &p) { WriteRaw(p, edited); }, 100, true,
         QByteArray(edited).replace("volume = 100 ", "volume = 50 ")},
        {"no volume yet", [](const QString &p) { WriteRaw(p, "[sound]\non=true\n# end\n[other]\nx=1"); }, 100,
         true, "[sound]\non=true\nvolume=50\n# end\n[other]\nx=1"},
        {"a section of its own yet", [](const QString &p) { WriteRaw(p, "[other]\nx=1"); }, 100, true,
         "[other]\nx=1\n[sound]\nvolume=50\n"},
        {"an empty section at the end", [](const QString &p) { WriteRaw(p, "a=1\n[sound]\n"); }, 100, true,
         "a=1\n[sound]\nvolume=50\n"},
        {"no file", [](const QString &) {}, 100, true, "[sound]\nvolume=50\n"},
        {"a named pipe", [](const QString &p) { ASSERT_EQ(mkfifo(QFile::encodeName(p).constData(), 0600), 0); },
         100, false, {}},
        {"a file past the size read: its head counts, nothing is lost",
         [&](const QString &p) { WriteRaw(p, big); }, 25, false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("typetoki.conf"));
        c.make(path);
        // A pipe is never opened here either: that would wait for a writer.
        const bool pipe = QFileInfo(path).exists() && !QFileInfo(path).isFile();
        const QByteArray before = pipe ? QByteArray() : ReadRaw(path);
        QElapsedTimer clock;
        clock.start();
        Options options(dir.path());
        EXPECT_EQ(ReadSoundOptions(options).volumePercent, c.volumeRead);
        EXPECT_EQ(WriteSoundOptions(options, {true, 50}), c.written);
        EXPECT_LT(clock.elapsed(), 500);
        EXPECT_EQ(ReadSoundOptions(options).volumePercent, 50) << "the choice holds for this run";
        if (pipe) {
            EXPECT_FALSE(QFileInfo(path).isFile()) << "the pipe was replaced";
            continue;
        }
        EXPECT_EQ(ReadRaw(path), c.after.isEmpty() ? before : c.after);
        if (c.written) {
            EXPECT_EQ(ReadSoundOptions(Options(dir.path())).volumePercent, 50);
        }
    }
}
