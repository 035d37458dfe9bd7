#include "persistence/textfile.h"
#include "persistence/settingsfile.h"

#include "support/files.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

const QByteArray kReservedCp932 = QByteArray::fromHex("3c3c96a28e67977097cc88e63e3e");

// What LoadSettings leaves in the eight fields it owns.
struct Settings {
    std::int16_t gameMode;
    std::int16_t timeLimitSeconds;
    QString trainingTextPath;
    QString heroSoundPath;
    QString rivalSoundPath;
    QString missSoundPath;
    float sliderValue;

    static Settings Of(const Module1 &s)
    {
        return {std::int16_t(s.gameMode), s.timeLimitSeconds, s.trainingTextPath, s.heroSoundPath,
                s.rivalSoundPath, s.missSoundPath,   s.sliderValue};
    }
    bool operator==(const Settings &) const = default;
};

void PrintTo(const Settings &s, std::ostream *os)
{
    *os << "{mode " << s.gameMode << ", limit " << s.timeLimitSeconds << ", training "
        << s.trainingTextPath.toStdString() << ", sounds " << s.heroSoundPath.toStdString() << " "
        << s.rivalSoundPath.toStdString() << " " << s.missSoundPath.toStdString() << ", slider "
        << s.sliderValue << "}";
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.path();
        state_.setProgramFolder(folder_);
    }

    QString InFolder(const char *name) const { return folder_ + u'/' + QLatin1String(name); }

    // The state LoadSettings starts from, with the training text's fallback.
    Settings Defaults() const
    {
        return {1, 60, InFolder("test.txt"), InFolder("eya.wav"), InFolder("hiku.wav"),
                InFolder("ahh.wav"), 0.1f};
    }

    // A state full of values none of the defaults share, as a previous run left it.
    void Scramble()
    {
        state_.gameMode = GameMode(99);
        state_.timeLimitSeconds = 999;
        state_.trainingTextPath = QStringLiteral("/stale/training.txt");
        state_.heroSoundPath = QStringLiteral("/stale/hero.wav");
        state_.rivalSoundPath = QStringLiteral("/stale/rival.wav");
        state_.missSoundPath = QStringLiteral("/stale/miss.wav");
        state_.sliderValue = 7.5f;
    }

    QTemporaryDir dir_;
    QString folder_;
    Module1 state_;
};

// ------------------------------------------------------------- LoadSettings

struct LoadCase {
    const char *name;
    QByteArray bytes;
    bool complete;
    Settings expected;
};

TEST_F(SettingsFileTest, NoFileGivesTheDefaults)
{
    Scramble();
    EXPECT_FALSE(LoadSettings(state_, state_));
    EXPECT_EQ(Settings::Of(state_), Defaults());
    // Reading never creates the file.
    EXPECT_FALSE(QFile::exists(SettingsPath(state_)));
    EXPECT_EQ(SettingsPath(state_), InFolder("tatak.ini"));
}

