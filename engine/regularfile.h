#pragma once
// Opening the files a player can point the game at. A path may name anything:
// a named pipe (whose open would wait for a writer for ever), a device that
// never ends (/dev/zero), a folder, or a file far larger than any file of the
// game. Each of these must give a quick refusal, never a hang or a program
// grown past its memory.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace typetoki {

enum class FileProblem {
    None,
    Missing,     // no such file, or a path that cannot name one
    NotAFile,    // a folder, pipe, socket or device
    TooLarge,    // more bytes than the caller takes
    Unreadable,  // no permission, or an error while reading
};

// Opens path for reading when it is a regular file of at most maxBytes.
// Never blocks, whatever the path names; on success file is open and the
// result is FileProblem::None. A file that grows past maxBytes after this
// check is the reader's to catch (see ReadRegularFile).
FileProblem OpenRegularFile(QFile &file, const QString &path, qint64 maxBytes);

struct FileBytes {
    QByteArray bytes;
    FileProblem problem = FileProblem::None;
};

// The whole of a regular file of at most maxBytes, read at once.
FileBytes ReadRegularFile(const QString &path, qint64 maxBytes);

}  // namespace typetoki
