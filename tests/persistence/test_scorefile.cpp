#include "persistence/scorefile.h"

#include "support/files.h"
#include "support/text.h"

#include "engine/numbers.h"
#include "persistence/textfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace typetoki;
using namespace typetoki::testing;

namespace {

ScoreRecord Record(const QStringList &fields)
{
    ScoreRecord record;
    for (int i = 0; i < kScoreFieldCount && i < fields.size(); ++i)
        record.fields[i] = fields[i];
    return record;
}

// A game of group (mode, limit) with these four ranked values; the name
// tells the records apart.
ScoreRecord Game(const QString &name, const QStringList &ranked, const QString &mode = "1",
                 const QString &limit = "60")
{
    return Record(QStringList{"0", name} + ranked
                  + QStringList{"2000/11/12  13:45:10", mode, limit});
}

QStringList Fields(const ScoreRecord &record)
{
    return QStringList(record.fields.begin(), record.fields.end());
}

std::vector<QStringList> Rows(const ScoreTable &table)
{
    std::vector<QStringList> rows;
    for (int r = 1; r <= table.scoreCount(); ++r)
        rows.push_back(Fields(table.row(r)));
    return rows;
}

QStringList Names(const ScoreTable &table)
{
    QStringList names;
    for (int r = 1; r <= table.scoreCount(); ++r)
        names << table.row(r).fields[kPlayerName];
    return names;
}

std::string Show(const std::vector<QStringList> &rows)
{
    std::string text;
    for (const QStringList &row : rows)
        text += "\n  [" + row.join(u'|').toStdString() + "]";
    return text;
}

// The table as a fresh LoadScores of the file gives it: the same texts, and
// the same lists for every group.
void ExpectSameTable(const ScoreTable &table, const QString &path)
{
    ScoreTable reread;
    ASSERT_TRUE(reread.LoadScores(path));
    EXPECT_EQ(Rows(table), Rows(reread)) << "table:" << Show(Rows(table)) << "\nfile:" << Show(Rows(reread));
    for (int r = 1; r <= reread.scoreCount(); ++r) {
        const double mode = ReadNumber(reread.row(r).fields[kModeNumber]);
        const double limit = ReadNumber(reread.row(r).fields[kTimeLimit]);
        for (int field = kPoints; field <= kAccuracy; ++field) {
            EXPECT_EQ(table.SelectTopTen(field, mode, limit), reread.SelectTopTen(field, mode, limit))
                << "row " << r << " field " << field;
        }
    }
}

class ScoreFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("tkscore.ini"));
    }

    void Load(const QByteArray &bytes)
    {
        WriteRaw(path_, bytes);
        ASSERT_TRUE(table_.LoadScores(path_));
    }

    void Save()
    {
        QString error;
        ASSERT_TRUE(table_.SaveScores(path_, &error)) << error.toStdString();
        ExpectTableIsTheFile();
    }

    // After a save the table is exactly what reading the new file gives.
    void ExpectTableIsTheFile() { ExpectSameTable(table_, path_); }

    QStringList FileLines() const { return ReadTextLines(path_).value_or(QStringList{"<none>"}); }

    QTemporaryDir dir_;
    QString path_;
    ScoreTable table_;
};

// ---------------------------------------------------------------- LoadScores

TEST_F(ScoreFileTest, NoFileThenOneRegistration)
{
    EXPECT_TRUE(table_.LoadScores(path_));
    EXPECT_EQ(table_.scoreCount(), 0);
    EXPECT_FALSE(QFile::exists(path_));

    table_.append(Record({"", "Taro", "12.5", "30", "2.5", "95.5", "2000/11/12  13:45:10", "1", "60"}));
    ASSERT_EQ(table_.scoreCount(), 1);
    Save();
    EXPECT_EQ(ReadRaw(path_), QByteArray("1,Taro,12.5,30,2.5,95.5,2000/11/12  13:45:10,1,60\r\n"));
    EXPECT_EQ(table_.row(1).fields[kSerial], "1");
}

