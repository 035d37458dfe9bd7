#pragma once
// What practice reads and writes: the dictionary's word lists, the figures
// of the player's last training games, and the practice text it leaves in
// the data folder for the game to play like any training text.

#include "engine/practice.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace typetoki {

inline const QString kPracticeFileName = QStringLiteral("typetoki-practice.txt");

// Where Debian's mecab-ipadic puts the IPA dictionary's source lists
// (CSV in EUC-JP): every word with its part of speech, reading and cost.
QString DictionaryListsFolder();

// The common words of the lists: nouns, verbal and adjectival nouns,
// adverbs, and verbs and adjectives in their dictionary form; no names of
// people, places or organisations, nothing written with letters or signs.
// A word is common when its cost lies under the cost most words of its list
// share, the one given to words the dictionary's corpus never met; the
// lower the cost, the more often it is drawn. Empty when no list can be
// read, and then *problem says why in a sentence for the player.
std::vector<PracticeWord> ReadDictionaryWords(const QString &folder = DictionaryListsFolder(),
                                              QString *problem = nullptr);

// The target figures of the last `games` training games, typed through the
// input method or as romaji, abandoned ones too (their keys were typed all
// the same), and of as many games before them. Both empty without a history.
struct PracticeFigures {
    TargetMap recent;
    TargetMap earlier;
};
PracticeFigures ReadPracticeFigures(const QString &historyPath, int games = kPracticeGames);

// Writes practice texts for one player, on whichever thread asks (one at a
// time). The word list and its index are read the first time and kept for
// the run, as is what the dictionary said of each word.
class PracticeMaker {
public:
    struct Made {
        QString path;     // the text written; empty when none could be
        QString problem;  // why not, for the player
    };
    // `lines` lines into typetoki-practice.txt in dataFolder, weighted by
    // the figures of the history at historyPath (none: every unit evenly).
    Made Make(const QString &historyPath, const QString &dataFolder, std::shared_ptr<const Reader> reader,
              std::uint32_t seed, int lines = 100);

    // Where the lists are read from; the packaged ones unless a test says.
    QString listsFolder = DictionaryListsFolder();

private:
    bool ready(std::shared_ptr<const Reader> reader, QString *problem);

    std::shared_ptr<const std::vector<PracticeWord>> words_;
    std::unique_ptr<PracticeGenerator> generator_;
    bool withReader_ = false;
};

}  // namespace typetoki
