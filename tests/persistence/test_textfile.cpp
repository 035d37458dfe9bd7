// Writing the game's text files: code page 932 whenever it holds the
// text, UTF-8 behind a byte-order mark otherwise, and a failed write that
// leaves the previous file whole.
#include "persistence/textfile.h"

#include "support/files.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <string>

using namespace typetoki;
using namespace typetoki::testing;

TEST(EncodeLinesTest, EndsEveryLineWithCrLf)
{
    struct Case {
        const char *name;
        QStringList lines;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"numbers", {"1", "60"}, QByteArray("1\r\n60\r\n")},
        {"no lines", {}, QByteArray()},
        {"one empty line", {""}, QByteArray("\r\n")},
        {"empty lines", {"", "a", ""}, QByteArray("\r\na\r\n\r\n")},
        {"question mark", {"a?b"}, QByteArray("a?b\r\n")},
        {"cp932", {U("テスト"), "60"}, Hex("836583588367") + "\r\n60\r\n"},
        {"UTF-8 fallback", {U("Zoë")}, Hex("efbbbf") + "Zo" + Hex("c3ab") + "\r\n"},
        // One character outside the code page puts the whole file in UTF-8.
        {"mixed", {U("テスト"), U("Zoë")}, Hex("efbbbf") + U("テスト\r\nZoë\r\n").toUtf8()},
        {"look-alike typed on Linux", {U("名前〜")}, Hex("96bc914f8160") + "\r\n"},
        {"kept bytes", {U("/caf") + Kept(0xE9)}, QByteArray("/caf\xE9\r\n")},
        {"kept bytes beside UTF-8", {U("/caf") + Kept(0xE9), U("Zoë")},
         Hex("efbbbf") + "/caf\xE9\r\nZo" + Hex("c3ab") + "\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EncodeLines(c.lines).toHex(' ').toStdString(), c.bytes.toHex(' ').toStdString());
    }
}

TEST(EncodeLinesTest, DecodesBackToTheSameLines)
{
    const QStringList cases[] = {
        {},
        {""},
        {"1", "60"},
        {U("タイプ闘記"), U("　全角の字下げ"), U("～－①ｱｲｳ"), "", "C:\\x~"},
        {U("Zoë"), U("テスト"), "a?b"},
        {U("😀"), ""},
        {"", "", "last"},
        {U("ﾃｽ")},
        {QStringLiteral("\uFEFFa")},
        {U("/caf") + Kept(0xE9), U("\u0080\u001A\uF8F0")},
        {U("/caf") + Kept(0xE9), U("Zoë")},
        // A byte kept from a UTF-8 file that the code page would read as
        // a katakana.
        {Kept(0xDE)},
        // U+638E3 is the surrogate pair D94E DCE3, whose second half looks
        // like a kept byte.
        {QString::fromUcs4(U"\U000638E3") + Kept(0xA3), U("😀")},
    };
    for (const QStringList &lines : cases) {
        SCOPED_TRACE(Show(lines));
        EXPECT_EQ(SplitLines(DecodeText(EncodeLines(lines), Encoding::Utf8WhenMarked)), lines);
    }
}

