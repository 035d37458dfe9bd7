#pragma once
// How lines with kanji learn their readings. Kana can be typed as they are
// written, but a kanji's reading comes from a dictionary, which is an outside
// library; the engine asks for it through this interface so that it stays
// free of that library and tests can give readings of their own.

#include <QList>
#include <QString>
#include <memory>

namespace typetoki {

// A word the dictionary found in a line.
struct Word {
    qsizetype start = 0;   // in UTF-16 units of the line
    qsizetype length = 0;
    // As the word is written (the particles は and を stay ha and wo), in
    // katakana or hiragana; empty when the dictionary does not know the word.
    QString reading;

    friend bool operator==(const Word &, const Word &) = default;
};

class Reader {
public:
    virtual ~Reader() = default;
    // The words of one line, in order; blanks between them may be left out.
    // Called from the worker that reads a text and from the game's thread at
    // the same time, so it must be safe to call from several threads at once.
    virtual QList<Word> words(const QString &line) const = 0;
    // The likeliest few ways of reading the line, best first, each as
    // words() gives one. A dictionary that knows only one way gives that.
    virtual QList<QList<Word>> analyses(const QString &line) const { return {words(line)}; }
};

// Where the game gets its dictionary. Opening one takes a while and may
// fail (not installed), so it is opened when a game first needs it and kept
// for the rest of the run.
class ReaderSource {
public:
    virtual ~ReaderSource() = default;
    // The dictionary, or null when it cannot be opened; then *problem says
    // why, in a sentence for the player (the same sentence every time).
    virtual std::shared_ptr<const Reader> reader(QString *problem) = 0;
};

}  // namespace typetoki
