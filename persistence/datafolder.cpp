#include "persistence/datafolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace typetoki {

bool FolderIsWritable(const QString &folder)
{
    QTemporaryFile probe(folder + QStringLiteral("/.typetoki-write-probe-XXXXXX"));
    // The file is removed when probe goes out of scope.
    return probe.open();
}

QString ChooseDataFolder(const QString &programFolder, const WritableProbe &isWritable,
                         const QString &playerFolder)
{
    if (isWritable(programFolder))
        return programFolder;
    // A failure here shows later, when saving reports that the file could not
    // be written; the game itself still runs.
    QDir().mkpath(playerFolder);
    return playerFolder;
}

QString ChooseDataFolder(const QString &programFolder)
{
    return ChooseDataFolder(programFolder, FolderIsWritable,
                            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString DataFileToRead(const Module1 &state, const QString &name)
{
    const QString saved = state.inDataFolder(name);
    if (state.dataFolder == state.programFolder || QFileInfo::exists(saved))
        return saved;
    const QString beside = state.inProgramFolder(name);
    return QFileInfo::exists(beside) ? beside : saved;
}

}  // namespace typetoki
