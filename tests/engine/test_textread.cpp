#include "engine/textread.h"

#include "support/files.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <vector>

#include <optional>
#include <set>
#include <string>

using namespace typetoki;
using namespace typetoki::testing;

// ---------------------------------------------------------------- DecodeText

TEST(DecodeTextTest, TellsTheEncodingFromTheBytes)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {"mark and UTF-8", Hex("efbbbf") + U("テスト").toUtf8(), U("テスト")},
        {"mark and ASCII", Hex("efbbbf") + "abc", U("abc")},
        {"mark alone", Hex("efbbbf"), U("")},
        {"only the first mark goes", Hex("efbbbfefbbbf") + "a", QStringLiteral("\uFEFFa")},
        {"plain UTF-8 Japanese", U("タイプ闘記～－①").toUtf8(), U("タイプ闘記～－①")},
        {"plain UTF-8 Latin", U("Zoë").toUtf8(), U("Zoë")},
        {"cp932 Japanese", Hex("836583588367"), U("テスト")},
        {"cp932 extensions", Hex("835e8343837693ac8b4c8160817c8740"), U("タイプ闘記～－①")},
        {"cp932 half-width kana", Hex("b1b2b3"), U("ｱｲｳ")},
        // An overlong UTF-8 slash: a lax check would take the pair for UTF-8.
        {"cp932 kana shaped like overlong UTF-8", Hex("c0af"), U("ﾀｯ")},
        {"ASCII", QByteArray("abc\r\n"), U("abc\r\n")},
        // Code page 932 as Windows has it keeps the backslash and the tilde.
        {"ASCII backslash and tilde", QByteArray("C:\\x~"), U("C:\\x~")},
        {"empty", QByteArray(), U("")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeText(c.bytes), c.text);
    }
}

TEST(DecodeTextTest, MalformedUtf8IsReadAsCp932)
{
    // Each of these passes a check that only looks at the lead and
    // continuation bit patterns; strict UTF-8 refuses them all.
    struct Case {
        const char *name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"overlong two bytes", QByteArray("a") + Hex("c1bf")},
        {"overlong three bytes", QByteArray("a") + Hex("e080af")},
        {"overlong four bytes", QByteArray("a") + Hex("f08080af")},
        {"surrogate", QByteArray("a") + Hex("eda080")},
        {"past U+10FFFF", QByteArray("a") + Hex("f4908080")},
        {"lead byte F5", QByteArray("a") + Hex("f5808080")},
        {"cut at the end", U("テ").toUtf8() + Hex("e383")},
        {"cut before ASCII", Hex("e383") + "a"},
        {"stray continuation", U("テ").toUtf8() + Hex("83")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString got = DecodeText(c.bytes);
        EXPECT_EQ(got, Cp932(c.bytes));
        EXPECT_NE(got, QString::fromUtf8(c.bytes));
    }
}

TEST(DecodeTextTest, ValidUtf8EdgesStayUtf8)
{
    // The extremes of each sequence length are still UTF-8.
    const char *texts[] = {"\u0080", "\u07FF", "\u0800", "\uD7FF", "\uE000", "\uFFFD",
                           "\U00010000", "\U0010FFFF", "😀 and テスト"};
    for (const char *text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(DecodeText(QByteArray(text)), U(text));
    }
}

// ---------------------------------------------------------------- SplitLines

