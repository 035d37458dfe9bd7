#include "platform/logfile.h"

#include <QDateTime>
#include <QFile>
#include <QLoggingCategory>
#include <memory>
#include <mutex>

namespace typetoki {
namespace {

std::mutex logMutex;
QFile *logFile = nullptr;
QtMessageHandler previousHandler = nullptr;

void WriteLine(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray line = QByteArray::number(double(QDateTime::currentMSecsSinceEpoch()) / 1000, 'f', 3) + ' ' +
                            (context.category ? context.category : "default") + ": " + message.toUtf8() + '\n';
    {
        std::lock_guard lock(logMutex);
        logFile->write(line);
        logFile->flush();
    }
    // The moment-by-moment lines go to the file alone; whatever the program
    // says besides still reaches its standard error too.
    if (type != QtInfoMsg || !QByteArray(context.category).startsWith("typetoki."))
        previousHandler(type, context, message);
}

}  // namespace

bool LogToFile(const QString &path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::Append | QIODevice::Text))
        return false;
    logFile = file.release();  // lives as long as the program logs
    QLoggingCategory::setFilterRules(QStringLiteral("typetoki.*.info=true"));
    previousHandler = qInstallMessageHandler(WriteLine);
    return true;
}

}  // namespace typetoki
