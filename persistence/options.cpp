#include "persistence/options.h"

#include "engine/regularfile.h"
#include "persistence/textfile.h"

#include <QDir>
#include <QFile>
#include <limits>

namespace typetoki {

namespace {

const QString kSound = QStringLiteral("sound");
const QString kTraining = QStringLiteral("training");

// A name as the file spells it; QSettings wrote its keys in UTF-8 too.
QByteArray Name(const QString &name)
{
    return name.toUtf8();
}

// The file's first kMaxBytes (cut after the last whole line) when it is a
// regular file, empty when there is none, nullopt when it is something
// else or cannot be read. whole tells whether that was all of it: only
// then may a change be written back without losing the rest.
std::optional<QByteArray> ReadConf(const QString &path, bool &whole)
{
    whole = false;
    QFile file;
    const FileProblem problem = OpenRegularFile(file, path, std::numeric_limits<qint64>::max());
    if (problem == FileProblem::Missing) {
        whole = true;
        return QByteArray();
    }
    if (problem != FileProblem::None)
        return std::nullopt;
    QByteArray head = file.read(Options::kMaxBytes);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    whole = file.atEnd();
    if (!whole)
        head.truncate(head.lastIndexOf('\n') + 1);
    return head;
}

}  // namespace

IniText::Place IniText::Find(const QByteArray &section, const QByteArray &key) const
{
    Place place;
    QByteArray current = "General";
    qsizetype start = 0;
    while (start < bytes_.size()) {
        qsizetype end = bytes_.indexOf('\n', start);
        end = end < 0 ? bytes_.size() : end + 1;
        const QByteArray line = bytes_.sliced(start, end - start);
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[') && trimmed.endsWith(']')) {
            current = trimmed.sliced(1, trimmed.size() - 2).trimmed();
        } else if (current == section && !trimmed.isEmpty() && !trimmed.startsWith(';') && !trimmed.startsWith('#')) {
            place.sectionEnd = end;
            const qsizetype equals = line.indexOf('=');
            if (equals >= 0 && line.first(equals).trimmed() == key) {
                // The value without the spaces and the line end around it.
                qsizetype from = equals + 1, to = line.size();
                while (from < to && (line[from] == ' ' || line[from] == '\t'))
                    ++from;
                while (to > from && QByteArrayView(" \t\r\n").contains(line[to - 1]))
                    --to;
                place.valueStart = start + from;
                place.valueEnd = start + to;
            }
        }
        start = end;
    }
    if (place.sectionEnd < 0 && current == section && section != "General")
        place.sectionEnd = bytes_.size();  // the last section, with no key yet
    return place;
}

std::optional<QString> IniText::value(const QString &section, const QString &key) const
{
    const Place place = Find(Name(section), Name(key));
    if (place.valueStart < 0)
        return std::nullopt;
    QByteArray value = bytes_.sliced(place.valueStart, place.valueEnd - place.valueStart);
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        value = value.sliced(1, value.size() - 2);
    return QString::fromUtf8(value);
}

void IniText::set(const QString &section, const QString &key, const QString &value)
{
    const Place place = Find(Name(section), Name(key));
    if (place.valueStart >= 0) {
        bytes_.replace(place.valueStart, place.valueEnd - place.valueStart, value.toUtf8());
        return;
    }
    const QByteArray end = bytes_.contains("\r\n") ? "\r\n" : "\n";
    const QByteArray line = Name(key) + '=' + value.toUtf8() + end;
    // A section header seen without a key is found only when it is the last;
    // an earlier one is looked for by its line.
    qsizetype at = place.sectionEnd;
    if (at < 0) {
        const QByteArray header = '[' + Name(section) + ']';
        for (qsizetype i = bytes_.indexOf(header); at < 0 && i >= 0; i = bytes_.indexOf(header, i + 1)) {
            if (i == 0 || bytes_[i - 1] == '\n') {
                const qsizetype lineEnd = bytes_.indexOf('\n', i);
                at = lineEnd < 0 ? bytes_.size() : lineEnd + 1;
            }
        }
    }
    if (at < 0) {
        if (!bytes_.isEmpty() && !bytes_.endsWith('\n'))
            bytes_ += end;
        bytes_ += '[' + Name(section) + ']' + end + line;
        return;
    }
    if (at > 0 && bytes_[at - 1] != '\n') {
        bytes_.insert(at, end);
        at += end.size();
    }
    bytes_.insert(at, line);
}

Options::Options(const QString &dataFolder)
{
    if (dataFolder.isEmpty())
        return;
    path_ = QDir(dataFolder).filePath(QStringLiteral("typetoki.conf"));
    bool whole = false;
    if (const std::optional<QByteArray> bytes = ReadConf(path_, whole))
        file_ = IniText(*bytes);
}

std::optional<QString> Options::text(const QString &section, const QString &key) const
{
    const auto kept = memory_.find({section, key});
    if (kept != memory_.end())
        return kept->second;
    return file_.value(section, key);
}

bool Options::flag(const QString &section, const QString &key, bool fallback) const
{
    const QString text = this->text(section, key).value_or(QString()).trimmed().toLower();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return fallback;
}

int Options::choice(const QString &section, const QString &key, std::span<const int> allowed, int fallback) const
{
    bool ok = false;
    const int number = text(section, key).value_or(QString()).trimmed().toInt(&ok);
    for (int a : allowed)
        if (ok && number == a)
            return number;
    return fallback;
}

bool Options::set(const QString &section, const QString &key, const QVariant &value)
{
    const QString text = value.toString();
    memory_[{section, key}] = text;
    if (path_.isEmpty())
        return true;
    // Read again: the player may have edited the file while the game ran.
    bool whole = false;
    const std::optional<QByteArray> now = ReadConf(path_, whole);
    if (!now || !whole)
        return false;
    IniText changed(*now);
    changed.set(section, key, text);
    if (!WriteFileBytes(path_, changed.bytes()))
        return false;
    file_ = changed;
    return true;
}

SoundOptions ReadSoundOptions(const Options &options)
{
    SoundOptions sound;
    sound.on = options.flag(kSound, QStringLiteral("on"), sound.on);
    sound.volumePercent = options.choice(kSound, QStringLiteral("volume"), kVolumeSteps, sound.volumePercent);
    return sound;
}

bool WriteSoundOptions(Options &options, const SoundOptions &sound)
{
    const SoundOptions now = ReadSoundOptions(options);
    bool written = true;
    if (sound.on != now.on)
        written = options.set(kSound, QStringLiteral("on"), sound.on) && written;
    if (sound.volumePercent != now.volumePercent)
        written = options.set(kSound, QStringLiteral("volume"), sound.volumePercent) && written;
    return written;
}

bool ReadRomajiTyping(const Options &options)
{
    return options.flag(kTraining, QStringLiteral("romaji"), false);
}

bool WriteRomajiTyping(Options &options, bool on)
{
    return options.set(kTraining, QStringLiteral("romaji"), on);
}

bool ReadKeyboardShown(const Options &options)
{
    return options.flag(QStringLiteral("window"), QStringLiteral("keyboard"), false);
}

bool WriteKeyboardShown(Options &options, bool on)
{
    return options.set(QStringLiteral("window"), QStringLiteral("keyboard"), on);
}

}  // namespace typetoki