TEST(SplitLinesTest, EveryKindOfLineEndEndsALine)
{
    struct Case {
        const char *text;
        QStringList lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\r\n", {"a"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"\r\n", {""}},
        {"\n\n", {"", ""}},
        {"\r\r\n", {"", ""}},
        {"\n\r", {"", ""}},
        {"a\n\rb", {"a", "", "b"}},
        {" a \r\n\tb\t", {" a ", "\tb\t"}},
        {"テスト\r\n２行目", {U("テスト"), U("２行目")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QString::fromUtf8(c.text)
                         .replace(u'\r', QLatin1String("\\r"))
                         .replace(u'\n', QLatin1String("\\n"))
                         .toStdString());
        EXPECT_EQ(SplitLines(U(c.text)), c.lines) << Show(SplitLines(U(c.text)));
    }
}

// ------------------------------------------------------------- code page 932

TEST(Cp932Test, EveryKindOfByteAsWindowsHasIt)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        QString text;
        bool valid;
        QByteArray written;  // what the text encodes to; empty: the same bytes
    };
    const Case cases[] = {
        {"control bytes stay themselves", Hex("001a1c7f09"), QString::fromUtf16(u"\0\u001A\u001C\u007F\t", 5), true, {}},
        {"0x80", Hex("80"), U("\u0080"), true, {}},
        {"0xA0", Hex("a0"), U("\uF8F0"), true, {}},
        {"0xFD to 0xFF", Hex("fdfeff"), U("\uF8F1\uF8F2\uF8F3"), true, {}},
        {"backslash and tilde", QByteArray("\\~"), U("\\~"), true, {}},
        {"half-width katakana", Hex("a1dfb1"), U("｡ﾟｱ"), true, {}},
        {"JIS X 0208", Hex("8160817c8161815c"), U("～－∥―"), true, {}},
        {"NEC row 13", Hex("87408754"), U("①Ⅰ"), true, {}},
        {"IBM extension", Hex("fa40fa5c"), U("ⅰ纊"), true, {}},
        {"user-defined area", Hex("f040f9fc"), U("\uE000\uE757"), true, {}},
        // The NEC selection repeats IBM's kanji; Windows writes IBM's.
        {"NEC-selected kanji", Hex("ed40eeef"), U("纊ⅰ"), true, Hex("fa5cfa40")},
        {"lead byte at the end", Hex("4181"), U("A") + Kept(0x81), false, {}},
        {"lead byte before a line end", Hex("810d0a"), Kept(0x81) + U("\r\n"), false, {}},
        {"unassigned pair", Hex("8540"), Kept(0x85) + U("@"), false, {}},
        {"unassigned row", Hex("eb85860a"), Kept(0xEB) + Kept(0x85) + Kept(0x86) + U("\n"), false, {}},
        {"Latin-1 path", QByteArray("/caf\xE9/x"), U("/caf") + Kept(0xE9) + U("/x"), false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeCp932(c.bytes), c.text);
        EXPECT_EQ(IsValidCp932(c.bytes), c.valid);
        const auto written = EncodeCp932(c.text);
        ASSERT_TRUE(written.has_value());
        EXPECT_EQ(written->toHex(), (c.written.isEmpty() ? c.bytes : c.written).toHex());
    }
}

TEST(Cp932Test, AnyTwoBytesComeBackByteForByte)
{
    // Except a character the code page holds twice (NEC's row 13 and
    // selection against JIS and IBM's rows): it comes back as the bytes
    // Windows writes for it, and reads the same.
    const std::set<int> twiceHeldRows = {0x87, 0xED, 0xEE, 0xFA};
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const char pair[] = {char(first), char(second)};
            const QByteArray bytes(pair, 2);
            SCOPED_TRACE(bytes.toHex().toStdString());
            const QString text = DecodeCp932(bytes);
            const auto written = EncodeCp932(text);
            ASSERT_TRUE(written.has_value());
            ASSERT_EQ(DecodeCp932(*written), text);
            if (*written != bytes) {
                ASSERT_EQ(text.size(), 1);
                ASSERT_TRUE(twiceHeldRows.count(first));
            }
        }
    }
}

// --------------------------------------------------------- ForEachLineOfFile

TEST(ForEachLineOfFileTest, GivesTheLinesOfTheWholeBytesWhereverThePiecesBreak)
{
    // The file is read a megabyte at a time; line ends and lines that
    // straddle that edge must come out as from the bytes in one piece.
    constexpr qsizetype kPiece = 1 << 20;
    const QByteArray filler(kPiece - 1, 'a');
    struct Case {
        const char *name;
        QByteArray bytes;
        qint64 length;  // -1: all of it
    };
    const Case cases[] = {
        {"CR LF split by the edge", filler + "\r\nb", -1},
        {"CR alone at the edge", filler + "\rb\n", -1},
        {"empty lines at the edge", QByteArray(kPiece - 2, 'a') + "\n\r\n\r\rc", -1},
        {"a line over three pieces", QByteArray(2 * kPiece + kPiece / 2, 'x') + "\r\nend", -1},
        {"no line end at all", QByteArray(kPiece + 10, 'y'), -1},
        {"the last byte left out", "one\r\ntwo\x1A", 8},
        {"small", "a\r\n\r\nb\n", -1},
        {"empty", QByteArray(), -1},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("lines.txt"));
        WriteRaw(path, c.bytes);
        const qint64 length = c.length < 0 ? c.bytes.size() : c.length;
        std::vector<QByteArray> expected;
        ForEachLine(QByteArrayView(c.bytes).first(length), [&](QByteArrayView line) {
            expected.push_back(line.toByteArray());
            return true;
        });
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        std::vector<QByteArray> got;
        ASSERT_TRUE(ForEachLineOfFile(file, length, [&](QByteArrayView line) {
            got.push_back(line.toByteArray());
            return true;
        }));
        EXPECT_EQ(got, expected);
    }
}

