#pragma once
// The game state shared by every window for the whole run: the player's
// settings, where the game's files are, and the counters and phases of the
// game under way.

#include "engine/gamemode.h"

#include <QString>
#include <cstdint>

namespace typetoki {

// The eight values tatak.ini carries from one run to the next (the training
// text's path stands in it twice). The settings dialog and SELECT change
// them; only the main window's closing writes them.
struct SavedSettings {
    GameMode gameMode = GameMode::Hero;
    std::int16_t timeLimitSeconds = 60;
    QString trainingTextPath;
    QString heroSoundPath;
    QString rivalSoundPath;
    QString missSoundPath;
    float sliderValue = 0.1f;

    bool operator==(const SavedSettings &) const = default;
};

// Where the game finds its own files and keeps the player's.
struct Folders {
    // The folder that holds the executable, without a trailing separator.
    QString programFolder;
    // Where the settings file and the high-score file live: the program
    // folder unless nobody may write there (a system-wide install).
    QString dataFolder;

    QString inProgramFolder(const QString &name) const { return programFolder + u'/' + name; }
    QString inDataFolder(const QString &name) const { return dataFolder + u'/' + name; }
};

struct Module1 : SavedSettings, Folders {
    // The player's option (typetoki.conf, not tatak.ini): training texts
    // typed key by key as romaji, with no input method.
    bool romajiTyping = false;

    // 32-bit: a fast player in the one-hour game passes 32,767 characters.
    std::int32_t inputCount = 0;
    std::int32_t correctCount = 0;
    std::int16_t inputLocked = 0;
    double peakSpeed = 0;
    QString currentTarget;
    double startTime = 0;
    double pausedSeconds = 0;
    double gamePhase = 0;  // 0 idle, 2 countdown, 1 playing
    double score = 0;
    std::int16_t scoreBoardFlag = 0;

    // Fills in the paths that default to files in the program folder.
    void setProgramFolder(const QString &folder)
    {
        programFolder = folder;
        dataFolder = folder;
        heroSoundPath = inProgramFolder(QStringLiteral("eya.wav"));
        rivalSoundPath = inProgramFolder(QStringLiteral("hiku.wav"));
        missSoundPath = inProgramFolder(QStringLiteral("ahh.wav"));
    }
};

}  // namespace typetoki
