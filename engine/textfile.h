#pragma once
// Reading and writing the game's text files. Files are written in code page
// 932 (Shift-JIS as Windows extends it) with CR LF line ends, the form the
// game's files have always had; a text that code page cannot hold is written
// whole in UTF-8 with a byte-order mark instead, so no character is lost.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace typetoki {

// How a file without a byte-order mark is told apart from code page 932.
enum class Encoding {
    // Texts people bring (training texts): valid UTF-8 with non-ASCII
    // characters is taken as UTF-8, as Linux editors write it.
    Utf8WhenValid,
    // The game's own files: UTF-8 only behind its mark. A code page 932 name
    // such as "ﾐｷ" happens to be valid UTF-8 too and must stay as it is.
    Utf8WhenMarked,
};

// Decodes a whole file's bytes: UTF-8 when they start with the UTF-8
// byte-order mark (the mark dropped), or as the guess allows; code page 932
// otherwise.
QString DecodeText(const QByteArray &bytes, Encoding guess = Encoding::Utf8WhenValid);

// Splits a decoded text into lines; CR LF, LF and CR each end a line. A final
// line without a line end counts; a line end at the very end of the text does
// not start another line. An empty text has no lines.
QStringList SplitLines(const QString &text);

// The lines of a text file, or nullopt when it cannot be opened or read.
std::optional<QStringList> ReadTextLines(const QString &path,
                                         Encoding guess = Encoding::Utf8WhenValid);

// Code page 932 bytes of a text, or nullopt when a character has no place in
// that code page.
std::optional<QByteArray> EncodeCp932(const QString &text);

// The file bytes for these lines, each ended by CR LF: code page 932 when
// every character fits, otherwise UTF-8 behind a byte-order mark.
QByteArray EncodeLines(const QStringList &lines);

// Writes the lines through a temporary file renamed into place, so a failed
// write leaves any previous file whole. On failure returns false and, when
// error is given, a reason a person can read.
bool WriteTextLines(const QString &path, const QStringList &lines, QString *error = nullptr);

}  // namespace typetoki
