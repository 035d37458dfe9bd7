#pragma once
// Writing the game's text files: code page 932 with CR LF line ends, the
// form they have always had; a text that code page cannot hold is written
// whole in UTF-8 with a byte-order mark instead, so no character is lost.
// Every file is replaced only once the new one is whole.

#include "engine/textread.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>

namespace typetoki {

// The file bytes for these lines, each ended by CR LF: code page 932 when
// every character fits, otherwise UTF-8 behind a byte-order mark.
QByteArray EncodeLines(const QStringList &lines);

// The same for lines made one at a time: the source passes each line to
// the visitor it is given, in order, and may be asked twice (a line that
// only UTF-8 holds turns the whole file to UTF-8). A long file is thus
// never held as text.
using LineSource = std::function<void(const std::function<void(QStringView)> &visit)>;
QByteArray EncodeLines(const LineSource &lines);

// Why a file could not be written or a folder made, from the error number
// the system gave (0 when none): a short phrase in Japanese, then the
// English words of Qt or the system in brackets, for a bug report.
QString FileErrorText(int errorNumber, const QString &english = QString());

// Writes bytes through a temporary file renamed into place, so a failed
// write leaves any previous file whole. On failure returns false and, when
// error is given, the reason (FileErrorText).
bool WriteFileBytes(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// WriteFileBytes of EncodeLines.
bool WriteTextLines(const QString &path, const QStringList &lines, QString *error = nullptr);

}  // namespace typetoki
