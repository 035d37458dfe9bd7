#include "engine/regularfile.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace typetoki;
using namespace typetoki::testing;

namespace {

// Every kind of path a player (or a hostile settings file) can name, each
// refused or read at once: a pipe with no writer would hang a plain open, a
// device or a sparse giant would be read into memory whole.
TEST(RegularFile, HostilePathsAreRefusedQuickly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString sparse = dir.filePath("sparse");
    {
        QFile file(sparse);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(1) << 30));  // 1 GB of nothing on disk
    }
    const QString small = dir.filePath("small");
    WriteRaw(small, "12345");

    const struct {
        QString path;
        qint64 limit;
        FileProblem problem;
        QByteArray bytes;
    } cases[] = {
        {small, 5, FileProblem::None, "12345"},
        {small, 4, FileProblem::TooLarge, {}},
        {dir.filePath("missing"), 100, FileProblem::Missing, {}},
        {small + "/below-a-file", 100, FileProblem::Missing, {}},
        {QString(), 100, FileProblem::Missing, {}},
        {fifo, 100, FileProblem::NotAFile, {}},
        {dir.path(), 100, FileProblem::NotAFile, {}},
        {"/dev/zero", 100, FileProblem::NotAFile, {}},
        {"/dev/urandom", 100, FileProblem::NotAFile, {}},
        {sparse, 16 << 20, FileProblem::TooLarge, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QElapsedTimer timer;
        timer.start();
        const FileBytes read = ReadRegularFile(c.path, c.limit);
        EXPECT_LT(timer.elapsed(), 1000);
        EXPECT_EQ(read.problem, c.problem);
        EXPECT_EQ(read.bytes, c.bytes);
    }
}

// Reading up to the limit in one call set aside the whole limit for the
// smallest file, and the bytes kept it: 64 MB for every read of a score file
// of a few lines.
TEST(RegularFile, TheBytesTakeTheRoomOfTheFileNotOfTheLimit)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("small");
    WriteRaw(path, "12345");
    for (const qint64 limit : {qint64(5), qint64(1) << 20, qint64(64) << 20}) {
        SCOPED_TRACE(limit);
        const FileBytes read = ReadRegularFile(path, limit);
        EXPECT_EQ(read.bytes, "12345");
        EXPECT_LT(read.bytes.capacity(), 1024);
    }
}

}  // namespace
