#pragma once
// The program's own options, those the game's files have no place for:
// typetoki.conf (INI) in the data folder, so that tatak.ini keeps its bytes.
// Every option is read with its default and the values it may take, so that
// a value broken by a hand edit reads as the default; each change is written
// at once. The file is the player's as much as ours: a change rewrites the
// one line of its key and keeps every other byte (comments, order, keys we
// do not know, text in any encoding).

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <map>
#include <optional>
#include <span>
#include <utility>

namespace typetoki {

// INI text as bytes: [section] lines, key=value lines, everything else kept
// as it is. Keys before the first section are in "General".
class IniText {
public:
    explicit IniText(QByteArray bytes = {}) : bytes_(std::move(bytes)) {}
    // The last value of the key in the section, spaces around it trimmed.
    std::optional<QString> value(const QString &section, const QString &key) const;
    // Replaces the value of the key's last line in place; a key not there
    // yet goes after the section's last key, a section not there yet at
    // the end. The file's own line ends are used.
    void set(const QString &section, const QString &key, const QString &value);
    const QByteArray &bytes() const { return bytes_; }

private:
    struct Place {
        qsizetype valueStart = -1, valueEnd = -1;  // of the key's last line
        qsizetype sectionEnd = -1;  // after the section's last key line
    };
    Place Find(const QByteArray &section, const QByteArray &key) const;
    QByteArray bytes_;
};

class Options {
public:
    // typetoki.conf in this folder; with no folder the options live in
    // memory only. Only a regular file is read, never waited on, and no
    // more of it than a hand edit could make (kMaxBytes).
    explicit Options(const QString &dataFolder);
    static constexpr qint64 kMaxBytes = 64 * 1024;

    std::optional<QString> text(const QString &section, const QString &key) const;
    bool flag(const QString &section, const QString &key, bool fallback) const;
    int choice(const QString &section, const QString &key, std::span<const int> allowed, int fallback) const;
    // False when the file could not be written (or is no file of ours to
    // write: a pipe, or one larger than kMaxBytes); the value holds for
    // this run all the same.
    bool set(const QString &section, const QString &key, const QVariant &value);

private:
    QString path_;
    IniText file_;
    std::map<std::pair<QString, QString>, QString> memory_;
};

// The cues of the ｵﾌﾟｼｮﾝ menu.
struct SoundOptions {
    bool on = true;
    int volumePercent = 100;
};
constexpr int kVolumeSteps[] = {100, 75, 50, 25};

SoundOptions ReadSoundOptions(const Options &options);
// Writes only what differs from what the options hold now.
bool WriteSoundOptions(Options &options, const SoundOptions &sound);

// The settings dialog's 文章 page: training texts typed as romaji keys,
// without an input method.
bool ReadRomajiTyping(const Options &options);
bool WriteRomajiTyping(Options &options, bool on);

// The ｵﾌﾟｼｮﾝ menu's keyboard strip under the game area.
bool ReadKeyboardShown(const Options &options);
bool WriteKeyboardShown(Options &options, bool on);

}  // namespace typetoki
