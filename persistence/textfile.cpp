#include "persistence/textfile.h"

#include "engine/cp932.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace typetoki {
namespace {

// UTF-8 with escape characters written back as their bytes. A low
// surrogate after a high one is half of a character beyond U+FFFF, no escape.
QByteArray EncodeUtf8(QStringView text)
{
    QByteArray bytes;
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!IsEscapedByte(text[i].unicode()) || (i > 0 && text[i - 1].isHighSurrogate()))
            continue;
        bytes += text.sliced(run, i - run).toUtf8();
        bytes += char(text[i].unicode() & 0xFF);
        run = i + 1;
    }
    bytes += text.sliced(run).toUtf8();
    return bytes;
}

// What the system's error number means for a file the player wanted saved.
struct ErrorPhrase {
    int number;
    const char *japanese;
};
const ErrorPhrase kErrorPhrases[] = {
    {ENOENT, "保存先のフォルダーがありません"},
    {ENOTDIR, "保存先のパスの途中にフォルダーでないものがあります"},
    {EISDIR, "同じ名前のフォルダーがあります"},
    {EACCES, "書き込む権限がありません"},
    {EPERM, "書き込む権限がありません"},
    {EROFS, "読み取り専用の場所です"},
    {ENOSPC, "ディスクの空きが足りません"},
    {EDQUOT, "ディスクの使用量の上限に達しています"},
    {EFBIG, "ファイルが大きすぎます"},
    {ENAMETOOLONG, "パスが長すぎます"},
    {ELOOP, "シンボリックリンクが循環しています"},
    {EIO, "ディスクの読み書きでエラーが起きました"},
    {EMFILE, "開いているファイルが多すぎます"},
    {ENFILE, "開いているファイルが多すぎます"},
    {EBUSY, "ほかのプログラムが使用中です"},
    {ETXTBSY, "ほかのプログラムが使用中です"},
};

// The error number behind a failed save. Qt refuses some cases itself
// without one (a folder or a read-only file in the way), and tidying up
// after a failure may overwrite errno, so the path tells what it can.
int SaveErrorNumber(const QString &path, int reported)
{
    const QFileInfo file(path);
    if (file.isDir())
        return EISDIR;
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists())
        return ENOENT;
    if (!folder.isDir())
        return ENOTDIR;
    if (file.exists() && !file.isWritable())
        return EACCES;
    return reported;
}

}  // namespace

QString FileErrorText(int errorNumber, const QString &english)
{
    QString japanese = QStringLiteral("保存できませんでした");
    for (const ErrorPhrase &phrase : kErrorPhrases) {
        if (phrase.number == errorNumber) {
            japanese = QString::fromUtf8(phrase.japanese);
            break;
        }
    }
    QString words = english.trimmed();
    if (words.isEmpty() && errorNumber != 0)
        words = QString::fromLocal8Bit(std::strerror(errorNumber));
    return words.isEmpty() ? japanese : japanese + QStringLiteral(" (") + words + u')';
}

QByteArray EncodeLines(const QStringList &lines)
{
    return EncodeLines([&lines](const std::function<void(QStringView)> &visit) {
        for (const QString &line : lines)
            visit(line);
    });
}

QByteArray EncodeLines(const LineSource &lines)
{
    QByteArray bytes;
    bool fits = true;
    lines([&](QStringView line) {
        if (!fits)
            return;
        const std::optional<QByteArray> cp932 = EncodeCp932(line);
        fits = cp932.has_value();
        if (fits)
            bytes += *cp932 + "\r\n";
    });
    // Only bytes that read back as code page 932 go out in it: kept bytes
    // of some other encoding may happen to make the whole valid UTF-8.
    if (fits) {
        const TextForm form = FormOf(bytes, Encoding::Utf8WhenMarked);
        if (form.start == 0 && !form.utf8)
            return bytes;
    }
    bytes = kUtf8Mark.toByteArray();
    lines([&](QStringView line) { bytes += EncodeUtf8(line) + "\r\n"; });
    return bytes;
}

bool WriteFileBytes(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    const auto fail = [&](int reported) {
        if (error)
            *error = FileErrorText(SaveErrorNumber(path, reported), file.errorString());
        return false;
    };

    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return fail(errno);
    // A short text waits in the device's buffer, and commit() does not notice
    // when writing that buffer out fails (a full disk): it would rename the
    // cut-off file into place. Flushing first brings such a failure out here.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        // Taken before cancelling, which would replace Qt's words and errno.
        const int reported = errno;
        fail(reported);
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return fail(errno);
    return true;
}

bool WriteTextLines(const QString &path, const QStringList &lines, QString *error)
{
    return WriteFileBytes(path, EncodeLines(lines), error);
}

}  // namespace typetoki
