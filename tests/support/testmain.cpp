#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    // A home of this program's own, gone when it ends: a file dialog's
    // history, an input method's learning, a sound server's runtime link all
    // land there and never in the home of whoever runs the tests.
    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "FAILED: no temporary home folder: %s\n", qPrintable(home.errorString()));
        return 1;
    }
    const QDir dir(home.path());
    const struct {
        const char *variable;
        const char *folder;
    } places[] = {{"HOME", "."},
                  {"XDG_CONFIG_HOME", ".config"},
                  {"XDG_DATA_HOME", ".local/share"},
                  {"XDG_CACHE_HOME", ".cache"},
                  {"XDG_RUNTIME_DIR", "run"}};
    for (const auto &place : places) {
        dir.mkpath(QString::fromLatin1(place.folder));
        qputenv(place.variable, QFile::encodeName(dir.absoluteFilePath(QString::fromLatin1(place.folder))));
    }
    QFile::setPermissions(dir.absoluteFilePath(QStringLiteral("run")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    const int result = RUN_ALL_TESTS();
    // CTest counts a program whose cases were skipped as passed; in CI,
    // where everything a case needs is installed, a skip hides a fault.
    const char *ci = std::getenv("CI");
    const int skipped = ::testing::UnitTest::GetInstance()->skipped_test_count();
    if (result == 0 && skipped > 0 && ci && std::strcmp(ci, "true") == 0) {
        std::fprintf(stderr, "FAILED: %d case(s) skipped, and CI=true allows no skip\n", skipped);
        return 1;
    }
    return result;
}
