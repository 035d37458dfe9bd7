#include "engine/regularfile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace typetoki {

FileProblem OpenRegularFile(QFile &file, const QString &path, qint64 maxBytes)
{
    if (path.isEmpty())
        return FileProblem::Missing;
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: opening a named pipe for reading would otherwise wait until
    // some other program opens it for writing. A regular file ignores it.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG || errno == ELOOP
                   ? FileProblem::Missing
                   : FileProblem::Unreadable;
    }
    // fstat, not a stat before the open: the path may be swapped for a pipe
    // in between.
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return FileProblem::Unreadable;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return FileProblem::NotAFile;
    }
    if (info.st_size > maxBytes) {
        ::close(fd);
        return FileProblem::TooLarge;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return FileProblem::Unreadable;
    }
    return FileProblem::None;
}

FileBytes ReadRegularFile(const QString &path, qint64 maxBytes)
{
    FileBytes result;
    QFile file;
    result.problem = OpenRegularFile(file, path, maxBytes);
    if (result.problem != FileProblem::None)
        return result;
    // QIODevice::read(n) sets aside n bytes whatever the file holds, and the
    // bytes it returns keep that room: as much as the file was found to hold
    // is asked for, and one byte more tells a file that grew since; only
    // then is the rest up to one byte past the limit read.
    result.bytes = file.read(std::min(file.size(), maxBytes) + 1);
    if (result.bytes.size() > file.size() && result.bytes.size() <= maxBytes)
        result.bytes += file.read(maxBytes + 1 - result.bytes.size());
    if (file.error() != QFileDevice::NoError) {
        result.bytes.clear();
        result.problem = FileProblem::Unreadable;
    } else if (result.bytes.size() > maxBytes) {
        result.bytes.clear();
        result.problem = FileProblem::TooLarge;
    }
    return result;
}

}  // namespace typetoki
