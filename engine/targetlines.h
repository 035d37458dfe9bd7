#pragma once
// The target lines of a game: the chant lines, or the non-blank lines of a
// training text. A training text may be tens of megabytes of short lines,
// so the lines share one block of characters instead of a string each.

#include <QList>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <vector>

namespace typetoki {

class TargetLines {
public:
    // Entries 0 to count(); entry 0 exists and is always empty, as in the
    // game's list from the start. size() counts it, as a vector would.
    std::size_t size() const { return std::size_t(ends_.size()) + 1; }
    qsizetype count() const { return qsizetype(ends_.size()); }
    // Entry i; an empty text for 0 and for any number past count().
    QString operator[](qsizetype i) const { return line(i).toString(); }
    // The same without a copy, valid while the lines are neither changed nor
    // gone.
    QStringView line(qsizetype i) const;
    // Every entry, 0 included.
    std::vector<QString> all() const;

    void append(QStringView line);
    // Room for this many more characters, so that a large text is not
    // copied while its lines are added; squeeze() gives back what was not
    // used.
    void reserve(qsizetype characters) { text_.reserve(text_.size() + characters); }
    void squeeze() { text_.squeeze(); }

private:
    // Both grow by realloc, which moves large blocks without copying them.
    QString text_;
    QList<std::uint32_t> ends_;  // where entry k + 1 ends in text_
};

// The most a training text may hold; a larger file is refused like one that
// cannot be read.
constexpr qint64 kTrainingTextLimit = 32 * 1024 * 1024;

// The non-blank lines of a training text, trimmed of blanks, in file order:
// UTF-8 when the file is valid UTF-8, code page 932 otherwise, and a final
// 0x1A (the old end-of-file mark) no line. nullopt when the path names no
// regular file of at most kTrainingTextLimit, or reading fails; it never
// waits on a pipe or reads a device.
std::optional<TargetLines> ReadTrainingText(const QString &path);

}  // namespace typetoki
