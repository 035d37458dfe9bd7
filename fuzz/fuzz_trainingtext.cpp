// A training text from any bytes, as START reads it: no crash, no undefined
// behaviour; the game's lines are the file's non-blank lines, trimmed, none
// lost and nothing added, whether the file comes in one piece or many.

#include "engine/numbers.h"
#include "engine/targetlines.h"
#include "engine/textread.h"
#include "fuzz/check.h"
#include "support/fakes.h"

#include <QFile>
#include <QIODevice>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

using namespace typetoki;
using namespace typetoki::fuzz;

namespace {

// A file that gives its bytes a few at a time, as a large file gives its
// pieces: each read returns at most the next of the sizes, which the bytes
// themselves choose.
class PieceByPiece final : public QIODevice {
public:
    explicit PieceByPiece(const QByteArray &bytes) : bytes_(bytes)
    {
        std::uint32_t h = 2166136261u;
        for (const char c : bytes)
            h = (h ^ std::uint8_t(c)) * 16777619u;
        for (int k = 0; k < 8; ++k)
            sizes_[k] = 1 + (h >> (4 * k)) % 16;
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char *data, qint64 most) override
    {
        const qint64 n = std::min({most, sizes_[next_++ % 8], qint64(bytes_.size()) - at_});
        std::copy_n(bytes_.constData() + at_, n, data);
        at_ += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray bytes_;
    qint64 sizes_[8];
    qint64 at_ = 0;
    unsigned next_ = 0;
};

std::vector<QByteArray> LinesOf(QByteArrayView bytes)
{
    std::vector<QByteArray> lines;
    ForEachLine(bytes, [&](QByteArrayView line) {
        lines.push_back(line.toByteArray());
        return true;
    });
    return lines;
}

// The text without blanks and line ends: what no reading may lose or add.
QString Ink(QStringView text)
{
    QString ink;
    for (const QChar c : text) {
        if (!IsBlank(c) && c != u'\r' && c != u'\n')
            ink += c;
    }
    return ink;
}

// The lines a training text must give, from the whole bytes decoded at once.
QStringList ExpectedLines(QByteArrayView bytes)
{
    if (bytes.endsWith('\x1A'))
        bytes.chop(1);  // an MS-DOS end-of-file mark, no character
    QStringList lines;
    for (const QString &line : SplitLines(DecodeText(bytes, Encoding::Utf8WhenValid))) {
        const QString trimmed = TrimBlanks(line);
        if (!trimmed.isEmpty())
            lines << trimmed;
    }
    return lines;
}

void CheckPieces(const QByteArray &bytes)
{
    // Lines straddling the pieces' edges come out as from one piece.
    const std::vector<QByteArray> whole = LinesOf(bytes);
    PieceByPiece device(bytes);
    std::vector<QByteArray> pieced;
    Check(ForEachLineOfFile(device, bytes.size(), [&](QByteArrayView line) {
        pieced.push_back(line.toByteArray());
        return true;
    }));
    Check(pieced == whole);

    // Stopping after the first lines gives just those.
    if (whole.size() < 2)
        return;
    PieceByPiece again(bytes);
    const std::size_t stopAt = 1 + bytes.size() % (whole.size() - 1);
    std::vector<QByteArray> firstOnes;
    Check(ForEachLineOfFile(again, bytes.size(), [&](QByteArrayView line) {
        firstOnes.push_back(line.toByteArray());
        return firstOnes.size() < stopAt;
    }));
    Check(firstOnes == std::vector<QByteArray>(whole.begin(), whole.begin() + qsizetype(stopAt)));
}

// The game's list of lines, entry 0 first, checked against the bytes.
std::vector<QString> CheckTrainingText(const QString &path, const QByteArray &bytes)
{
    const std::optional<TargetLines> read = ReadTrainingText(path);
    Check(read.has_value());
    const std::vector<QString> all = read->all();
    Check(all.size() == read->size() && all.front().isEmpty());
    const QStringList lines(all.begin() + 1, all.end());

    qsizetype characters = 0;
    for (const QString &line : lines) {
        Check(!line.isEmpty());
        Check(!line.contains(u'\r') && !line.contains(u'\n'));
        Check(!IsBlank(line.front()) && !IsBlank(line.back()));
        characters += line.size();
    }
    // No line or character from nowhere: a byte makes at most one of each.
    Check(characters <= bytes.size() && lines.size() <= bytes.size());
    Check(lines == ExpectedLines(bytes));

    // Every character but blanks and line ends is kept, in order, even when
    // the text is not what the decoding took it for.
    QByteArrayView text(bytes);
    if (text.endsWith('\x1A'))
        text.chop(1);
    Check(Ink(lines.join(QString())) == Ink(DecodeText(text, Encoding::Utf8WhenValid)));
    return all;
}

// START in training mode on the file: the game plays exactly those lines,
// or, without any, refuses with its message and keeps what it had.
void CheckGameStart(const QString &path, const std::vector<QString> &lines)
{
    testing::Harness h;
    h.state.gameMode = GameMode::Training;
    h.state.trainingTextPath = path;
    h.start();
    if (lines.size() == 1) {
        Check(h.state.gamePhase == kIdle);
        Check(h.screen.messages == QStringList{kTrainingTextError});
        return;
    }
    Check(h.state.gamePhase == kPlaying);
    Check(h.screen.messages.isEmpty());
    Check(h.game.lines().all() == lines);
    Check(std::find(lines.begin() + 1, lines.end(), h.box(Box::Text4)) != lines.end());
    h.game.Command3_Click();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    Check(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("training.txt"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile file(path);
        Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Check(file.write(bytes) == bytes.size());
    }

    CheckPieces(bytes);
    CheckGameStart(path, CheckTrainingText(path, bytes));
    return 0;
}
