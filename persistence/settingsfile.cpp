#include "persistence/settingsfile.h"

#include "engine/numbers.h"
#include "engine/regularfile.h"
#include "persistence/textfile.h"
#include "persistence/datafolder.h"

#include <QFile>
#include <QFileInfo>
#include <limits>
#include <optional>

namespace typetoki {
namespace {

constexpr int kValueLines = 8;
constexpr int kReservedLines = 12;

// Eight values, paths among them, fit many times over; a file of any size
// is read no further.
constexpr qint64 kHeadBytes = 64 * 1024;

// The first lines of the settings file, from its first kHeadBytes; a line
// that runs past them counts as missing. nullopt when the path names no
// regular file (a pipe is never waited on) or reading fails.
std::optional<QStringList> ReadHeadLines(const QString &path)
{
    QFile file;
    if (OpenRegularFile(file, path, std::numeric_limits<qint64>::max()) != FileProblem::None)
        return std::nullopt;
    QByteArray head = file.read(kHeadBytes);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    if (!file.atEnd()) {
        const qsizetype end = std::max(head.lastIndexOf('\n'), head.lastIndexOf('\r'));
        head.truncate(end + 1);
    }
    return SplitLines(DecodeText(head, Encoding::Utf8WhenMarked));
}

// A path saved with a look-alike typed on Linux ("〜") reads back with the
// code page's own character ("～"), while the file on disk keeps the typed
// one; the path that exists is the one meant.
QString PathAsTyped(const QString &path)
{
    if (QFileInfo::exists(path))
        return path;
    QString typed = path;
    for (QChar &c : typed) {
        for (const LookAlike &pair : kLookAlikes) {
            if (c == QChar(pair.cp932))
                c = QChar(pair.typed);
        }
    }
    return typed != path && QFileInfo::exists(typed) ? typed : path;
}

// Reads the values in file order and stops at the first bad one, so that
// whatever came before it has already reached the state.
bool ReadValues(SavedSettings &state, const QStringList &lines)
{
    const auto line = [&](int number) -> const QString * {
        return number <= lines.size() ? &lines[number - 1] : nullptr;
    };

    const QString *text = line(1);
    if (!text)
        return false;
    // Line 1 is read leniently, as the game has always read it: "4abc" is mode 4.
    const auto mode = RoundToInt16(ReadNumber(*text));
    if (!mode)
        return false;
    state.gameMode = GameMode(*mode);

    if (!(text = line(2)))
        return false;
    const auto limit = ToInt16(*text);
    if (!limit)
        return false;
    state.timeLimitSeconds = *limit;

    QString *const paths[] = {&state.trainingTextPath, &state.heroSoundPath,
                              &state.rivalSoundPath, &state.missSoundPath,
                              &state.trainingTextPath};
    int number = 3;
    for (QString *path : paths) {
        if (!(text = line(number++)))
            return false;
        *path = PathAsTyped(*text);
    }

    if (!(text = line(kValueLines)))
        return false;
    const auto slider = ToSingle(*text);
    if (!slider)
        return false;
    state.sliderValue = *slider;
    return true;
}

}  // namespace

QString SettingsPath(const Folders &folders)
{
    return folders.inDataFolder(QStringLiteral("tatak.ini"));
}

bool LoadSettings(SavedSettings &settings, const Folders &folders)
{
    settings.gameMode = GameMode::Hero;
    settings.timeLimitSeconds = 60;
    settings.heroSoundPath = folders.inProgramFolder(QStringLiteral("eya.wav"));
    settings.rivalSoundPath = folders.inProgramFolder(QStringLiteral("hiku.wav"));
    settings.missSoundPath = folders.inProgramFolder(QStringLiteral("ahh.wav"));
    settings.sliderValue = 0.1f;

    const std::optional<QStringList> lines =
        ReadHeadLines(DataFileToRead(folders, QStringLiteral("tatak.ini")));
    if (lines && ReadValues(settings, *lines))
        return true;
    // Also when lines 3 and 7 were read: a half-read file is not trusted to
    // name the training text.
    settings.trainingTextPath = folders.inProgramFolder(QStringLiteral("test.txt"));
    return false;
}

QStringList SettingsLines(const SavedSettings &state)
{
    QStringList lines;
    lines.reserve(kValueLines + kReservedLines);
    lines << QString::number(int(state.gameMode)) << QString::number(state.timeLimitSeconds)
          << state.trainingTextPath << state.heroSoundPath << state.rivalSoundPath
          << state.missSoundPath << state.trainingTextPath << FormatSingle(state.sliderValue);
    for (int i = 0; i < kReservedLines; ++i)
        lines << QStringLiteral("<<未使用領域>>");
    return lines;
}

bool SaveSettings(const SavedSettings &settings, const Folders &folders, QString *error)
{
    return MakeDataFolder(folders, error)
           && WriteTextLines(SettingsPath(folders), SettingsLines(settings), error);
}

}  // namespace typetoki
