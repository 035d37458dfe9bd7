#pragma once
// A PostgreSQL server of a test's own: initdb and pg_ctl in a temporary
// folder, listening only on a socket in that folder. Run as root (as in CI)
// the server runs as nobody, which PostgreSQL insists on, from a folder
// nobody owns. The database "typetoki" gets server/ranking.sql and three
// players, alice and bob, and carol, who alone must give a password
// (k:ey\1); eve may log in but is no player.

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <unistd.h>

namespace typetoki::testing {

class TestPostgres {
public:
    // Empty when the server is running; otherwise why not.
    QString Start()
    {
        QStringList found = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(found.begin(), found.end(), [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
        if (found.isEmpty() || !QFile::exists(QStringLiteral("/usr/bin/psql")))
            return QStringLiteral("PostgreSQL is not installed (scripts/setup.sh test)");
        bin_ = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(found.first());
        if (!dir_.isValid())
            return QStringLiteral("no temporary folder");
        folder_ = dir_.filePath(QStringLiteral("pg"));
        QDir().mkpath(folder_);
        if (::geteuid() == 0) {
            QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                   | QFile::ExeGroup | QFile::ExeOther);
            if (!Run(QStringLiteral("chown"), {QStringLiteral("nobody"), folder_}, false))
                return QStringLiteral("cannot give the server's folder to nobody");
        }
        if (!Run(bin_ + QStringLiteral("initdb"), {QStringLiteral("-D"), data(), QStringLiteral("-U"),
                                                    QStringLiteral("admin"), QStringLiteral("-A"),
                                                    QStringLiteral("trust"), QStringLiteral("-E"),
                                                    QStringLiteral("UTF8"), QStringLiteral("--no-sync")}))
            return QStringLiteral("initdb failed: ") + output_;
        // carol alone must give her password.
        QFile hba(data() + QStringLiteral("/pg_hba.conf"));
        if (!hba.open(QIODevice::ReadOnly))
            return QStringLiteral("no pg_hba.conf");
        const QByteArray rules = "local all carol scram-sha-256\n" + hba.readAll();
        hba.close();
        if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate) || hba.write(rules) != rules.size())
            return QStringLiteral("pg_hba.conf cannot be written");
        hba.close();
        if (!Resume())
            return QStringLiteral("pg_ctl start failed: ") + output_;
        const QString schema = QStringLiteral(TYPETOKI_SOURCE_DIR "/server/ranking.sql");
        if (!Psql(QStringLiteral("postgres"), {QStringLiteral("-c"), QStringLiteral("CREATE DATABASE typetoki")})
            || !Psql(QStringLiteral("typetoki"), {QStringLiteral("-f"), schema})
            || !Psql(QStringLiteral("typetoki"),
                     {QStringLiteral("-c"), QStringLiteral("CREATE ROLE alice LOGIN IN ROLE typetoki_player; "
                                                           "CREATE ROLE bob LOGIN IN ROLE typetoki_player; "
                                                           "CREATE ROLE eve LOGIN; "
                                                           "CREATE ROLE carol LOGIN PASSWORD 'k:ey\\1' "
                                                           "IN ROLE typetoki_player")}))
            return QStringLiteral("the schema failed: ") + output_;
        return {};
    }

    ~TestPostgres()
    {
        if (running_)
            Stop();
    }

    bool Stop()
    {
        running_ = !Run(bin_ + QStringLiteral("pg_ctl"),
                        {QStringLiteral("-D"), data(), QStringLiteral("-m"), QStringLiteral("immediate"),
                         QStringLiteral("-w"), QStringLiteral("stop")});
        return !running_;
    }

    bool Resume()
    {
        running_ = Run(bin_ + QStringLiteral("pg_ctl"),
                       {QStringLiteral("-D"), data(), QStringLiteral("-l"), folder_ + QStringLiteral("/log"),
                        QStringLiteral("-o"),
                        QStringLiteral("-k %1 -c listen_addresses='' -c fsync=off").arg(folder_),
                        QStringLiteral("-w"), QStringLiteral("start")});
        return running_;
    }

    QString url(const QString &user, const QString &database = QStringLiteral("typetoki")) const
    {
        return QStringLiteral("postgresql://%1@localhost/%2?host=%3").arg(user, database, folder_);
    }
    const QString &socketFolder() const { return folder_; }

    // psql as the owner, stopping at the first error.
    bool Psql(const QString &database, QStringList arguments)
    {
        arguments = QStringList{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), folder_,
                                QStringLiteral("-U"), QStringLiteral("admin"), QStringLiteral("-d"), database}
                    + arguments;
        return Run(QStringLiteral("/usr/bin/psql"), arguments, false);
    }

    // A connection of the test's own as user, for what the game never does.
    QSqlDatabase Connect(const QString &user, const QString &name)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(folder_);
        db.setUserName(user);
        db.setDatabaseName(QStringLiteral("typetoki"));
        db.open();
        return db;
    }

private:
    QString data() const { return folder_ + QStringLiteral("/data"); }

    bool Run(const QString &program, QStringList arguments, bool asServer = true)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(folder_);
        QString command = program;
        if (asServer && ::geteuid() == 0) {
            arguments = QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                    QStringLiteral("--clear-groups"), program} + arguments;
            command = QStringLiteral("setpriv");
        }
        p.start(command, arguments);
        const bool ok = p.waitForFinished(600'000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        output_ = QString::fromLocal8Bit(p.readAll());
        return ok;
    }

    QTemporaryDir dir_;
    QString bin_, folder_, output_;
    bool running_ = false;
};

}  // namespace typetoki::testing
