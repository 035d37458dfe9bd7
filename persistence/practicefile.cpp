#include "persistence/practicefile.h"

#include "persistence/historydatabase.h"
#include "persistence/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>
#include <cerrno>
#include <cmath>
#include <iconv.h>
#include <limits>

namespace typetoki {

namespace {

// Which rows of a list are taken.
enum class Rows { All, General, DictionaryForm };

struct WordList {
    const char *file;
    Rows rows;
};

const WordList kLists[] = {
    {"Noun.csv", Rows::General},         // 名詞,一般
    {"Noun.verbal.csv", Rows::All},      // 名詞,サ変接続
    {"Noun.adjv.csv", Rows::All},        // 名詞,形容動詞語幹
    {"Adverb.csv", Rows::All},
    {"Verb.csv", Rows::DictionaryForm},  // 動詞,自立 ... 基本形
    {"Adj.csv", Rows::DictionaryForm},
};

// A cost this much lower makes a word e times as likely: the dictionary's
// costs are log-probabilities scaled by some hundreds, flattened here so
// that the most frequent words do not crowd out the rest.
constexpr double kCostScale = 700;
constexpr qsizetype kLongestWord = 8;

QByteArray FromEucJp(const QByteArray &bytes)
{
    iconv_t convert = iconv_open("UTF-8", "EUC-JP");
    if (convert == iconv_t(-1))
        return {};
    // Two bytes of EUC-JP become at most three of UTF-8.
    QByteArray out(bytes.size() * 2 + 16, Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char *to = out.data();
    size_t toLeft = size_t(out.size());
    while (inLeft > 0) {
        if (iconv(convert, &in, &inLeft, &to, &toLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // A byte that is no character: the line it stands in is dropped
        // later as having a sign in it.
        ++in;
        --inLeft;
    }
    iconv_close(convert);
    out.truncate(to - out.data());
    return out;
}

// Kanji and kana alone; a reading may be of any length.
bool Writable(const QString &word, qsizetype longest = kLongestWord)
{
    if (word.size() < 2 || word.size() > longest)
        return false;
    for (const QChar c : word) {
        const char16_t u = c.unicode();
        const bool kanji = (u >= 0x4E00 && u <= 0x9FFF) || u == u'々';
        const bool kana = (u >= 0x3041 && u <= 0x3096) || (u >= 0x30A1 && u <= 0x30F6) || u == u'ー';
        if (!kanji && !kana)
            return false;
    }
    return true;
}

struct Row {
    QString written, reading;
    int cost;
};

}  // namespace

QString DictionaryListsFolder()
{
    return QStringLiteral("/usr/share/mecab/dic/ipadic");
}

std::vector<PracticeWord> ReadDictionaryWords(const QString &folder, QString *problem)
{
    std::vector<PracticeWord> words;
    QSet<QString> seen;
    for (const WordList &list : kLists) {
        QFile file(folder + u'/' + QLatin1String(list.file));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = FromEucJp(file.readAll());
        std::vector<Row> rows;
        QHash<int, int> costs;  // how many rows share each cost
        for (const QByteArray &line : text.split('\n')) {
            // Most rows of the verbs and adjectives are other forms: passed
            // over before they are taken apart.
            if (list.rows == Rows::DictionaryForm && !line.contains(",基本形,"))
                continue;
            const QList<QByteArray> f = line.split(',');
            if (f.size() < 12)
                continue;
            if (list.rows == Rows::General && f[5] != "一般")
                continue;
            if (list.rows == Rows::DictionaryForm && (f[5] != "自立" || f[9] != "基本形"))
                continue;
            const int cost = f[3].toInt();
            ++costs[cost];
            const QString written = QString::fromUtf8(f[0]);
            if (Writable(written))
                rows.push_back({written, HiraganaOf(QString::fromUtf8(f[11])), cost});
        }
        int unseen = std::numeric_limits<int>::max(), most = 0;
        for (auto it = costs.cbegin(); it != costs.cend(); ++it) {
            if (it.value() > most) {
                most = it.value();
                unseen = it.key();
            }
        }
        for (const Row &row : rows) {
            if (row.cost >= unseen || !Writable(row.reading, row.reading.size()))
                continue;
            const QString key = row.written + u',' + row.reading;
            if (seen.contains(key))
                continue;
            seen.insert(key);
            words.push_back({row.written, row.reading, std::exp(-std::max(row.cost, 0) / kCostScale)});
        }
    }
    if (words.empty() && problem) {
        *problem = QStringLiteral("練習の言葉を読む単語の一覧が %1 にありません。"
                                  "mecab-ipadic パッケージを入れてください。")
                       .arg(folder);
    }
    return words;
}

PracticeFigures ReadPracticeFigures(const QString &historyPath, int games)
{
    PracticeFigures figures;
    if (!QFileInfo(historyPath).isFile())
        return figures;
    ScopedConnection connection(historyPath, QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=500"));
    QSqlDatabase db = connection.db();
    if (!db.open() || HistoryVersion(db, QStringLiteral("main")) < 1)
        return figures;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT r.n > ?, x.ch, SUM(x.targeted), SUM(x.missed), SUM(x.hit_ms), SUM(x.timed_hits)"
        " FROM (SELECT id, ROW_NUMBER() OVER (ORDER BY played_at DESC, id DESC) AS n"
        "       FROM game WHERE mode IN (?, ?)) r"
        " JOIN target x ON x.game_id = r.id WHERE r.n <= ? GROUP BY 1, 2"));
    for (const QVariant &v : {QVariant(games), QVariant(int(GameMode::Training)),
                              QVariant(int(GameMode::Romaji)), QVariant(2 * games)})
        q.addBindValue(v);
    if (!q.exec())
        return figures;
    while (q.next()) {
        TargetStats &s = (q.value(0).toInt() ? figures.earlier : figures.recent)[q.value(1).toString()];
        s.targeted = q.value(2).toInt();
        s.missed = q.value(3).toInt();
        s.hitSeconds = q.value(4).toDouble() / 1000;
        s.timedHits = q.value(5).toInt();
    }
    return figures;
}

bool PracticeMaker::ready(std::shared_ptr<const Reader> reader, QString *problem)
{
    if (!words_) {
        auto words = ReadDictionaryWords(listsFolder, problem);
        if (words.empty())
            return false;
        words_ = std::make_shared<const std::vector<PracticeWord>>(std::move(words));
    }
    // The dictionary may have come since: its words are the ones to use.
    if (!generator_ || (reader && !withReader_)) {
        withReader_ = reader != nullptr;
        generator_ = std::make_unique<PracticeGenerator>(words_, std::move(reader));
    }
    return true;
}

PracticeMaker::Made PracticeMaker::Make(const QString &historyPath, const QString &dataFolder,
                                        std::shared_ptr<const Reader> reader, std::uint32_t seed, int lines)
{
    Made made;
    if (!ready(std::move(reader), &made.problem))
        return made;
    std::map<QString, double> weights;
    const PracticeFigures figures = ReadPracticeFigures(historyPath);
    for (const UnitAssessment &a : AssessUnits(generator_->units(), figures.recent, figures.earlier))
        weights[a.unit] = a.weight;
    const QStringList text = generator_->Generate(weights, lines, seed);
    if (text.isEmpty()) {
        made.problem = QStringLiteral("練習の文章を作れませんでした。");
        return made;
    }
    const QString path = dataFolder + u'/' + kPracticeFileName;
    QString error;
    if (!WriteTextLines(path, text, &error)) {
        made.problem = QStringLiteral("練習の文章を %1 に書けませんでした。\n%2").arg(path, error);
        return made;
    }
    made.path = path;
    return made;
}

}  // namespace typetoki
