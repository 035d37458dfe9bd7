#pragma once
// The program's own options, those the game's files have no place for:
// typetoki.conf (INI) in the data folder, so that tatak.ini keeps its bytes.
// Every option is read with its default and the values it may take, so that
// a value broken by a hand edit reads as the default; each change is written
// at once.

#include <QString>
#include <QVariant>

#include <memory>
#include <span>

class QSettings;

namespace typetoki {

class Options {
public:
    // typetoki.conf in this folder; with no folder the options live in
    // memory only.
    explicit Options(const QString &dataFolder);
    ~Options();

    bool flag(const QString &key, bool fallback) const;
    int choice(const QString &key, std::span<const int> allowed, int fallback) const;
    // False when the file could not be written; the value holds for this run.
    bool set(const QString &key, const QVariant &value);

private:
    QVariant value(const QString &key) const;

    std::unique_ptr<QSettings> file_;
    QVariantMap memory_;
};

// The cues of the ｵﾌﾟｼｮﾝ menu.
struct SoundOptions {
    bool on = true;
    int volumePercent = 100;
};
constexpr int kVolumeSteps[] = {100, 75, 50, 25};

SoundOptions ReadSoundOptions(const Options &options);
bool WriteSoundOptions(Options &options, const SoundOptions &sound);

// The settings dialog's 文章 page: training texts typed as romaji keys,
// without an input method.
bool ReadRomajiTyping(const Options &options);
bool WriteRomajiTyping(Options &options, bool on);

// The ｵﾌﾟｼｮﾝ menu's keyboard strip under the game area.
bool ReadKeyboardShown(const Options &options);
bool WriteKeyboardShown(Options &options, bool on);

}  // namespace typetoki
