#pragma once
// What tells one training text from another, and an edited text from the
// one it was: a short hash of the lines a game was played from.

#include <QCryptographicHash>
#include <QString>
#include <QStringList>

namespace typetoki {

// The first 64 bits of the SHA-1 of the lines in UTF-8, each ended by a line
// feed, as 16 hexadecimal digits: the same lines give the same hash whatever
// the file's code page or line ends.
inline QString TrainingTextHash(const QStringList &lines)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QString &line : lines) {
        hash.addData(line.toUtf8());
        hash.addData(QByteArrayView("\n"));
    }
    return QString::fromLatin1(hash.result().toHex().left(16));
}

}  // namespace typetoki
