#pragma once
// tatak.ini: the player's choices from one run to the next. Read once when
// the main window is created, written once when it closes.

#include "engine/gamestate.h"

#include <QString>
#include <QStringList>

namespace typetoki {

// tatak.ini in the data folder (the program folder unless that is read-only),
// where it is saved; it is read from DataFileToRead.
QString SettingsPath(const Folders &folders);

// Sets the mode, time limit, sound paths and sliderValue to their defaults
// and then reads them, with the training text path, from the settings file.
// Reading stops at the first line that is missing or unusable: what was read
// before it stays, the rest keeps its default, and the training text path
// falls back to test.txt in the program folder. True when all eight values
// were read; only then should the caller show the mode and time limit.
bool LoadSettings(SavedSettings &settings, const Folders &folders);

// The twenty lines of the settings file for these settings.
QStringList SettingsLines(const SavedSettings &settings);

// Writes the settings file, replacing the old one only once the new one is
// whole. On failure returns false and, when error is given, the reason.
bool SaveSettings(const SavedSettings &settings, const Folders &folders, QString *error = nullptr);

}  // namespace typetoki
