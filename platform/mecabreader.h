#pragma once
// Readings from MeCab with the IPA dictionary, through MeCab's C library.

#include "engine/reading.h"

#include <QString>
#include <memory>
#include <mutex>

struct mecab_model_t;
struct mecab_t;
struct mecab_lattice_t;

namespace typetoki {

class MecabReader final : public Reader {
public:
    // Where Debian's mecab-ipadic-utf8 builds the dictionary. Named outright
    // rather than taken from /etc/mecabrc, whose default may be another
    // dictionary with its fields in other places.
    static QString defaultDictionary();

    // Opens the dictionary in folder. On failure returns null and puts in
    // *problem a sentence the player can be shown, naming the folder and
    // the package that provides it.
    static std::unique_ptr<MecabReader> open(QString *problem,
                                             const QString &folder = defaultDictionary());

    ~MecabReader() override;
    MecabReader(const MecabReader &) = delete;
    MecabReader &operator=(const MecabReader &) = delete;

    // Safe from several threads at once: the model and tagger are shared,
    // each call has a lattice of its own.
    QList<Word> words(const QString &line) const override;
    // MeCab's best analyses, as long as they cost little more than the best.
    QList<QList<Word>> analyses(const QString &line) const override;
    // How much more than the best an analysis may cost: enough for 日本
    // read nihon (7,905 over nippon), 一人 hitori (6,566) and 二人 futari
    // (6,206), not for 一 read hajime (14,158) or 今年 read konnen (9,394).
    static constexpr long kCostMargin = 8000;
    static constexpr int kMostAnalyses = 16;
    // Longer lines are read only the best way, so that a long text is read
    // in time.
    static constexpr qsizetype kLongestForAnalyses = 400;

private:
    MecabReader(mecab_model_t *model, mecab_t *tagger);
    QList<QList<Word>> read(mecab_lattice_t *lattice, const QString &line, int most) const;

    mecab_model_t *model_;
    mecab_t *tagger_;
};

// The one dictionary of a run: opened the first time a game asks for it,
// and a failure is not tried again.
class MecabSource final : public ReaderSource {
public:
    explicit MecabSource(QString folder = MecabReader::defaultDictionary())
        : folder_(std::move(folder))
    {
    }
    std::shared_ptr<const Reader> reader(QString *problem) override;

private:
    const QString folder_;
    std::once_flag opened_;
    std::shared_ptr<const Reader> reader_;
    QString problem_;
};

}  // namespace typetoki