TEST_F(ScoreFileTest, ReadsEveryLineIntoNineFields)
{
    const QStringList empty9(9, QString());
    struct Case {
        const char *name;
        QByteArray bytes;
        std::vector<QStringList> rows;
    };
    const Case cases[] = {
        {"one record", "1,a,1,2,3,4,d,1,60\r\n", {{"1", "a", "1", "2", "3", "4", "d", "1", "60"}}},
        {"no final line end", "1,a,1,2,3,4,d,1,60\r\n2,b",
         {{"1", "a", "1", "2", "3", "4", "d", "1", "60"}, {"2", "b", "", "", "", "", "", "", ""}}},
        {"empty fields", "1,,,,,,,,\r\n,x", {{"1", "", "", "", "", "", "", "", ""}, {"", "x", "", "", "", "", "", "", ""}}},
        {"empty line", "1,a\r\n\r\n3,c\r\n",
         {{"1", "a", "", "", "", "", "", "", ""}, empty9, {"3", "c", "", "", "", "", "", "", ""}}},
        {"only an empty line", "\r\n", {empty9}},
        {"empty file", "", {}},
        // Extra fields come from a hand-edited file; the lines after it still count.
        {"eleven fields", "1,a,1,2,3,4,d,1,60,x,y\r\n2,b,5,6,7,8,e,2,10\r\n",
         {{"1", "a", "1", "2", "3", "4", "d", "1", "60"}, {"2", "b", "5", "6", "7", "8", "e", "2", "10"}}},
        {"LF line ends", "1,a\n2,b\n",
         {{"1", "a", "", "", "", "", "", "", ""}, {"2", "b", "", "", "", "", "", "", ""}}},
        {"code page 932", "1," + QByteArray::fromHex("836583588367") + ",1,2,3,4,d,1,60\r\n",
         {{"1", U("テスト"), "1", "2", "3", "4", "d", "1", "60"}}},
        {"UTF-8 with mark", QByteArray::fromHex("efbbbf") + U("1,Zoë,1,2,3,4,d,1,60\r\n").toUtf8(),
         {{"1", U("Zoë"), "1", "2", "3", "4", "d", "1", "60"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Load(c.bytes);
        EXPECT_EQ(Rows(table_), c.rows) << Show(Rows(table_));
    }
}

TEST_F(ScoreFileTest, ReadsAndKeepsMoreThanAThousandRecords)
{
    // One record per group, so that every one of them survives a save.
    QStringList lines;
    for (int i = 1; i <= 1500; ++i)
        lines << QStringLiteral("%1,p%1,%1,1,1,1,d,1,%1").arg(i);
    Load(CrLf(lines));
    ASSERT_EQ(table_.scoreCount(), 1500);
    EXPECT_EQ(table_.row(1500).fields[kPlayerName], "p1500");

    table_.append(Game("new", {"5", "5", "5", "5"}, "2", "60"));
    Save();
    EXPECT_EQ(table_.scoreCount(), 1501);
    EXPECT_EQ(FileLines().size(), 1501);
    EXPECT_EQ(table_.row(1501).fields[kPlayerName], "new");
}

TEST_F(ScoreFileTest, RowsOutsideTheTableAreEmpty)
{
    table_.append(Game("a", {"1", "1", "1", "1"}));
    for (const int r : {0, -1, 2, 1000}) {
        SCOPED_TRACE(r);
        EXPECT_EQ(Fields(table_.row(r)), QStringList(9, QString()));
    }
    EXPECT_EQ(table_.row(1).fields[kPlayerName], "a");
}

// -------------------------------------------------------------- SelectTopTen

TEST_F(ScoreFileTest, SelectsTheTenBestOfTheGroupBestFirst)
{
    // Rows 1..14 of group (1, 60); points chosen for ties, zeros and negatives.
    const char *points[] = {"5", "9", "0", "9", "-3", "7", "1", "2", "3", "4", "6", "8", "0.5", "0.25"};
    for (const char *p : points)
        table_.append(Game(QString::fromLatin1(p), {p, "1", "1", "1"}));
    table_.append(Game("other mode", {"100", "1", "1", "1"}, "2", "60"));
    table_.append(Game("other limit", {"100", "1", "1", "1"}, "1", "10"));
    table_.append(Game("1.0 is mode 1", {"8", "1", "1", "1"}, "1.0", " 60"));
    table_.append(Game("1.5 is no mode", {"50", "1", "1", "1"}, "1.5", "60"));

    struct Case {
        const char *name;
        int field;
        double mode;
        double limit;
        std::vector<int> rows;
        double tenth;
    };
    const Case cases[] = {
        // 9 (rows 2, 4, earlier first), 8 (rows 12, 17), 7, 6, 5, 4, 3, 2; not 1, 0.5, 0.25.
        {"points", kPoints, 1, 60, {2, 4, 12, 17, 6, 11, 1, 10, 9, 8}, 2},
        {"all tied", kCorrectChars, 1, 60, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1},
        {"small group", kPoints, 2, 60, {15}, 100},
        {"no such group", kPoints, 3, 60, {}, 0},
        {"non-integral group", kPoints, 1.5, 60, {18}, 50},
        {"mode field", kModeNumber, 1, 10, {16}, 1},
        // A field that is never ranked still selects by its number.
        {"serial field", kSerial, 1, 60, {}, 0},
        {"beyond the fields", 9, 1, 60, {}, 0},
        {"before the fields", -1, 1, 60, {}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(table_.SelectTopTen(c.field, c.mode, c.limit), c.rows);
        EXPECT_EQ(table_.TenthBest(c.field, c.mode, c.limit), c.tenth);
    }
}

TEST_F(ScoreFileTest, TheSmallestPositiveValueIsTheThresholdOfASmallGroup)
{
    for (const char *p : {"3", "0", "-1", "2.5", "4"})
        table_.append(Game("g", {p, "1", "1", "1"}));
    EXPECT_EQ(table_.SelectTopTen(kPoints, 1, 60), (std::vector<int>{5, 1, 4}));
    EXPECT_EQ(table_.TenthBest(kPoints, 1, 60), 2.5);
}

// ---------------------------------------------------------------- SaveScores

struct PruneCase {
    const char *name;
    std::vector<ScoreRecord> records;
    QStringList kept;
};

std::vector<ScoreRecord> Ranked(const std::vector<std::pair<QString, QStringList>> &games,
                                const QString &mode = "1", const QString &limit = "60")
{
    std::vector<ScoreRecord> records;
    for (const auto &[name, ranked] : games)
        records.push_back(Game(name, ranked, mode, limit));
    return records;
}

// Eleven games, "g1" best to "g11" worst in every field, in a mixed file order.
std::vector<std::pair<QString, QStringList>> ElevenInOrder()
{
    std::vector<std::pair<QString, QStringList>> games;
    for (const int i : {4, 11, 1, 7, 2, 9, 3, 10, 5, 6, 8}) {
        const QString v = QString::number(100 - i);
        games.push_back({QStringLiteral("g%1").arg(i), {v, v, QString::number((100 - i) / 10.0), v}});
    }
    return games;
}

QStringList NamesOf(const std::vector<std::pair<QString, QStringList>> &games, const QString &except = {})
{
    QStringList names;
    for (const auto &game : games) {
        if (game.first != except)
            names << game.first;
    }
    return names;
}

TEST_F(ScoreFileTest, KeepsTheTenBestOfEachGroupInAnyField)
{
    std::vector<PruneCase> cases;
    const auto eleven = ElevenInOrder();
    cases.push_back({"four fields in the same order: the worst goes", Ranked(eleven),
                     NamesOf(eleven, "g11")});
    {
        std::vector<std::pair<QString, QStringList>> games;
        for (int i = 1; i <= 11; ++i)
            games.push_back({QStringLiteral("s%1").arg(i), {QString::number(i * 10), "30", "3", "90"}});
        cases.push_back({"distinct scores only: all tied in the other fields", Ranked(games),
                         NamesOf(games)});
    }
    {
        // Nine clear places, three tied at the tenth, two below.
        std::vector<std::pair<QString, QStringList>> games;
        for (int i = 1; i <= 9; ++i) {
            const QString v = QString::number(100 - i);
            games.push_back({QStringLiteral("top%1").arg(i), {v, v, v, v}});
        }
        games.insert(games.begin() + 2, {"low1", {"50", "50", "50", "50"}});
        for (int i = 1; i <= 3; ++i)
            games.push_back({QStringLiteral("tie%1").arg(i), {"80", "80", "80", "80"}});
        games.push_back({"low2", {"50", "50", "50", "50"}});
        QStringList kept = NamesOf(games);
        kept.removeAll("low1");
        kept.removeAll("low2");
        cases.push_back({"ties with the tenth stay", Ranked(games), kept});
    }
    {
        // Worse than all eleven in three fields, the best in accuracy: that
        // one field keeps it, and pushes g10 out of the ten best accuracies
        // (g10 stays by the other fields).
        auto games = eleven;
        games.push_back({"accurate", {"1", "1", "0.1", "100"}});
        cases.push_back({"one field is enough", Ranked(games), NamesOf(games, "g11")});
    }
    {
        auto records = Ranked({{"one", {"3", "3", "3", "3"}}, {"zero", {"0", "0", "0", "0"}}});
        cases.push_back({"no correct characters beside a positive game", records, {"one"}});
    }
    {
        auto records = Ranked({{"one", {"3", "3", "3", "0"}}, {"zero", {"0", "0", "0", "0"}}});
        cases.push_back({"no correct characters, no accuracy in the group", records, {"one", "zero"}});
    }
    {
        auto records = Ranked({{"negative", {"-1", "-2", "-3", "-4"}}});
        cases.push_back({"below zero everywhere", records, {}});
    }
    {
        // The worst of group (1, 60) goes, the lone game of (2, 60) stays though
        // it is worse, and "1.0" / " 1" count in group 1.
        auto records = Ranked(eleven);
        records[0].fields[kModeNumber] = "1.0";
        records[1].fields[kModeNumber] = " 1";
        records.push_back(Game("mode 2", {"1", "1", "1", "1"}, "2", "60"));
        records.push_back(Game("limit 10", {"1", "1", "1", "1"}, "1", "10"));
        cases.push_back({"groups are apart", records,
                         NamesOf(eleven, "g11") + QStringList{"mode 2", "limit 10"}});
    }
    for (const PruneCase &c : cases) {
        SCOPED_TRACE(c.name);
        table_ = ScoreTable();
        for (const ScoreRecord &record : c.records)
            table_.append(record);
        Save();
        EXPECT_EQ(Names(table_), c.kept);
        // Pruning again changes nothing: the survivors are still the best.
        Save();
        EXPECT_EQ(Names(table_), c.kept);
    }
}

TEST_F(ScoreFileTest, EmptyLineIsAGroupOfItsOwn)
{
    QStringList lines;
    for (const auto &[name, ranked] : ElevenInOrder())
        lines << QStringLiteral("9,%1,%2,d,1,60").arg(name, ranked.join(u','));
    lines.insert(3, QString());
    Load(CrLf(lines));
    ASSERT_EQ(table_.scoreCount(), 12);
    Save();
    const QStringList written = FileLines();
    ASSERT_EQ(written.size(), 11);  // g11 (second) went, the empty line stayed
    EXPECT_EQ(written[2], "3,,0,0,0,0,,0,0");
    EXPECT_EQ(written[0], "1,g4,96,96,9.6,96,d,1,60");
    EXPECT_FALSE(written.join(u'\n').contains("g11"));
}

TEST_F(ScoreFileTest, RewritesNumbersInTheirPlainForm)
{
    struct Case {
        const char *text;
        const char *written;
    };
    const Case cases[] = {
        {"12.50", "12.5"}, {"007", "7"},    {"", "0"},         {" 1 2", "12"},
        {"1.0", "1"},      {"abc", "0"},    {"3x", "3"},       {"1e3", "1000"},
        {"&H10", "16"},    {"0.1", "0.1"},  {".5", "0.5"},     {"1e20", "1E+20"},
        {"3.14159265358979323846", "3.14159265358979"},       {"+2", "2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromLatin1(c.text);
        const QString written = QString::fromLatin1(c.written);
        // Alone in its group, a game is its own ten best and always stays.
        Load(CrLf({QStringLiteral("77,n,%1,%1,1,%1,d,%1,%1").arg(text)}));
        Save();
        EXPECT_EQ(FileLines(), QStringList{QStringLiteral("1,n,%1,%1,1,%1,d,%1,%1").arg(written)});
    }
}

TEST_F(ScoreFileTest, RenumbersTheSerials)
{
    Load("7,a,1,1,1,1,d,1,60\r\n7,b,2,2,2,2,d,1,60\r\nx,c,3,3,3,3,d,2,60\r\n,d,4,4,4,4,d,3,60\r\n");
    Save();
    EXPECT_EQ(FileLines(), (QStringList{"1,a,1,1,1,1,d,1,60", "2,b,2,2,2,2,d,1,60",
                                         "3,c,3,3,3,3,d,2,60", "4,d,4,4,4,4,d,3,60"}));
}

TEST_F(ScoreFileTest, ANameOrDateNeverSplitsItsRecord)
{
    struct Case {
        const char *typed;
        const char *stored;
    };
    const Case cases[] = {
        {"Taro", "Taro"},
        {"A,B", "A，B"},
        {",,,", "，，，"},
        {"two\r\nlines", "two  lines"},
        {"", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(ScoreFieldText(U(c.typed)), U(c.stored));
        table_ = ScoreTable();
        ScoreRecord game = Game(U(c.typed), {"1", "2", "3", "4"});
        game.fields[kPlayedAt] = U(c.typed);
        table_.append(game);
        EXPECT_EQ(table_.row(1).fields[kPlayerName], U(c.stored));
        Save();
        EXPECT_EQ(FileLines().size(), 1);
        EXPECT_EQ(Fields(table_.row(1)),
                  (QStringList{"1", U(c.stored), "1", "2", "3", "4", U(c.stored), "1", "60"}));
    }
}

TEST_F(ScoreFileTest, AHalfCharacterTypedIsStoredAsAQuestionMark)
{
    // A surrogate without its partner (a paste or an input method may leave
    // one) fits neither encoding and was written as "?", while the board
    // showed it as it was typed: it is stored as "?" from the start, which
    // keeps the file in the code page. A byte kept from a file's name stays.
    struct Case {
        std::u16string typed;
        std::u16string stored;
    };
    const Case cases[] = {
        {u"A\xD83D", u"A?"},
        {u"\xDE00Z", u"?Z"},
        {u"\xD83D\xD83D\xDE00", u"?\U0001F600"},
        {u"\U0001F600", u"\U0001F600"},
        {u"x\xDC81,", u"x\xDC81\uFF0C"},
    };
    for (const Case &c : cases) {
        const QString typed = QString::fromStdU16String(c.typed);
        const QString stored = QString::fromStdU16String(c.stored);
        SCOPED_TRACE(typed.toUtf8().toHex(' ').toStdString());
        EXPECT_EQ(ScoreFieldText(typed), stored);
        table_ = ScoreTable();
        table_.append(Game(typed, {"1", "2", "3", "4"}));
        Save();
        EXPECT_EQ(table_.row(1).fields[kPlayerName], stored);
    }
}

TEST_F(ScoreFileTest, NamesKeepEveryCharacter)
{
    enum Form { kCp932, kUtf8WithMark };
    struct Case {
        const char *name;
        Form form;
        const char *readBack = nullptr;  // when not the name itself
    };
    const Case cases[] = {
        {"テスト", kCp932},
        {"?", kCp932},
        {"Zoë", kUtf8WithMark},
        {"😀", kUtf8WithMark},
        // Half-width kana whose code page bytes happen to be valid UTF-8 as
        // well stay in the code page: an old file holding them reads right.
        {"ﾃｽ", kCp932},
        {"ﾐｷ", kCp932},
        // A wave dash typed on Linux is written as the code page's own.
        {"〜ミキ〜", kCp932, "～ミキ～"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        table_ = ScoreTable();
        table_.append(Game(U(c.name), {"1", "2", "3", "4"}));
        Save();
        EXPECT_EQ(table_.row(1).fields[kPlayerName], U(c.readBack ? c.readBack : c.name));
        const QString line = "1," + U(c.name) + ",1,2,3,4,2000/11/12  13:45:10,1,60\r\n";
        const QByteArray expected = c.form == kCp932 ? EncodeCp932(line).value_or("unencodable")
                                                     : "\xEF\xBB\xBF" + line.toUtf8();
        EXPECT_EQ(ReadRaw(path_).toHex(' ').toStdString(), expected.toHex(' ').toStdString());
    }
}

TEST_F(ScoreFileTest, AFailedSaveKeepsTheFileAndTheTable)
{
    QStringList lines;
    for (int i = 1; i <= 100; ++i)
        lines << QStringLiteral("%1,p%1,%1,%1,%1,%1,2000/11/12  13:45:10,1,60").arg(i);
    const QByteArray original = CrLf(lines);

    struct Case {
        const char *name;
        QString path;
        long fileSizeLimit;  // 0: none
    };
    const Case cases[] = {
        {"a folder in the way", dir_.filePath("folder"), 0},
        {"no such folder", dir_.filePath("missing/tkscore.ini"), 0},
#ifdef Q_OS_UNIX
        {"disk full half-way", path_, 256},
#endif
    };
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Load(original);
        table_.append(Game("new", {"500", "500", "500", "500"}));
        const auto before = Rows(table_);

        QString error;
        bool saved = true;
#ifdef Q_OS_UNIX
        if (c.fileSizeLimit) {
            FileSizeLimit limit(c.fileSizeLimit);
            ASSERT_TRUE(limit.active());
            saved = table_.SaveScores(c.path, &error);
        } else
#endif
        {
            saved = table_.SaveScores(c.path, &error);
        }
        EXPECT_FALSE(saved);
        EXPECT_FALSE(error.trimmed().isEmpty());
        EXPECT_EQ(Rows(table_), before);
        EXPECT_EQ(ReadRaw(path_), original);
        EXPECT_EQ(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  (QStringList{"folder", "tkscore.ini"}));

        // Once the trouble is gone the same table saves, pruned as ever.
        Save();
        EXPECT_EQ(table_.scoreCount(), 10);  // p92 to p100 and the new game
        EXPECT_EQ(table_.row(1).fields[kPlayerName], "p92");
        EXPECT_EQ(table_.row(10).fields[kPlayerName], "new");
    }
}

#ifdef Q_OS_UNIX
// Runs out of file descriptors for a moment, so that opening any file fails.
class NoFreeDescriptor {
public:
    NoFreeDescriptor()
    {
        getrlimit(RLIMIT_NOFILE, &saved_);
        const int lowest = ::open("/dev/null", O_RDONLY);
        if (lowest < 0)
            return;
        ::close(lowest);
        rlimit lowered = saved_;
        lowered.rlim_cur = rlim_t(lowest);
        active_ = setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~NoFreeDescriptor() { setrlimit(RLIMIT_NOFILE, &saved_); }
    bool active() const { return active_; }

private:
    rlimit saved_{};
    bool active_ = false;
};

TEST_F(ScoreFileTest, AFileThatCouldNotBeReadIsNotOverwritten)
{
    const QByteArray original = "1,old,5,5,5,5,d,1,60\r\n";
    WriteRaw(path_, original);
    bool loaded = true;
    {
        NoFreeDescriptor none;
        ASSERT_TRUE(none.active());
        loaded = table_.LoadScores(path_);
    }
    EXPECT_FALSE(loaded);
    EXPECT_EQ(table_.scoreCount(), 0);

    table_.append(Game("new", {"1", "1", "1", "1"}));
    QString error;
    EXPECT_FALSE(table_.SaveScores(path_, &error));
    EXPECT_FALSE(error.trimmed().isEmpty());
    EXPECT_EQ(ReadRaw(path_), original);
    EXPECT_EQ(table_.scoreCount(), 1);

    // Read properly, the file takes the new game as usual.
    ASSERT_TRUE(table_.LoadScores(path_));
    table_.append(Game("new", {"1", "1", "1", "1"}));
    Save();
    EXPECT_EQ(Names(table_), (QStringList{"old", "new"}));
}
#endif

#ifdef Q_OS_UNIX
TEST_F(ScoreFileTest, CopiesRegisteringAtTheSameTimeKeepEveryRecord)
{
    // Each child process is a running copy of the game whose board opened
    // before the others saved; every result is in a group of its own, so
    // no pruning may drop it. Without the lock, one copy's save rewrote the
    // file from a table that missed the others' records.
    constexpr int kCopies = 4;
    constexpr int kResults = 20;
    Load(CrLf({"1,old,1,1,1,1,d,9,9"}));
    std::vector<pid_t> copies;
    for (int copy = 0; copy < kCopies; ++copy) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool saved = true;
            for (int i = 0; i < kResults; ++i) {
                ScoreTable board;
                board.LoadScores(path_);
                const QString limit = QString::number(1000 * (copy + 1) + i);
                saved = board.Register(Game("c" + limit, {"5", "5", "5", "5"}, "1", limit), path_,
                                       path_)
                        && saved;
            }
            _exit(saved ? 0 : 1);
        }
        copies.push_back(pid);
    }
    for (const pid_t pid : copies) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ScoreTable all;
    ASSERT_TRUE(all.LoadScores(path_));
    const QStringList names = Names(all);
    EXPECT_EQ(names.size(), 1 + kCopies * kResults);
    for (int copy = 0; copy < kCopies; ++copy) {
        for (int i = 0; i < kResults; ++i)
            EXPECT_TRUE(names.contains("c" + QString::number(1000 * (copy + 1) + i))) << copy << " " << i;
    }
    EXPECT_FALSE(QFile::exists(path_ + ".lock"));
}
#endif

TEST_F(ScoreFileTest, MoreRecordsThanAnyBoardKeepsAreTakenForAnUnreadableFile)
{
    // Two million records are far past any board the game keeps; more would
    // cost memory without bound (a 64 MB file of empty lines). The file is
    // then left alone like any other it cannot read.
    const QByteArray tooMany(kMostScoreRecords + 1, '\n');
    WriteRaw(path_, tooMany);
    EXPECT_FALSE(table_.LoadScores(path_));
    EXPECT_EQ(table_.scoreCount(), 0);
    table_.append(Game("new", {"1", "1", "1", "1"}));
    QString error;
    EXPECT_FALSE(table_.SaveScores(path_, &error));
    EXPECT_EQ(ReadRaw(path_), tooMany);
}

TEST_F(ScoreFileTest, RegisteringNeverOverwritesAFileItCannotRead)
{
    // The record still reaches the table (the board lists it), but the file
    // stays as it is.
    ASSERT_TRUE(QDir(dir_.path()).mkdir("tkscore.ini"));
    const QString beside = dir_.filePath("program-tkscore.ini");
    ASSERT_TRUE(QDir(dir_.path()).mkdir("program-tkscore.ini"));
    const QString saved = dir_.filePath("player-tkscore.ini");
    struct Case {
        const char *what;
        QString path, readPath;
    };
    const Case cases[] = {{"its own file", path_, path_},
                          {"the program folder's, saving to the player's", saved, beside}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScoreTable table;
        int listings = 0;
        QString error;
        EXPECT_FALSE(table.Register(Game("new", {"1", "1", "1", "1"}), c.path, c.readPath,
                                    [&] { ++listings; }, &error));
        EXPECT_EQ(listings, 1);
        EXPECT_EQ(Names(table), QStringList{"new"});
        EXPECT_TRUE(error.startsWith(U("ファイルを読めなかった"))) << error.toStdString();
    }
    EXPECT_FALSE(QFile::exists(saved));
}

TEST_F(ScoreFileTest, GroupsFarOutsideSixteenBitsArePrunedByTheSameRules)
{
    struct Case {
        const char *mode;
        const char *limit;
        const char *writtenMode;
        const char *writtenLimit;
    };
    const Case cases[] = {
        {"70000", "40000", "70000", "40000"},
        {"-40000", "60", "-40000", "60"},
        {"1e300", "60", "1E+300", "60"},
        {"99999999999999999999", "&HFFFFFFFF", "1E+20", "-1"},
        {"4294967296", "-2147483649", "4294967296", "-2147483649"},
        // Beyond double: no written form would read back, but the group holds.
        {"1e999", "-1e999", nullptr, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        table_ = ScoreTable();
        const auto eleven = ElevenInOrder();
        for (const ScoreRecord &record : Ranked(eleven, U(c.mode), U(c.limit)))
            table_.append(record);
        const double mode = ReadNumber(U(c.mode));
        const double limit = ReadNumber(U(c.limit));
        EXPECT_EQ(table_.SelectTopTen(kPoints, mode, limit).size(), 10u);

        QString error;
        ASSERT_TRUE(table_.SaveScores(path_, &error)) << error.toStdString();
        EXPECT_EQ(Names(table_), NamesOf(eleven, "g11"));
        if (c.writtenMode) {
            EXPECT_EQ(table_.row(1).fields[kModeNumber], U(c.writtenMode));
            EXPECT_EQ(table_.row(1).fields[kTimeLimit], U(c.writtenLimit));
        }
    }
}

// ------------------------------------ the fast selection against the literal one

// The board's selection as it was first written: up to 21 passes over the
// whole table, reading every number again in each.
std::vector<int> LiteralSelectTopTen(const ScoreTable &table, int field, double mode, double limit)
{
    std::vector<int> list;
    for (int pass = 0; pass < 21 && list.size() < 10; ++pass) {
        double best = 0;
        int candidate = 0;
        for (int r = 1; r <= table.scoreCount(); ++r) {
            const ScoreRecord &record = table.row(r);
            if (ReadNumber(record.fields[kModeNumber]) != mode
                || ReadNumber(record.fields[kTimeLimit]) != limit)
                continue;
            if (std::find(list.begin(), list.end(), r) != list.end())
                continue;
            const double v = ReadNumber(record.fields[field]);
            if (v > best) {
                best = v;
                candidate = r;
            }
        }
        if (candidate == 0)
            break;
        list.push_back(candidate);
    }
    return list;
}

double LiteralTenthBest(const ScoreTable &table, int field, double mode, double limit)
{
    const std::vector<int> list = LiteralSelectTopTen(table, field, mode, limit);
    return list.empty() ? 0 : ReadNumber(table.row(list.back()).fields[field]);
}

// The names of the rows the literal save keeps.
QStringList LiteralKept(const ScoreTable &table)
{
    std::map<std::tuple<int, double, double>, double> tenth;  // only to save time
    QStringList kept;
    for (int r = 1; r <= table.scoreCount(); ++r) {
        const ScoreRecord &record = table.row(r);
        const double mode = RoundHalfEven(ReadNumber(record.fields[kModeNumber]));
        const double limit = RoundHalfEven(ReadNumber(record.fields[kTimeLimit]));
        bool keep = false;
        for (int f = kPoints; f <= kAccuracy && !keep; ++f) {
            const auto key = std::make_tuple(f, mode, limit);
            auto found = tenth.find(key);
            if (found == tenth.end())
                found = tenth.emplace(key, LiteralTenthBest(table, f, mode, limit)).first;
            keep = ReadNumber(record.fields[f]) >= found->second;
        }
        if (keep)
            kept << record.fields[kPlayerName];
    }
    return kept;
}

QString Pick(std::mt19937 &rng, const std::vector<const char *> &choices)
{
    return QString::fromLatin1(choices[std::uniform_int_distribution<size_t>(0, choices.size() - 1)(rng)]);
}

QString RandomValue(std::mt19937 &rng)
{
    const int kind = std::uniform_int_distribution<int>(0, 19)(rng);
    if (kind < 12)  // small whole numbers: plenty of ties
        return QString::number(std::uniform_int_distribution<int>(0, 12)(rng));
    if (kind < 14)
        return QString::number(std::uniform_int_distribution<int>(0, 200)(rng) / 8.0);
    return Pick(rng, {"", "-3", "12.50", "007", "1e999", "abc", " 4", "0.0"});
}

TEST(ScoreSelectionTest, MatchesTheLiteralSelectionOnRandomTables)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("tkscore.ini"));
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        ScoreTable table;
        const int rows = std::uniform_int_distribution<int>(0, 110)(rng);
        for (int i = 0; i < rows; ++i) {
            const bool common = std::uniform_int_distribution<int>(0, 9)(rng) < 8;
            const QString mode = common ? Pick(rng, {"1", "2"})
                                        : Pick(rng, {"1.0", " 2", "1.5", "2.5", "0.5", "", "abc",
                                                     "70000", "-40000", "1e999", "&HFFFF", "3"});
            const QString limit = common ? Pick(rng, {"60", "10"})
                                         : Pick(rng, {"60.0", "59.5", "", "1e999", "40000", "-5", "10"});
            table.append(Game(QStringLiteral("r%1").arg(i + 1),
                              {RandomValue(rng), RandomValue(rng), RandomValue(rng), RandomValue(rng)},
                              mode, limit));
        }

        std::set<std::pair<double, double>> groups{{1, 60}, {9, 9}};
        for (int r = 1; r <= table.scoreCount(); ++r) {
            const double mode = ReadNumber(table.row(r).fields[kModeNumber]);
            const double limit = ReadNumber(table.row(r).fields[kTimeLimit]);
            groups.insert({mode, limit});
            groups.insert({RoundHalfEven(mode), RoundHalfEven(limit)});
        }
        for (const auto &[mode, limit] : groups) {
            for (const int field : {kPoints, kCorrectChars, kCharsPerSecond, kAccuracy, kSerial}) {
                SCOPED_TRACE(::testing::Message() << "field " << field << " group " << mode << "," << limit);
                EXPECT_EQ(table.SelectTopTen(field, mode, limit), LiteralSelectTopTen(table, field, mode, limit));
                EXPECT_EQ(table.TenthBest(field, mode, limit), LiteralTenthBest(table, field, mode, limit));
            }
        }

        const QStringList kept = LiteralKept(table);
        QString error;
        ASSERT_TRUE(table.SaveScores(path, &error)) << error.toStdString();
        EXPECT_EQ(Names(table), kept);
        ExpectSameTable(table, path);
    }
}

TEST(ScoresPathTest, IsInTheProgramFolder)
{
    Module1 state;
    state.setProgramFolder(QStringLiteral("/opt/typetoki"));
    EXPECT_EQ(ScoresPath(state), "/opt/typetoki/tkscore.ini");
}

}  // namespace
