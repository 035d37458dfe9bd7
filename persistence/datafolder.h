#pragma once
// Where tatak.ini and tkscore.ini live. An unpacked program folder keeps them
// beside the executable, as the folder-based program always did; a
// system-wide install has a folder no player may write, so they move to the
// player's own data folder instead.

#include "engine/gamestate.h"

#include <QString>

#include <functional>

namespace typetoki {

// True when a file can really be created in the folder. Permission bits are
// not asked: root ignores them, and a read-only mount does not show in them.
bool FolderIsWritable(const QString &folder);

using WritableProbe = std::function<bool(const QString &folder)>;

// The program folder when the probe says it is writable; otherwise
// playerFolder, created when it does not exist yet.
QString ChooseDataFolder(const QString &programFolder, const WritableProbe &isWritable,
                         const QString &playerFolder);

// The same with the real probe and QStandardPaths' AppDataLocation, which
// needs the application name set first.
QString ChooseDataFolder(const QString &programFolder);

// Makes the player's data folder when the game's files live there and it is
// missing (an earlier attempt at start-up may have failed). False with the
// reason, which names the folder, when it cannot be made.
bool MakeDataFolder(const Folders &folders, QString *error = nullptr);

// Where to read tatak.ini or tkscore.ini: the data folder's copy, which is
// where they are saved; but while that copy does not exist yet, the one a
// read-only program folder still holds from before.
QString DataFileToRead(const Folders &folders, const QString &name);

}  // namespace typetoki