TEST(DecodeTextTest, TheGamesOwnFilesAreCodePage932WheneverTheyCanBe)
{
    // Code page 932 kana whose bytes are valid UTF-8 as well ("ﾐｷ" is D0 B7,
    // "з" in UTF-8): a training text may be either, the game's files are
    // code page 932 unless only UTF-8 fits, as after a hand edit on Linux.
    struct Case {
        QByteArray bytes;
        QString asTrainingText;
        QString asOwnFile;
    };
    const Case cases[] = {
        {Hex("d0b7"), U("з"), U("ﾐｷ")},
        {Hex("c3bd"), U("ý"), U("ﾃｽ")},
        {Hex("efbbbf") + U("ﾐｷ").toUtf8(), U("ﾐｷ"), U("ﾐｷ")},
        {Hex("836583588367"), U("テスト"), U("テスト")},
        {U("/home/練習.txt").toUtf8(), U("/home/練習.txt"), U("/home/練習.txt")},
        // Neither: the stray bytes are kept as escapes either way.
        {QByteArray("caf\xE9"), U("caf") + QChar(EscapedByte(0xE9)), U("caf") + QChar(EscapedByte(0xE9))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        EXPECT_EQ(DecodeText(c.bytes, Encoding::Utf8WhenValid), c.asTrainingText);
        EXPECT_EQ(DecodeText(c.bytes, Encoding::Utf8WhenMarked), c.asOwnFile);
    }
    // Kana like these now stay in code page 932 when written.
    EXPECT_EQ(EncodeLines({U("ﾐｷ")}), Hex("d0b70d0a"));
}

// ---------------------------------------------------------------- WriteTextLines

TEST(WriteTextLinesTest, WritesWhatReadsBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    const QStringList writes[] = {
        {U("テスト"), "60"},
        {U("Zoë")},  // replaces a longer file entirely
        {},
        {"1", "2", "3"},
    };
    for (const QStringList &lines : writes) {
        SCOPED_TRACE(Show(lines));
        QString error = QStringLiteral("untouched");
        ASSERT_TRUE(WriteTextLines(path, lines, &error)) << error.toStdString();
        EXPECT_EQ(ReadRaw(path), EncodeLines(lines));
        EXPECT_EQ(ReadTextLines(path), std::optional<QStringList>(lines));
    }
    // Nothing but the file itself is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("out.txt")});
}

TEST(WriteTextLinesTest, ReportsWhyAPathCannotBeWritten)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkdir(folder));
    WriteRaw(dir.filePath(QStringLiteral("folder/keep.txt")), "old\r\n");
    WriteRaw(dir.filePath(QStringLiteral("a-file")), "x");
    struct Case {
        const char *name;
        QString path;
        const char *reason;
    };
    const Case cases[] = {
        {"missing parent folder", dir.filePath(QStringLiteral("missing/out.txt")),
         "保存先のフォルダーがありません (No such file or directory)"},
        {"path is a folder", folder, "同じ名前のフォルダーがあります ("},
        {"a file on the way", dir.filePath(QStringLiteral("a-file/out.txt")),
         "保存先のパスの途中にフォルダーでないものがあります ("},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(WriteTextLines(c.path, {"1", "60"}, &error));
        EXPECT_TRUE(error.startsWith(QString::fromUtf8(c.reason))) << error.toStdString();
        // Without a place for the reason it still fails, and does not crash.
        EXPECT_FALSE(WriteTextLines(c.path, {"1", "60"}));
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(ReadRaw(dir.filePath(QStringLiteral("folder/keep.txt"))), QByteArray("old\r\n"));
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("keep.txt")});
}

#ifdef Q_OS_UNIX
TEST(WriteTextLinesTest, FailedWriteLeavesThePreviousFileWhole)
{
    // A short text only reaches the disk when it is saved, a long one already
    // while it is written; either failure has to be caught.
    struct Case {
        const char *name;
        int lineCount;
    };
    const Case cases[] = {{"fails when saved", 50}, {"fails while written", 2000}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("scores.txt"));
        const QStringList before{U("テスト"), "60"};
        ASSERT_TRUE(WriteTextLines(path, before));
        const QByteArray original = ReadRaw(path);

        const QStringList lines(c.lineCount, QString(40, u'x'));
        QString error;
        bool written = true;
        {
            FileSizeLimit limit(1024);
            ASSERT_TRUE(limit.active());
            written = WriteTextLines(path, lines, &error);
        }
        EXPECT_FALSE(written);
        EXPECT_FALSE(error.trimmed().isEmpty());
        EXPECT_EQ(ReadRaw(path), original);
        EXPECT_EQ(ReadTextLines(path), std::optional<QStringList>(before));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList{QStringLiteral("scores.txt")});

        // With room again the same write goes through.
        ASSERT_TRUE(WriteTextLines(path, lines, &error)) << error.toStdString();
        EXPECT_EQ(ReadTextLines(path), std::optional<QStringList>(lines));
    }
}
#endif
