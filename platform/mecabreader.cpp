#include "platform/mecabreader.h"

#include "engine/romaji.h"

#include <QByteArray>
#include <QFileInfo>
#include <mecab.h>

#include <array>
#include <vector>

namespace typetoki {
namespace {

// The IPA dictionary's fields: part of speech (four), conjugation type and
// form, base form, reading, pronunciation. The reading follows the writing
// (は stays ハ); the pronunciation would turn it into ワ.
constexpr int kReadingField = 7;

// The field of a feature line; a field may be quoted and hold commas.
QByteArray Field(const char *feature, int wanted)
{
    QByteArray field;
    int index = 0;
    bool quoted = false;
    for (const char *c = feature; *c; ++c) {
        if (*c == '"') {
            quoted = !quoted;
        } else if (*c == ',' && !quoted) {
            if (index == wanted)
                return field;
            ++index;
        } else if (index == wanted) {
            field += *c;
        }
    }
    return index == wanted ? field : QByteArray();
}

struct LatticeDeleter {
    void operator()(mecab_lattice_t *lattice) const { mecab_lattice_destroy(lattice); }
};
using Lattice = std::unique_ptr<mecab_lattice_t, LatticeDeleter>;

}  // namespace

QString MecabReader::defaultDictionary()
{
    return QStringLiteral("/var/lib/mecab/dic/ipadic-utf8");
}

std::unique_ptr<MecabReader> MecabReader::open(QString *problem, const QString &folder)
{
    const auto fail = [&](const QString &detail) {
        if (problem) {
            *problem = QStringLiteral("漢字の読みに使う MeCab の辞書が開けません（%1）。"
                                      "パッケージ mecab-ipadic-utf8 が入っているか確かめてください。\n%2")
                           .arg(folder, detail);
        }
        return std::unique_ptr<MecabReader>();
    };
    if (!QFileInfo(folder + QStringLiteral("/sys.dic")).isFile())
        return fail(QStringLiteral("sys.dic がありません"));

    // No mecabrc: everything MeCab needs is named here, so a missing or
    // different /etc/mecabrc cannot pick another dictionary.
    QByteArray dictionary = QFile::encodeName(folder);
    std::array<char *, 5> argv{const_cast<char *>("mecab"), const_cast<char *>("-r"),
                               const_cast<char *>("/dev/null"), const_cast<char *>("-d"),
                               dictionary.data()};
    mecab_model_t *model = mecab_model_new(int(argv.size()), argv.data());
    if (!model)
        return fail(QString::fromLocal8Bit(mecab_strerror(nullptr)));

    const mecab_dictionary_info_t *info = mecab_model_dictionary_info(model);
    const QString charset = info ? QString::fromLatin1(info->charset).toLower() : QString();
    if (charset != QStringLiteral("utf-8") && charset != QStringLiteral("utf8")) {
        mecab_model_destroy(model);
        return fail(QStringLiteral("辞書の文字コードが UTF-8 ではありません（%1）").arg(charset));
    }
    mecab_t *tagger = mecab_model_new_tagger(model);
    if (!tagger) {
        const QString why = QString::fromLocal8Bit(mecab_strerror(nullptr));
        mecab_model_destroy(model);
        return fail(why);
    }
    return std::unique_ptr<MecabReader>(new MecabReader(model, tagger));
}

MecabReader::MecabReader(mecab_model_t *model, mecab_t *tagger)
    : model_(model)
    , tagger_(tagger)
{
}

MecabReader::~MecabReader()
{
    mecab_destroy(tagger_);
    mecab_model_destroy(model_);
}

QList<Word> MecabReader::words(const QString &line) const
{
    const Lattice lattice(mecab_model_new_lattice(model_));
    return read(lattice.get(), line, 1).value(0);
}

// The best analyses of a whole line soon differ only in words nobody would
// misread (a particle's part of speech, 三本 as a family name), so each
// phrase (words up to the kana after them) is analysed on its own, and each
// of its ways is put in the line's best analysis in its place.
QList<QList<Word>> MecabReader::analyses(const QString &line) const
{
    // One lattice for all the phrases: making one costs more than a
    // phrase's reading.
    const Lattice lattice(mecab_model_new_lattice(model_));
    const QList<Word> best = read(lattice.get(), line, 1).value(0);
    QList<QList<Word>> out{best};
    if (line.size() > kLongestForAnalyses)
        return out;
    const auto kanaOnly = [&line](const Word &word) {
        return !NeedsDictionary(line.mid(word.start, word.length));
    };
    for (qsizetype first = 0, last = 0; first < best.size(); first = last) {
        last = first + 1;
        while (last < best.size() && !(kanaOnly(best[last - 1]) && !kanaOnly(best[last])))
            ++last;
        const qsizetype start = best[first].start;
        const qsizetype end = best[last - 1].start + best[last - 1].length;
        const QString phrase = line.mid(start, end - start);
        if (!NeedsDictionary(phrase))
            continue;
        for (QList<Word> way : read(lattice.get(), phrase, kMostAnalyses)) {
            for (Word &word : way)
                word.start += start;
            QList<Word> whole = best.mid(0, first) + way + best.mid(last);
            if (!out.contains(whole))
                out.append(std::move(whole));
        }
    }
    return out;
}

QList<QList<Word>> MecabReader::read(mecab_lattice_t *lattice, const QString &line, int most) const
{
    const QByteArray utf8 = line.toUtf8();
    // The line's UTF-16 position at each byte where a character starts.
    std::vector<qsizetype> position(std::size_t(utf8.size()) + 1, line.size());
    for (qsizetype i = 0, byte = 0; i < line.size();) {
        position[std::size_t(byte)] = i;
        const bool pair = line[i].isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate();
        const char16_t c = line[i].unicode();
        // A lone surrogate becomes U+FFFD, three bytes like any other.
        byte += pair ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        i += pair ? 2 : 1;
    }

    if (!lattice)
        return {};
    mecab_lattice_set_sentence2(lattice, utf8.constData(), std::size_t(utf8.size()));
    mecab_lattice_set_request_type(lattice, most > 1 ? MECAB_NBEST : MECAB_ONE_BEST);
    if (!mecab_parse_lattice(tagger_, lattice))
        return {};

    QList<QList<Word>> analyses;
    long best = 0;
    for (int k = 0; k < most; ++k) {
        QList<Word> words;
        long cost = 0;
        for (const mecab_node_t *node = mecab_lattice_get_bos_node(lattice); node; node = node->next) {
            // The cost of an analysis is that of the links along it, each
            // with the cost of the word it leads to.
            for (const mecab_path_t *path = node->lpath; node->prev && path; path = path->lnext) {
                if (path->lnode == node->prev) {
                    cost += path->cost;
                    break;
                }
            }
            if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE || node->length == 0)
                continue;
            const qsizetype begin = node->surface - mecab_lattice_get_sentence(lattice);
            const qsizetype end = begin + node->length;
            if (begin < 0 || end > utf8.size())
                continue;
            Word word;
            word.start = position[std::size_t(begin)];
            word.length = position[std::size_t(end)] - word.start;
            const QByteArray reading = Field(node->feature, kReadingField);
            if (reading != "*")
                word.reading = QString::fromUtf8(reading);
            words.append(word);
        }
        if (k == 0)
            best = cost;
        else if (cost - best > kCostMargin)
            break;
        // Analyses that differ only in parts of speech read the same.
        if (!analyses.contains(words))
            analyses.append(words);
        if (most == 1 || !mecab_lattice_next(lattice))
            break;
    }
    return analyses;
}

std::shared_ptr<const Reader> MecabSource::reader(QString *problem)
{
    std::call_once(opened_, [this] { reader_ = MecabReader::open(&problem_, folder_); });
    if (!reader_ && problem)
        *problem = problem_;
    return reader_;
}

}  // namespace typetoki