// --------------------------------------------------------------- EncodeCp932

TEST(EncodeCp932Test, EncodesWhatFitsAndRefusesTheRest)
{
    struct Case {
        const char *text;
        std::optional<QByteArray> bytes;
    };
    const Case cases[] = {
        {"タイプ闘記～－①", Hex("835e8343837693ac8b4c8160817c8740")},
        {"テスト", Hex("836583588367")},
        {"ｱ", Hex("b1")},
        {"", QByteArray()},
        // A question mark of the text's own is not a substitute.
        {"abc?", QByteArray("abc?")},
        {"?", QByteArray("?")},
        {"C:\\~", QByteArray("C:\\~")},
        {"Zoë", std::nullopt},
        {"é", std::nullopt},
        {"😀", std::nullopt},
        {"テスト😀", std::nullopt},
        // No yen sign and no overline: the code page's 0x5C and 0x7E are the
        // backslash and the tilde, and writing them instead would change the text.
        {"¥", std::nullopt},
        {"‾", std::nullopt},
        // The replacement character itself decodes back from the substitute.
        {"\uFFFD", std::nullopt},
        // What Linux input methods type for the code page's look-alikes goes
        // out as the code page's own character.
        {"〜−‖—¢£¬", Hex("8160817c8161815c8191819281ca")},
        {"C:\\〜\\練習.txt", QByteArray("C:\\") + Hex("8160") + "\\" + Hex("97fb8f4b") + ".txt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const auto got = EncodeCp932(U(c.text));
        ASSERT_EQ(got.has_value(), c.bytes.has_value()) << (got ? got->toHex().toStdString() : "");
        if (got) {
            EXPECT_EQ(got->toHex(), c.bytes->toHex());
        }
    }
}

TEST(EncodeCp932Test, KeptBytesGoBackUnlessTheyWouldReadAsACharacter)
{
    struct Case {
        const char *name;
        QString text;
        std::optional<QByteArray> bytes;
    };
    const Case cases[] = {
        {"a stray lead byte at the end", U("/caf") + Kept(0xE9), QByteArray("/caf\xE9")},
        {"a stray lead byte before a line end", Kept(0x81) + U("\r"), Hex("810d")},
        // Kept from a UTF-8 file, where they were no character.
        {"a byte the code page reads as katakana", Kept(0xDE), std::nullopt},
        {"a byte that pairs with its neighbour", U("a") + Kept(0xE9) + U("b"), std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto got = EncodeCp932(c.text);
        ASSERT_EQ(got.has_value(), c.bytes.has_value()) << (got ? got->toHex().toStdString() : "");
        if (got) {
            EXPECT_EQ(got->toHex(), c.bytes->toHex());
        }
    }
}

// ----------------------------------------------------- ReadTextLines, WriteTextLines

TEST(ReadTextLinesTest, ReadsFilesOfEitherEncoding)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char *name;
        QByteArray bytes;
        QStringList lines;
    };
    const Case cases[] = {
        {"empty", QByteArray(), {}},
        {"cp932 CR LF", Hex("836583588367") + "\r\n60\r\n", {U("テスト"), "60"}},
        {"UTF-8 with mark", Hex("efbbbf") + U("Zoë\nテスト").toUtf8(), {U("Zoë"), U("テスト")}},
        {"UTF-8 without mark", U("①\r②\r").toUtf8(), {U("①"), U("②")}},
        {"ASCII without final line end", QByteArray("1\r\n2"), {"1", "2"}},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("read%1.txt").arg(n++));
        WriteRaw(path, c.bytes);
        const auto lines = ReadTextLines(path);
        ASSERT_TRUE(lines.has_value());
        EXPECT_EQ(*lines, c.lines) << Show(*lines);
    }
}

TEST(ReadTextLinesTest, FailsWhenThereIsNoFileToRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const QString paths[] = {dir.filePath(QStringLiteral("missing.txt")),
                             dir.filePath(QStringLiteral("folder")),
                             dir.filePath(QStringLiteral("missing/inside.txt")), QString()};
    for (const QString &path : paths) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(ReadTextLines(path).has_value());
    }
}
