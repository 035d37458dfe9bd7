#pragma once
// What tells one training text from another, and an edited text from the
// one it was: a short hash of the lines a game was played from.

#include "engine/targetlines.h"

#include <QCryptographicHash>
#include <QString>
#include <QStringList>

namespace typetoki {

// The first 64 bits of the SHA-1 of the lines in UTF-8, each ended by a line
// feed, as 16 hexadecimal digits: the same lines give the same hash whatever
// the file's code page or line ends.
class TrainingTextHasher {
public:
    void addLine(QStringView line)
    {
        hash_.addData(line.toUtf8());
        hash_.addData(QByteArrayView("\n"));
    }
    QString result() const { return QString::fromLatin1(hash_.result().toHex().left(16)); }

private:
    QCryptographicHash hash_{QCryptographicHash::Sha1};
};

inline QString TrainingTextHash(const QStringList &lines)
{
    TrainingTextHasher hash;
    for (const QString &line : lines)
        hash.addLine(line);
    return hash.result();
}

// The lines of a game as it loaded them.
inline QString TrainingTextHash(const TargetLines &lines)
{
    TrainingTextHasher hash;
    for (qsizetype i = 1; i <= lines.count(); ++i)
        hash.addLine(lines.line(i));
    return hash.result();
}

}  // namespace typetoki