TEST_F(SettingsFileTest, ReadsTheEightValuesAndStopsAtTheFirstBadLine)
{
    const Settings d = Defaults();
    const QStringList good{"3",        "120",      "/t/first.txt", "/s/h.wav",
                           "/s/r.wav", "/s/m.wav", "/t/last.txt",  "0.25"};
    const auto with = [&](int line, const char *text) {
        QStringList lines = good;
        lines[line - 1] = U(text);
        return lines;
    };
    const QStringList reserved(12, U("<<未使用領域>>"));
    const Settings full{3, 120, "/t/last.txt", "/s/h.wav", "/s/r.wav", "/s/m.wav", 0.25f};
    const auto fullWith = [&](auto change) {
        Settings s = full;
        change(s);
        return s;
    };
    // Read up to line 2 (mode from the file), failed there.
    const Settings failedAtLine2{3, 60, d.trainingTextPath, d.heroSoundPath, d.rivalSoundPath,
                                 d.missSoundPath, 0.1f};
    // Read up to line 8 (everything but sliderValue), failed there.
    const Settings failedAtLine8{3,          120,        d.trainingTextPath, "/s/h.wav",
                                 "/s/r.wav", "/s/m.wav", 0.1f};

    const LoadCase cases[] = {
        {"as written, 20 lines", CrLf(good + reserved), true, full},
        {"exactly 8 lines", CrLf(good), true, full},
        {"8 lines, the last without a line end", CrLf(good).chopped(2), true, full},
        {"reserved lines of any content", CrLf(good + QStringList{"x", "", "1,2,3"}), true, full},
        {"LF line ends", CrLf(good).replace("\r\n", "\n"), true, full},
        // Fewer lines: whatever was read stays, the training path goes back.
        {"7 lines", CrLf(good.mid(0, 7)), false, failedAtLine8},
        {"2 lines", CrLf(good.mid(0, 2)), false,
         {3, 120, d.trainingTextPath, d.heroSoundPath, d.rivalSoundPath, d.missSoundPath, 0.1f}},
        {"1 line", CrLf(good.mid(0, 1)), false, failedAtLine2},
        {"empty file", QByteArray(), false, d},
        // Only the first 64 KB are read: a line that runs past them is
        // missing, as if the file ended there; what follows them is never
        // looked at.
        {"line 3 running past the first 64 KB", CrLf(with(3, QByteArray(70000, 'x').constData())),
         false, {3, 120, d.trainingTextPath, d.heroSoundPath, d.rivalSoundPath, d.missSoundPath, 0.1f}},
        {"a long tail after the values", CrLf(good) + QByteArray(200000, 'z'), true, full},
        // Line 1: the number at the start, rounded half to even.
        {"line 1 digit and letters", CrLf(with(1, "4abc")), true, fullWith([](Settings &s) { s.gameMode = 4; })},
        {"line 1 letters", CrLf(with(1, "abc")), true, fullWith([](Settings &s) { s.gameMode = 0; })},
        {"line 1 empty", CrLf(with(1, "")), true, fullWith([](Settings &s) { s.gameMode = 0; })},
        {"line 1 2.5", CrLf(with(1, "2.5")), true, fullWith([](Settings &s) { s.gameMode = 2; })},
        {"line 1 3.5", CrLf(with(1, "3.5")), true, fullWith([](Settings &s) { s.gameMode = 4; })},
        {"line 1 blanks inside", CrLf(with(1, " 1 2")), true, fullWith([](Settings &s) { s.gameMode = 12; })},
        {"line 1 hexadecimal", CrLf(with(1, "&H10")), true, fullWith([](Settings &s) { s.gameMode = 16; })},
        {"line 1 lowest", CrLf(with(1, "-32768")), true, fullWith([](Settings &s) { s.gameMode = -32768; })},
        {"line 1 too large", CrLf(with(1, "40000")), false, d},
        {"line 1 rounds past the range", CrLf(with(1, "32767.5")), false, d},
        {"line 1 beyond double", CrLf(with(1, "1e999")), false, d},
        // Line 2: the whole line is a number or the read fails.
        {"line 2 digit and letters", CrLf(with(2, "4abc")), false, failedAtLine2},
        {"line 2 blanks around", CrLf(with(2, " 90 ")), true, fullWith([](Settings &s) { s.timeLimitSeconds = 90; })},
        {"line 2 tab before", CrLf(with(2, "\t3600")), true, fullWith([](Settings &s) { s.timeLimitSeconds = 3600; })},
        {"line 2 fraction", CrLf(with(2, "2.5")), true, fullWith([](Settings &s) { s.timeLimitSeconds = 2; })},
        {"line 2 negative", CrLf(with(2, "-10")), true, fullWith([](Settings &s) { s.timeLimitSeconds = -10; })},
        {"line 2 empty", CrLf(with(2, "")), false, failedAtLine2},
        {"line 2 blanks inside", CrLf(with(2, "1 2")), false, failedAtLine2},
        {"line 2 too large", CrLf(with(2, "32768")), false, failedAtLine2},
        // Paths: the whole line, and line 7 wins over line 3.
        {"paths with blanks and Japanese", EncodeLines(with(7, "/home/ユーザー/My Texts/練習.txt")), true,
         fullWith([](Settings &s) { s.trainingTextPath = U("/home/ユーザー/My Texts/練習.txt"); })},
        {"empty paths", CrLf(with(4, "")), true, fullWith([](Settings &s) { s.heroSoundPath.clear(); })},
        // Line 8: strict single precision.
        {"line 8 zero", CrLf(with(8, "0")), true, fullWith([](Settings &s) { s.sliderValue = 0; })},
        {"line 8 blanks around", CrLf(with(8, " 0.5 ")), true, fullWith([](Settings &s) { s.sliderValue = 0.5f; })},
        {"line 8 largest single", CrLf(with(8, "3.4E+38")), true, fullWith([](Settings &s) { s.sliderValue = 3.4e38f; })},
        {"line 8 empty", CrLf(with(8, "")), false, failedAtLine8},
        {"line 8 letters", CrLf(with(8, "abc")), false, failedAtLine8},
        {"line 8 digit and letters", CrLf(with(8, "0.1x")), false, failedAtLine8},
        {"line 8 beyond single", CrLf(with(8, "1E+39")), false, failedAtLine8},
    };
    for (const LoadCase &c : cases) {
        SCOPED_TRACE(c.name);
        WriteRaw(SettingsPath(state_), c.bytes);
        Scramble();
        EXPECT_EQ(LoadSettings(state_, state_), c.complete);
        EXPECT_EQ(Settings::Of(state_), c.expected);
    }
}

