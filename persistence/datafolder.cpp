#include "persistence/datafolder.h"

#include "persistence/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

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

bool MakeDataFolder(const Folders &folders, QString *error)
{
    // A missing program folder is not the game's to make.
    if (folders.dataFolder == folders.programFolder || QFileInfo(folders.dataFolder).isDir())
        return true;
    std::error_code failure;
    std::filesystem::create_directories(QFile::encodeName(folders.dataFolder).toStdString(), failure);
    if (!failure)
        return true;
    if (error) {
        *error = QStringLiteral("データを保存するフォルダー %1 を作れません: %2")
                     .arg(QDir::toNativeSeparators(folders.dataFolder),
                          FileErrorText(failure.value(), QString::fromLocal8Bit(failure.message())));
    }
    return false;
}

QString DataFileToRead(const Folders &folders, const QString &name)
{
    const QString saved = folders.inDataFolder(name);
    if (folders.dataFolder == folders.programFolder || QFileInfo::exists(saved))
        return saved;
    const QString beside = folders.inProgramFolder(name);
    return QFileInfo::exists(beside) ? beside : saved;
}

}  // namespace typetoki
