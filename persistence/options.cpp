#include "persistence/options.h"

#include <QDir>
#include <QSettings>

namespace typetoki {

namespace {

const QString kSoundOn = QStringLiteral("sound/on");
const QString kSoundVolume = QStringLiteral("sound/volume");
const QString kRomajiTyping = QStringLiteral("training/romaji");
const QString kKeyboardShown = QStringLiteral("window/keyboard");

}  // namespace

Options::Options(const QString &dataFolder)
{
    if (!dataFolder.isEmpty())
        file_ = std::make_unique<QSettings>(QDir(dataFolder).filePath(QStringLiteral("typetoki.conf")),
                                            QSettings::IniFormat);
}

Options::~Options() = default;

QVariant Options::value(const QString &key) const
{
    if (memory_.contains(key))
        return memory_.value(key);
    return file_ ? file_->value(key) : QVariant();
}

bool Options::flag(const QString &key, bool fallback) const
{
    const QString text = value(key).toString().trimmed().toLower();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return fallback;
}

int Options::choice(const QString &key, std::span<const int> allowed, int fallback) const
{
    bool ok = false;
    const int number = value(key).toString().trimmed().toInt(&ok);
    for (int a : allowed)
        if (ok && number == a)
            return number;
    return fallback;
}

bool Options::set(const QString &key, const QVariant &value)
{
    memory_.insert(key, value);
    if (!file_)
        return true;
    file_->setValue(key, value);
    file_->sync();
    return file_->status() == QSettings::NoError;
}

SoundOptions ReadSoundOptions(const Options &options)
{
    SoundOptions sound;
    sound.on = options.flag(kSoundOn, sound.on);
    sound.volumePercent = options.choice(kSoundVolume, kVolumeSteps, sound.volumePercent);
    return sound;
}

bool WriteSoundOptions(Options &options, const SoundOptions &sound)
{
    const bool on = options.set(kSoundOn, sound.on);
    return options.set(kSoundVolume, sound.volumePercent) && on;
}

bool ReadRomajiTyping(const Options &options)
{
    return options.flag(kRomajiTyping, false);
}

bool WriteRomajiTyping(Options &options, bool on)
{
    return options.set(kRomajiTyping, on);
}

bool ReadKeyboardShown(const Options &options)
{
    return options.flag(kKeyboardShown, false);
}

bool WriteKeyboardShown(Options &options, bool on)
{
    return options.set(kKeyboardShown, on);
}

}  // namespace typetoki