TEST_F(SettingsFileTest, ReadsEitherEncoding)
{
    const QStringList lines{"2", "30", U("/t/テスト.txt"), U("/s/Zoë.wav"), "/s/r.wav",
                            "/s/m.wav", U("/t/テスト.txt"), "0.2"};
    QByteArray utf8WithMark = QByteArray::fromHex("efbbbf");
    for (const QString &line : lines)
        utf8WithMark += line.toUtf8() + "\r\n";
    QByteArray cp932 = "2\r\n30\r\n/t/" + QByteArray::fromHex("836583588367") + ".txt\r\n/s/h.wav\r\n"
                       "/s/r.wav\r\n/s/m.wav\r\n/t/" + QByteArray::fromHex("836583588367")
                       + ".txt\r\n0.2\r\n";
    struct Case {
        const char *name;
        QByteArray bytes;
        QString heroSoundPath;
    };
    const Case cases[] = {
        {"UTF-8 with mark", utf8WithMark, U("/s/Zoë.wav")},
        {"code page 932", cp932, "/s/h.wav"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WriteRaw(SettingsPath(state_), c.bytes);
        ASSERT_TRUE(LoadSettings(state_, state_));
        EXPECT_EQ(state_.gameMode, GameMode::Rival);
        EXPECT_EQ(state_.timeLimitSeconds, 30);
        EXPECT_EQ(state_.trainingTextPath, U("/t/テスト.txt"));
        EXPECT_EQ(state_.heroSoundPath, c.heroSoundPath);
        EXPECT_EQ(state_.sliderValue, 0.2f);
    }
}

// ------------------------------------------------------------- SaveSettings

TEST_F(SettingsFileTest, WritesTwentyLinesInCodePage932)
{
    state_.gameMode = GameMode::Hero;
    state_.timeLimitSeconds = 60;
    state_.trainingTextPath = U("/t/テスト.txt");
    state_.heroSoundPath = QStringLiteral("/s/eya.wav");
    state_.rivalSoundPath = QStringLiteral("/s/my hiku.wav");
    state_.missSoundPath = QStringLiteral("/s/ahh.wav");
    state_.sliderValue = 0.1f;
    QString error;
    ASSERT_TRUE(SaveSettings(state_, state_, &error)) << error.toStdString();

    const QByteArray training = "/t/" + QByteArray::fromHex("836583588367") + ".txt\r\n";
    QByteArray expected = "1\r\n60\r\n" + training
                          + "/s/eya.wav\r\n/s/my hiku.wav\r\n/s/ahh.wav\r\n" + training + "0.1\r\n";
    for (int i = 0; i < 12; ++i)
        expected += kReservedCp932 + "\r\n";
    EXPECT_EQ(ReadRaw(SettingsPath(state_)).toHex(' ').toStdString(), expected.toHex(' ').toStdString());
}

TEST_F(SettingsFileTest, WritesSliderValueToSevenDigits)
{
    struct Case {
        float value;
        const char *text;
        const char *rewritten;  // after reading the file back
        bool exact;             // the written digits name this very single
    };
    const Case cases[] = {
        {0.1f, "0.1", "0.1", true},
        {0.2f, "0.2", "0.2", true},
        {0.15f, "0.15", "0.15", true},
        {0.3f, "0.3", "0.3", true},
        {0.01f, "0.01", "0.01", true},
        {0.0f, "0", "0", true},
        {1.0f, "1", "1", true},
        {12.5f, "12.5", "12.5", true},
        {-0.5f, "-0.5", "-0.5", true},
        {1e-8f, "1E-08", "1E-08", true},
        {3.4e38f, "3.4E+38", "3.4E+38", true},
        {1.0f / 3, "0.3333333", "0.3333333", false},
        {16777215.0f, "1.677722E+07", "1.677722E+07", false},
        // Seven digits fall short just above 1E+28: the single nearest to
        // them lies below it and writes one more 9, which then holds.
        {1.00000006e28f, "1E+28", "9.999999E+27", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        state_.sliderValue = c.value;
        EXPECT_EQ(SettingsLines(state_).value(7), QString::fromLatin1(c.text));
        ASSERT_TRUE(SaveSettings(state_, state_));
        state_.sliderValue = -1;
        ASSERT_TRUE(LoadSettings(state_, state_));
        EXPECT_EQ(SettingsLines(state_).value(7), QString::fromLatin1(c.rewritten));
        if (c.exact) {
            EXPECT_EQ(state_.sliderValue, c.value);
        }
        ASSERT_TRUE(SaveSettings(state_, state_));
        ASSERT_TRUE(LoadSettings(state_, state_));
        EXPECT_EQ(SettingsLines(state_).value(7), QString::fromLatin1(c.rewritten));
    }
}

TEST_F(SettingsFileTest, ASavedFileReadsBackTheSame)
{
    const auto make = [&](std::int16_t mode, std::int16_t limit, const char *training,
                          const char *hero, float slider) {
        Settings s{mode, limit, U(training), U(hero), InFolder("hiku.wav"), InFolder("ahh.wav"), slider};
        return s;
    };
    // Values the program never checks go back to the file as they are.
    const Settings cases[] = {
        make(1, 60, "/t/test.txt", "/s/eya.wav", 0.1f),
        make(4, 90, "/home/ユーザー/練習 文.txt", "/s/eya.wav", 0.15f),
        make(0, 3600, "", "", 0.0f),
        make(-7, -1, "/t/Zoë.txt", "C:\\Sounds\\eya.wav", 2.0f),
        make(32767, -32768, "/t/①～－.txt", " leading and trailing ", 0.01f),
    };
    for (const Settings &s : cases) {
        std::ostringstream name;
        PrintTo(s, &name);
        SCOPED_TRACE(name.str());
        state_.gameMode = GameMode(s.gameMode);
        state_.timeLimitSeconds = s.timeLimitSeconds;
        state_.trainingTextPath = s.trainingTextPath;
        state_.heroSoundPath = s.heroSoundPath;
        state_.rivalSoundPath = s.rivalSoundPath;
        state_.missSoundPath = s.missSoundPath;
        state_.sliderValue = s.sliderValue;
        QString error;
        ASSERT_TRUE(SaveSettings(state_, state_, &error)) << error.toStdString();
        Scramble();
        EXPECT_TRUE(LoadSettings(state_, state_));
        EXPECT_EQ(Settings::Of(state_), s);
    }
}

TEST_F(SettingsFileTest, WritesBackWhatItReadInItsOwnForm)
{
    // A hand-edited file comes back in the program's own form; line 7's path
    // ends up in both path lines.
    WriteRaw(SettingsPath(state_), "  2.5\r\n 90 \r\n/t/three.txt\r\n/s/h.wav\r\n/s/r.wav\r\n"
                                   "/s/m.wav\r\n/t/seven.txt\r\n 0.50\r\n");
    ASSERT_TRUE(LoadSettings(state_, state_));
    ASSERT_TRUE(SaveSettings(state_, state_));
    QByteArray expected = "2\r\n90\r\n/t/seven.txt\r\n/s/h.wav\r\n/s/r.wav\r\n/s/m.wav\r\n"
                          "/t/seven.txt\r\n0.5\r\n";
    for (int i = 0; i < 12; ++i)
        expected += kReservedCp932 + "\r\n";
    EXPECT_EQ(ReadRaw(SettingsPath(state_)), expected);
}

TEST_F(SettingsFileTest, APathOutsideCodePage932IsSavedWholeInUtf8)
{
    state_.trainingTextPath = U("/home/zoë/テスト.txt");
    ASSERT_TRUE(SaveSettings(state_, state_));
    const QByteArray bytes = ReadRaw(SettingsPath(state_));
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF" "1\r\n60\r\n"));
    EXPECT_TRUE(bytes.endsWith(U("<<未使用領域>>\r\n").toUtf8()));
    EXPECT_FALSE(bytes.contains('?'));
    state_.trainingTextPath.clear();
    ASSERT_TRUE(LoadSettings(state_, state_));
    EXPECT_EQ(state_.trainingTextPath, U("/home/zoë/テスト.txt"));
}

TEST_F(SettingsFileTest, ALookAlikeTypedOnLinuxStaysInCodePage932AndFindsItsFile)
{
    // "〜" as Anthy and Mozc type it is written as code page 932's "～", so
    // the file stays readable as code page 932; read back, a path still
    // names the file that exists.
    const auto at = [this](const char *name) { return folder_ + u'/' + U(name); };
    WriteRaw(at("typed〜.txt"), "a\r\n");
    WriteRaw(at("own～.wav"), "");
    struct Case {
        const char *name;
        QString *path;
        QString saved;
        QString read;
    };
    const Case cases[] = {
        {"typed, and on disk so", &state_.trainingTextPath, at("typed〜.txt"), at("typed〜.txt")},
        {"typed, no file either way", &state_.heroSoundPath, at("gone−.wav"), at("gone－.wav")},
        {"the code page's own on disk", &state_.rivalSoundPath, at("own～.wav"), at("own～.wav")},
    };
    for (const Case &c : cases)
        *c.path = c.saved;
    ASSERT_TRUE(SaveSettings(state_, state_));
    const QByteArray bytes = ReadRaw(SettingsPath(state_));
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(bytes.contains("typed\x81\x60.txt\r\n"));
    EXPECT_TRUE(bytes.contains("gone\x81\x7C.wav\r\n"));
    Scramble();
    ASSERT_TRUE(LoadSettings(state_, state_));
    EXPECT_EQ(state_.trainingTextPath, cases[0].read);
    EXPECT_EQ(state_.heroSoundPath, cases[1].read);
    EXPECT_EQ(state_.rivalSoundPath, cases[2].read);
}

TEST_F(SettingsFileTest, ReportsInJapaneseWhyTheFileCannotBeWritten)
{
    // Each of these stops root as well as a player.
    WriteRaw(InFolder("a-file"), "x");
    struct Case {
        const char *what;
        std::function<void(Module1 &)> place;
        const char *reason;  // how the reason starts
    };
    const Case cases[] = {
        {"a folder where the file should be",
         [this](Module1 &s) {
             s.setProgramFolder(InFolder("taken"));
             ASSERT_TRUE(QDir().mkpath(InFolder("taken/tatak.ini")));
         },
         "同じ名前のフォルダーがあります"},
        // The program folder is not the game's to make.
        {"the program folder gone", [this](Module1 &s) { s.setProgramFolder(InFolder("missing")); },
         "保存先のフォルダーがありません"},
        // The player's folder, which could not be made at start-up either:
        // the message names it rather than the file.
        {"the player's folder cannot be made",
         [this](Module1 &s) { s.dataFolder = InFolder("a-file/typetoki"); },
         "データを保存するフォルダー "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Module1 state;
        state.setProgramFolder(folder_);
        c.place(state);
        QString error;
        EXPECT_FALSE(SaveSettings(state, state, &error));
        EXPECT_TRUE(error.startsWith(QString::fromUtf8(c.reason))) << error.toStdString();
        // Without a place for the reason it still fails, and does not crash.
        EXPECT_FALSE(SaveSettings(state, state));
    }
    EXPECT_FALSE(QFile::exists(InFolder("missing")));
    QString error;
    Module1 unmade;
    unmade.setProgramFolder(folder_);
    unmade.dataFolder = InFolder("a-file/typetoki");
    SaveSettings(unmade, unmade, &error);
    EXPECT_TRUE(error.contains(InFolder("a-file/typetoki") + " を作れません: "
                               + U("保存先のパスの途中にフォルダーでないものがあります")))
        << error.toStdString();
}

#ifdef Q_OS_UNIX
TEST_F(SettingsFileTest, AWriteFailingHalfWayKeepsThePreviousFile)
{
    state_.gameMode = GameMode::Vs;
    state_.timeLimitSeconds = 120;
    ASSERT_TRUE(SaveSettings(state_, state_));
    const QByteArray before = ReadRaw(SettingsPath(state_));

    state_.gameMode = GameMode::Rival;
    state_.trainingTextPath = QString(200, u'x');
    QString error;
    bool saved = true;
    {
        FileSizeLimit limit(64);
        ASSERT_TRUE(limit.active());
        saved = SaveSettings(state_, state_, &error);
    }
    EXPECT_FALSE(saved);
    EXPECT_TRUE(error.startsWith(U("ファイルが大きすぎます"))) << error.toStdString();
    EXPECT_EQ(ReadRaw(SettingsPath(state_)), before);
    EXPECT_EQ(QDir(folder_).entryList(QDir::Files | QDir::Hidden), QStringList{"tatak.ini"});
    ASSERT_TRUE(LoadSettings(state_, state_));
    EXPECT_EQ(state_.gameMode, GameMode::Vs);
    EXPECT_EQ(state_.timeLimitSeconds, 120);
}
#endif

}  // namespace
