#include "platform/mecabreader.h"

#include "engine/romaji.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

using namespace typetoki;
using namespace typetoki::testing;

namespace {

// The real dictionary, or a skipped test where it is not installed.
#define OPEN_DICTIONARY(reader)                                                  \
    QString problem;                                                             \
    const std::shared_ptr<const MecabReader> reader = MecabReader::open(&problem); \
    if (!reader)                                                                 \
        GTEST_SKIP() << problem.toStdString()

TEST(MecabReaderTest, ReadsLinesAsTheyAreWritten)
{
    OPEN_DICTIONARY(reader);
    const struct {
        const char *line;
        const char *kana;
    } cases[] = {
        {"日本語を打つ", "にほんごをうつ"},
        // The reading, not the pronunciation (とーきょー).
        {"今日は東京へ行きました。", "きょうはとうきょうへいきました。"},
        {"打鍵一閃、指先に魂を込めよ。", "だけんいっせん、ゆびさきにたましいをこめよ。"},
        {"私の名前は中野です", "わたしのなまえはなかのです"},
        {"お茶を飲む", "おちゃをのむ"},
        {"The quick brown fox.", "Thequickbrownfox."},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ReadLine(U(c.line), reader.get()).likeliest(), U(c.kana)) << c.line;
}

// Lines typed the ways people read them: each spelling must finish the line
// with no miss.
TEST(MecabReaderTest, AcceptsTheReadingsATypistTypes)
{
    OPEN_DICTIONARY(reader);
    const struct {
        const char *line;
        std::vector<const char *> keys;
    } cases[] = {
        {"一ヶ月", {"ikkagetsu", "ichikagetsu"}},
        {"鉛筆一本", {"enpitsuipponn", "enpitsuichihonn"}},
        {"三本の矢", {"sanbonnnoya", "sanhonnnoya"}},
        {"六本", {"ropponn", "rokuhonn"}},
        {"八本", {"happonn", "hachihonn"}},
        {"十本", {"jupponn", "jipponn", "juuhonn"}},
        {"一冊", {"issatsu", "ichisatsu"}},
        {"一個", {"ikko"}},
        {"一匹", {"ippiki"}},
        {"三匹", {"sanbiki"}},
        {"三杯", {"sanbai"}},
        {"何本", {"nanbonn"}},
        {"一人", {"hitori", "ichininn"}},
        {"二人で", {"futaride", "nininnde"}},
        {"日本に行く", {"nihonnniiku", "nipponnniiku"}},
        {"一日中", {"ichinichijuu", "ichinichichuu"}},
        {"今日は", {"kyouha", "konnnichiha"}},
        {"明日", {"ashita", "asu"}},
        {"上手", {"jouzu"}},
        {"人気がある", {"ninnkigaaru", "hitokegaaru"}},
        {"私は学生です", {"watashihagakuseidesu", "watakushihagakuseidesu"}},
        {"東京都に住む", {"toukyoutonisumu"}},
        {"昨日", {"kinou"}},
        {"大人", {"otona"}},
        {"今年", {"kotoshi"}},
        {"十個", {"jukko", "jikko"}},
        {"八千円", {"hassennenn", "hachisennenn"}},
        {"一歩", {"ippo"}},
        {"三百", {"sanbyaku"}},
        {"鉛筆を三本と日本の本を一冊", {"enpitsuwosanbontonihonnnohonnwoissatsu",
                                        "enpitsuwosanbontonipponnnohonnwoichisatsu"}},
    };
    for (const auto &c : cases) {
        for (const char *keys : c.keys) {
            RomajiLine line(ReadLine(U(c.line), reader.get()));
            int misses = 0;
            for (const char key : std::string(keys))
                misses += line.type(QChar(key)).hit ? 0 : 1;
            EXPECT_EQ(misses, 0) << c.line << " by " << keys;
            EXPECT_TRUE(line.finished()) << c.line << " by " << keys;
        }
    }
}

// A paragraph is read a sentence at a time, each in all its ways.
TEST(MecabReaderTest, EverySentenceOfALongLineHasItsReadings)
{
    OPEN_DICTIONARY(reader);
    const QString line = U("日本に行く。").repeated(200);
    RomajiLine romaji(ReadLine(line, reader.get()));
    const QString keys = U("nipponnniiku.").repeated(199) + U("nihonnniiku.");
    int misses = 0;
    for (const QChar key : keys)
        misses += romaji.type(key).hit ? 0 : 1;
    EXPECT_EQ(misses, 0);
    EXPECT_TRUE(romaji.finished());
}

TEST(MecabReaderTest, WordsStandWhereTheyAreInTheLine)
{
    OPEN_DICTIONARY(reader);
    // Four bytes in UTF-8, two units in UTF-16, before the word; blanks
    // that MeCab passes over between words.
    const QString line = U("😀日本語  と𠮷");
    const QList<Word> words = reader->words(line);
    ASSERT_FALSE(words.isEmpty());
    EXPECT_EQ(words.front(), (Word{0, 2, QString()}));
    EXPECT_EQ(words[1], (Word{2, 3, U("ニホンゴ")}));
    EXPECT_EQ(words.back().start + words.back().length, line.size());
    for (const Word &word : words)
        EXPECT_NE(line.mid(word.start, word.length).trimmed(), QString());
}

TEST(MecabReaderTest, ReadsFromSeveralThreadsAtOnce)
{
    OPEN_DICTIONARY(reader);
    const QStringList lines{U("打鍵一閃、指先に魂を込めよ。"), U("毎朝の稽古が、明日の速さを作る。"),
                            U("千里の道も一打から。"), U("礼に始まり、礼に終わる。")};
    std::vector<QList<Word>> expected;
    for (const QString &line : lines)
        expected.push_back(reader->words(line));

    std::vector<int> wrong(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 200; ++round) {
                const int i = (round + t) % int(lines.size());
                wrong[std::size_t(t)] += reader->words(lines[i]) != expected[std::size_t(i)];
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

// A dictionary that cannot be used is a message for the player, not a crash.
TEST(MecabReaderTest, ADictionaryThatCannotBeOpenedIsExplained)
{
    QTemporaryDir empty;
    QTemporaryDir broken;
    ASSERT_TRUE(empty.isValid() && broken.isValid());
    // A real dictionary's files with sys.dic cut short, when one is here.
    const QDir real(MecabReader::defaultDictionary());
    for (const QString &name : real.entryList(QDir::Files))
        QFile::copy(real.filePath(name), broken.filePath(name));
    QFile sys(broken.filePath(QStringLiteral("sys.dic")));
    ASSERT_TRUE(sys.open(QIODevice::ReadWrite));
    sys.resize(1000);
    sys.close();

    for (const QString &folder : {QStringLiteral("/nonexistent/ipadic"), empty.path(), broken.path()}) {
        QString problem;
#if defined(__SANITIZE_ADDRESS__)
        // MeCab keeps what it allocated for a dictionary file it found
        // broken; that memory is the library's, not ours to free.
        __lsan::ScopedDisabler mecabKeepsItsOwn;
#endif
        const auto reader = MecabReader::open(&problem, folder);
        EXPECT_EQ(reader, nullptr) << folder.toStdString();
        EXPECT_TRUE(problem.contains(folder)) << problem.toStdString();
        EXPECT_TRUE(problem.contains(U("mecab-ipadic-utf8"))) << problem.toStdString();
    }
    EXPECT_EQ(MecabReader::open(nullptr, empty.path()), nullptr);
}

}  // namespace
